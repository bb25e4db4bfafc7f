#include "select/measure_ahead.h"

#include <sstream>

namespace selection {

namespace {

constexpr std::ios_base::fmtflags kNotation = std::ios_base::floatfield;

// The fit's text depends on its stream's format only through what it does
// not set itself: every number of its table row and dumps is written with
// its own notation and precision (fit/print_f.h), so text captured from one
// format serves any stream that agrees with it in the rest.
bool sameFormatBeyondNotation(std::ostream const& out, std::ios_base::fmtflags flags, char fill) {
    return (out.flags() & ~kNotation) == (flags & ~kNotation) && out.fill() == fill;
}

}  // namespace

MeasureAhead::MeasureAhead(StampReader& stamps, Parameter const& P, WorkPool& pool)
    : stamps_(stamps), P_(P), pool_(pool) {}

MeasureAhead::~MeasureAhead() {
    forgetExpected();
}

void MeasureAhead::forgetExpected() {
    for (auto const& request : queue_)
        if (request->task) pool_.cancel(*request->task);
    queue_.clear();
}

void MeasureAhead::expect(StarRecord const& star, std::ostream const& fitText) {
    auto request = std::make_shared<Request>();
    request->row = star.row;
    request->x = star.x;
    request->y = star.y;
    request->star = star;
    request->flags = fitText.flags();
    request->fill = fitText.fill();
    request->notation = fitText.flags() & kNotation;
    request->precision = fitText.precision();
    queue_.push_back(std::move(request));
    start_();
}

void MeasureAhead::start_() {
    int const window = std::min(ahead(), static_cast<int>(queue_.size()));
    for (int k = 0; k < window; ++k) {
        std::shared_ptr<Request> const& request = queue_[static_cast<size_t>(k)];
        if (request->started) continue;
        request->started = true;
        try {
            request->stamps =
                std::make_unique<StarStamps>(readStarStamps(request->star, P_.boxlen, stamps_));
        } catch (...) {
            request->readError = std::current_exception();
            continue;
        }
        if (!request->stamps->inside) continue;  // nothing to fit
        // From here until the task has run, the request's record, stamps
        // and text belong to the task: the arrays count their references
        // without locks, so no other thread may touch them meanwhile.
        request->task = pool_.submit([request, &P = P_] {
            std::ostringstream text;
            text.flags(request->flags);
            text.fill(request->fill);
            text.precision(request->precision);
            measureOnStamps(request->star, P, *request->stamps, text);
            request->stamps.reset();
            request->text = text.str();
            request->notation = text.flags() & kNotation;
            request->precision = text.precision();
        });
    }
}

void MeasureAhead::measure(StarRecord& star, std::ostream& fitText) {
    // The stars expected before this one will not be asked for.
    while (!queue_.empty() && queue_.front()->row != star.row) {
        if (queue_.front()->task) pool_.cancel(*queue_.front()->task);
        queue_.pop_front();
    }
    start_();  // this star's stamps read and its fit queued, if they were not
    std::shared_ptr<Request> request;
    if (!queue_.empty()) {
        request = std::move(queue_.front());
        queue_.pop_front();
    }
    start_();  // one more fit for the pool while this one is waited for
    if (!request || request->x != star.x || request->y != star.y) {
        measureStar(star, P_, stamps_, fitText);  // not expected
        return;
    }
    if (request->readError) std::rethrow_exception(request->readError);
    if (!request->task) {
        measureStar(star, P_, stamps_, fitText);  // a stamp off the image: nothing to fit
        return;
    }
    pool_.wait(*request->task);
    if (!request->text.empty() &&
        !sameFormatBeyondNotation(fitText, request->flags, request->fill)) {
        measureStar(star, P_, stamps_, fitText);  // text for a stream in another format
        return;
    }
    star = request->star;
    if (request->text.empty()) return;
    fitText << request->text;
    fitText.flags((fitText.flags() & ~kNotation) | request->notation);
    fitText.precision(request->precision);
    // The parameter dumps end their lines with a flush.
    if (P_.verbose > 3) fitText.flush();
}

}  // namespace selection
