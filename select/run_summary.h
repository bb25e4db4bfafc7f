// The summary at the end of a selecting run: the stars selected, the
// subfields left without one, the funnel of counts and, when fewer stars were
// selected than asked, a hint that names the stage that removed the most in
// the subfields that fell short and the option that moves it, with numbers
// from this catalogue. Rows are 1-based catalogue rows.
#pragma once

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "select/catalogue.h"
#include "select/parameter.h"
#include "select/run_record.h"
#include "select/run_warnings.h"
#include "select/screening.h"

namespace selection {

// The stars a subfield is asked for: number less nchi_reject and fwhm_reject
// (negative values count as 0), at least 1, as the rejection keeps one.
long long askedPerSubfield(Parameter const& P);

// The stellarity limits below -c that the hint counts candidates at; it
// suggests none below 0.5, where galaxies come in.
inline constexpr std::array<double, 3> kHintClassLimits = {0.8, 0.7, 0.5};

// The stages a hint can name.
enum class HintStage {
    kNone,        // no subfield fell short
    kNoImage,     // nothing can be measured without an image
    kCandidates,  // the subfields hold too few candidates: the flux band and the cuts before
    kNotStellar,
    kBadPixel,
    kStampsOff,
    kFailedFits,
    kCut,    // a cut on measured stars (--max_peak ... --nchi_clip)
    kOther,  // the fate that stopped the most rows, named as it is
};

// Whether a candidate at (x, y), pixels, passes the bad-pixel test of the
// run's files with check radius r (select/bad_pixels.h).
using BadPixelRecheck = std::function<bool(float x, float y, int r)>;

class RunSummary {
  public:
    // subfields: of the grid; naxis1, naxis2: the image's size (0 without one).
    RunSummary(Parameter const& P, long long subfields, long naxis1, long naxis2);

    // After each subfield: its funnel, its candidates as screened, the
    // visits it refused, and the catalogue (for their stellarity and position).
    void addSubfield(FateCounts const& sub, SubfieldCandidates const& found,
                     std::vector<RefusedVisit> const& refused, Catalogue const& cat);

    // The stage the hint names; hasImage: the run measures stars.
    HintStage hintStage(bool hasImage) const;

    // What the hint may need besides the counts: the catalogue, its
    // participating fluxes ascending (for other flux bands), why fits failed,
    // and the bad-pixel test at other radii.
    struct HintData {
        Catalogue const& cat;
        std::vector<float> const& sortedFlux;
        FitFailureDiagnosis const& fits;
        BadPixelRecheck recheck;
    };

    // "summary: ..." and "funnel: ..." and, when a subfield fell short, the
    // hint: on err, one line each. total: the run's funnel; hasImage: the
    // run measures stars.
    void write(std::ostream& err, FateCounts const& total, bool hasImage,
               HintData const& data) const;

  private:
    // At most this many candidates refused for bad pixels are tested again.
    static constexpr size_t kRecheckedBadPixels = 100;

    std::string hint_(HintStage stage, HintData const& data) const;
    std::string candidatesHint_(Catalogue const& cat, std::vector<float> const& sortedFlux) const;
    std::string notStellarHint_() const;
    // The rows of the subfields that fell short refused with fate f, those
    // of --max_peak's two fates together under kSaturated; the cut that
    // refused the most; and the hint that names it.
    long long refusedBy_(Fate f) const;
    Fate mostCut_() const;
    std::string cutHint_(std::string const& where) const;
    std::string badPixelHint_(BadPixelRecheck const& recheck) const;
    // "try --nfields" with half the subfields along each axis, when there
    // are fewer then.
    std::string fewerSubfields_() const;

    Parameter const& P_;
    long long subfields_;
    long naxis1_, naxis2_;
    long long asked_;
    long long empty_ = 0;  // subfields without a star
    // The subfields that fell short: their count, funnel, candidates and
    // visitable candidates, stars wanted by the search (number each), and the
    // visitable candidates with class_star at or above -c and each of
    // kHintClassLimits.
    long long short_ = 0;
    FateCounts shortFunnel_;
    long long shortCandidates_ = 0;
    long long shortVisitable_ = 0;
    long long shortWanted_ = 0;
    long long candidateShortage_ = 0;  // sum of number - visitable where positive
    long long stellarAtLimit_ = 0;
    std::array<long long, kHintClassLimits.size()> stellarAt_{};
    std::vector<float> badPixelX_, badPixelY_;  // the first candidates refused for bad pixels
};

}  // namespace selection
