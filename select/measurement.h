// Profile measurement of a subfield's taken stars and the rejection of the
// worst: each star is fitted with an elliptical Moffat profile (background
// held at 0; by default beta held at 2.9) on a stamp of (2 boxlen + 1)^2
// pixels of the image, weighted by the error image; then the stars with the
// highest nchi, the most elongated and the widest profiles are dropped.
// Positions: FITS pixels, first pixel = 1; widths in pixels.
#pragma once

#include <ostream>

#include "select/parameter.h"
#include "select/selected_stars.h"
#include "select/stamps.h"

namespace selection {

// The fitting stamps of a star: (2 boxlen + 1)^2 pixels of the image and of
// the error image around its nearest pixel, indexed -boxlen..boxlen (see
// StampReader); inside is false, and the arrays empty, when they are not
// wholly inside the image.
struct StarStamps {
    bool inside = false;
    sci::MArray<float, 2> image, error;
};

// Reads the stamps of a star at (star.x, star.y); throws as
// StampReader::read does.
StarStamps readStarStamps(StarRecord const& star, int boxlen, StampReader& stamps);

// Measures one star on its stamps: nchi, fwhm, xfwhm and yfwhm receive the
// fit, kFitFailed for a failed fit or a stamp not inside the image;
// fitStatus the fit's status, or kFitStampOff; amplitude, angle, beta and
// asymmetry (select/star_cuts.h) the rest of a successful fit; stamp the
// levels of its stamp. The fit's table row (verbose > 2) and parameter dumps
// (verbose > 3) go to fitText. It depends on nothing but the stamps, the
// position and P, and touches nothing else: a star measured twice is
// measured the same, on any thread, and its text can be captured and
// written later.
void measureOnStamps(StarRecord& star, Parameter const& P, StarStamps const& stamps,
                     std::ostream& fitText);

// readStarStamps, then measureOnStamps.
void measureStar(StarRecord& star, Parameter const& P, StampReader& stamps, std::ostream& fitText);

// How the search has a star measured: measure fills the star as measureStar
// does and writes the fit's text to fitText. The search calls it in run
// order and decides on the result at once. An implementation may compute
// fits ahead (they depend on nothing that the search decides) as long as
// each result and its text are those of measureStar: the search tells it
// with expect which stars it will probably ask for next.
class StarMeasure {
  public:
    virtual ~StarMeasure() = default;
    virtual void measure(StarRecord& star, std::ostream& fitText) = 0;

    // How many fits it computes at once ahead of their measure(); 0 when it
    // measures each star only when asked, and expect does nothing.
    virtual int ahead() const { return 0; }
    // The search will probably ask for star (after the stars expected
    // before it), its text going to fitText. A star expected and never asked
    // for costs only time.
    virtual void expect(StarRecord const& /*star*/, std::ostream const& /*fitText*/) {}
    // The stars expected and not yet asked for.
    virtual int expected() const { return 0; }
    // Forgets those: the search will not ask for them.
    virtual void forgetExpected() {}
};

// measureStar on the stamps of the run's image, at the time it is asked.
class StampMeasure : public StarMeasure {
  public:
    StampMeasure(StampReader& stamps, Parameter const& P) : stamps_(stamps), P_(P) {}
    void measure(StarRecord& star, std::ostream& fitText) override;

  private:
    StampReader& stamps_;
    Parameter const& P_;
};

// The lines around the fit table on out, as verbose asks: before the first
// fit, an empty line, "start of moffat fits..." (verbose > 4) and the
// table's header (verbose > 2); after the last fit, "...end of moffat fits"
// (verbose > 4) and an empty line (verbose > 2).
void writeFitTableStart(std::ostream& out, int verbose);
void writeFitTableEnd(std::ostream& out, int verbose);

// Measures every star of s with measure (the fit table on out), drops the
// fitted stars that fail a cut of P (starCut, select/star_cuts.h) into
// s.dropped with its fate, keeping the order of the others, then drops
// nchi_reject stars by nchi and fwhm_reject stars by ellipticity and size
// (rejectStars). Writes the rejection counts to out as verbose asks. Returns
// the number of stars left, which s then holds, in the order of the last sort
// applied.
int measureStars(SelectedStars& s, Parameter const& P, StarMeasure& measure, std::ostream& out);

// The fit settings of every star: background and its slopes held at 0, and
// the model of the run's options (fitModel). By default (--beta 2.9,
// --fwhm_range 1,20, --subsample 1) beta is held at 2.9 (in single
// precision, 2.9000000953674316), both FWHM are accepted from 1 to 20 pixels
// and the model is sampled at pixel centres: six parameters remain free.
inline constexpr float kHeldBackground = 0.0f;

// A fitted beta (--beta 0) is accepted within this range (the fit is free;
// a beta outside gives fit::kMoffatBetaOutOfRange). At or below 1 a Moffat
// profile has no finite flux: such fits follow wings of background or
// neighbours. The stars picked on real images fit (sampled at 5 x 5 points
// per pixel) mostly between 1.5 and 6.5; beyond 10 the core is a Gaussian
// within the noise, and beta runs off towards infinity with the iterations.
inline constexpr float kFittedBetaMin = 1.1f;
inline constexpr float kFittedBetaMax = 10.0f;

// The model options of a run as fmoffat takes them: beta held at --beta
// (beta_min = beta_max), or for --beta 0 fitted within kFittedBetaMin ..
// kFittedBetaMax; the FWHM range of --fwhm_range (pixels); --subsample.
struct FitModel {
    float betaMin, betaMax;
    float fwhmMin, fwhmMax;
    int subsample;
};
FitModel fitModel(Parameter const& P);

// The nearest pixel of a position (pixels), halves to even; 0 for positions
// beyond +-1e9, which no image holds.
int nearestPixel(float v);

// The rejection part of measureStars, on stars whose nchi, fwhm and widths
// xfwhm, yfwhm (-1 for a failed fit) are known:
//   by nchi (nchi_reject > 0): the stars with the lowest nchi are kept, in
//     ascending nchi;
//   by width (fwhm_reject > 0): fwhm_reject / 2 stars by ellipticity
//     |1 - xfwhm / yfwhm|, then the rest by size sqrt(xfwhm^2 + yfwhm^2);
// every step keeps at least one star and sorts in exchangeOrder
// (select/exchange_order.h); the stars a step drops join s.dropped with the
// fate kDroppedNchi or kDroppedFwhm. Returns the number of stars left.
int rejectStars(SelectedStars& s, Parameter const& P, std::ostream& out);

}  // namespace selection
