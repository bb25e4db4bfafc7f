// Profile fits computed ahead on the threads of a work pool: the search
// names the stars it will probably ask for next (expect), their stamps are
// read on the calling thread, their fits run on the pool, and each result
// and its captured text are handed over when the search asks for the star,
// exactly as measureStar gives them at that moment. Positions in FITS
// pixels (first pixel = 1).
#pragma once

#include <deque>
#include <ios>
#include <memory>
#include <ostream>
#include <string>

#include "select/measurement.h"
#include "select/parameter.h"
#include "select/stamps.h"
#include "select/work_pool.h"

namespace selection {

class MeasureAhead : public StarMeasure {
  public:
    // Stamps are read from stamps, on the thread that calls expect and
    // measure; the fits run on pool.
    MeasureAhead(StampReader& stamps, Parameter const& P, WorkPool& pool);
    ~MeasureAhead() override;
    MeasureAhead(MeasureAhead const&) = delete;
    MeasureAhead& operator=(MeasureAhead const&) = delete;

    // The stars expected first, up to ahead() of them, have their stamps
    // read and their fits queued; the others wait until those are asked for.
    // A stamp that cannot be read fails when its star is asked for: the
    // exception is thrown then, where measureStar would throw it.
    void expect(StarRecord const& star, std::ostream const& fitText) override;

    // The expected stars before star that were not asked for are forgotten;
    // star's result, when it was expected with the same position, is waited
    // for; otherwise it is measured here. Its text then goes to fitText.
    void measure(StarRecord& star, std::ostream& fitText) override;

    // Two fits per thread: one running, one read and waiting.
    int ahead() const override { return 2 * pool_.threads(); }
    int expected() const override { return static_cast<int>(queue_.size()); }
    void forgetExpected() override;

  private:
    // One expected star: its record, which the task measures, and the text
    // of its fit, written to a stream that starts in the format of the
    // stream it goes to, as that was when the star was expected.
    struct Request {
        int row;
        float x, y;                          // the star's position, read by this thread alone
        StarRecord star;                     // measured by the task
        std::unique_ptr<StarStamps> stamps;  // released by the task
        std::exception_ptr readError;        // the stamps could not be read
        bool started = false;                // its stamps read, its fit queued
        WorkPool::TaskPtr task;              // the fit; nullptr for a stamp off the image
        std::string text;
        std::ios_base::fmtflags flags{};  // the format the text starts from ...
        char fill = ' ';
        std::ios_base::fmtflags notation{};  // ... and the notation and precision it leaves
        std::streamsize precision = 0;
    };

    // Reads the stamps and queues the fits of the first ahead() requests.
    void start_();

    StampReader& stamps_;
    Parameter const& P_;
    WorkPool& pool_;
    std::deque<std::shared_ptr<Request>> queue_;
};

}  // namespace selection
