#include "select/measurement.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "fit/moffat.h"
#include "sci/exceptions.h"
#include "sci/parallel_sort.h"
#include "select/file_errors.h"

namespace selection {

namespace {

// Fit settings of every star: the background and its slopes held at 0, beta
// held at 2.9 (in single precision, 2.9000000953674316), widths accepted from
// 1 to 20 pixels. Six parameters remain free.
constexpr float kHeldBackground = 0.0f;
constexpr float kBeta = 2.9f;
constexpr float kFwhmMin = 1.0f;
constexpr float kFwhmMax = 20.0f;
// Widths and nchi of a star whose fit failed.
constexpr float kFailed = -1.0f;

// The nearest integer, halves to even (the default rounding mode).
int nearestPixel(float v) {
    float const r = std::nearbyint(v);
    // Positions far outside any image are refused by the stamp bounds anyway.
    if (!(std::fabs(r) < 1e9f)) return 0;
    return static_cast<int>(r);
}

void writeFitTableHeader(std::ostream& out, int verbose) {
    out << "\n";
    if (verbose > 4) out << "start of moffat fits...\n";
    out << "        nchi  iterations        good     surface          ax          ay   amplitude"
        << "        xcen        ycen       xfwhm       yfwhm       angle        beta\n";
    out << std::string(84, '-') << std::string(72, '-') << "\n";
}

// A reader of name; a failure names the file.
std::unique_ptr<sci::FitsIn> openNamingFile(std::string const& name) {
    return namingFile(name, [&name] { return std::make_unique<sci::FitsIn>(name, false, false); });
}

}  // namespace

std::string errorImageName(std::string const& image) {
    std::string::size_type const slash = image.rfind('/');
    if (slash == std::string::npos) return "e." + image;
    return image.substr(0, slash + 1) + "e." + image.substr(slash + 1);
}

StampReader::StampReader(std::string const& image, std::string const& errorImage)
    : image_(openNamingFile(image)), error_(openNamingFile(errorImage)) {
    auto axes = [](sci::FitsIn const& in, int& n1, int& n2) {
        n1 = in.getNaxis() >= 1 ? in.getNaxis(1) : 0;
        n2 = in.getNaxis() >= 2 ? in.getNaxis(2) : 0;
    };
    int e1 = 0, e2 = 0;
    axes(*image_, naxis1_, naxis2_);
    axes(*error_, e1, e2);
    if (image_->getNaxis() < 2)
        throw sci::FitsException("image '" + image + "' is not a two-dimensional image");
    if (e1 != naxis1_ || e2 != naxis2_)
        throw sci::FitsException("error image '" + errorImage + "' has " + std::to_string(e1) +
                                 " x " + std::to_string(e2) + " pixels, but image '" + image +
                                 "' has " + std::to_string(naxis1_) + " x " +
                                 std::to_string(naxis2_));
}

bool StampReader::read(int ix, int iy, int boxlen, sci::MArray<float, 2>& image,
                       sci::MArray<float, 2>& error) {
    // Compared in 64 bits: ix + boxlen must not overflow.
    long const r = boxlen;
    if (ix - r < 1 || ix + r > naxis1_ || iy - r < 1 || iy + r > naxis2_) return false;
    // Both files hold the stamp's pixels before the arrays are made: a header
    // may declare far more pixels than its file holds.
    namingFile(image_->getFilename(), [&] { selectStamp(*image_, ix, iy, boxlen); });
    namingFile(error_->getFilename(), [&] { selectStamp(*error_, ix, iy, boxlen); });
    sci::MArray<float, 2> img(sci::Range(-boxlen, boxlen), sci::Range(-boxlen, boxlen));
    sci::MArray<float, 2> err(sci::Range(-boxlen, boxlen), sci::Range(-boxlen, boxlen));
    namingFile(image_->getFilename(), [&] { *image_ >> img; });
    namingFile(error_->getFilename(), [&] { *error_ >> err; });
    image.makeReference(img);
    error.makeReference(err);
    return true;
}

void selectStamp(sci::FitsIn& in, int ix, int iy, int r) {
    util::Region region = in.getFullRegion();
    region.setRange(1, ix - r, ix + r);
    region.setRange(2, iy - r, iy + r);
    for (unsigned long d = 3; d <= region.dimensions(); ++d) region.setRange(d, 1, 1);
    in.setRegion(region);
    in.openData();
}

void readStamp(sci::FitsIn& in, int ix, int iy, int r, sci::MArray<float, 2>& stamp) {
    selectStamp(in, ix, iy, r);
    in >> stamp;
}

int measureStars(SelectedStars& s, int taken, Parameter const& P, StampReader& stamps,
                 std::ostream& out, int& fitted) {
    int const verbose = P.verbose;
    sci::MArray<float, 1> xfwhm(taken);
    sci::MArray<float, 1> yfwhm(taken);

    if (verbose > 2) writeFitTableHeader(out, verbose);
    for (int i = 1; i <= taken; ++i) {
        int const ix = nearestPixel(s.select_x(i));
        int const iy = nearestPixel(s.select_y(i));
        sci::MArray<float, 2> image, error;
        float nchi = 0, xscale = 0, yscale = 0, beta = 0;
        // A stamp that is not wholly inside the image counts as a failed fit.
        bool ok = false;
        if (stamps.read(ix, iy, P.boxlen, image, error)) {
            float surface = kHeldBackground, ax = kHeldBackground, ay = kHeldBackground;
            float xcen = s.select_x(i), ycen = s.select_y(i);
            float amplitude = 0, angle = 0;
            ok = fmoffat(image, error, surface, ax, ay, kBeta, kBeta, kFwhmMin, kFwhmMax, xcen,
                         ycen, amplitude, xscale, yscale, angle, beta, nchi, verbose) == kMoffatOk;
        }
        if (ok) {
            ++fitted;
            // FWHM = 2 sqrt(2^(1/beta) - 1) / scale, in double from the fitted floats.
            xfwhm(i) = static_cast<float>(moffatFwhm(beta, xscale));
            yfwhm(i) = static_cast<float>(moffatFwhm(beta, yscale));
            s.select_fwhm(i) = (xfwhm(i) + yfwhm(i)) * 0.5f;
            s.select_nchi(i) = nchi;
        } else {
            xfwhm(i) = yfwhm(i) = s.select_fwhm(i) = s.select_nchi(i) = kFailed;
        }
    }
    if (verbose > 4) out << "...end of moffat fits\n";
    if (verbose > 2) out << "\n";
    return rejectStars(s, xfwhm, yfwhm, taken, P, out);
}

int rejectStars(SelectedStars& s, sci::MArray<float, 1>& xfwhm, sci::MArray<float, 1>& yfwhm,
                int taken, Parameter const& P, std::ostream& out) {
    int const verbose = P.verbose;
    if (P.nchi_reject > 0) {
        if (verbose > 3)
            out << "P.nchi_reject=" << P.nchi_reject << "\n  taken_in=" << taken << "\n";
        taken = std::max(taken - P.nchi_reject, 1);
        sort8(s.select_nchi, xfwhm, yfwhm, s.select_fwhm, s.select_closest_dist,
              s.select_closest_flux, s.select_x, s.select_y);
        for (auto* a : {&s.select_nchi, &xfwhm, &yfwhm, &s.select_fwhm, &s.select_closest_dist,
                        &s.select_closest_flux, &s.select_x, &s.select_y})
            keepFirst(*a, taken);
    }
    if (verbose > 3) out << "  taken=" << taken << "\n\n";
    if (verbose > 4) s.writeLengths(out);

    if (P.fwhm_reject > 0) {
        if (verbose > 3)
            out << "P.fwhm_reject=" << P.fwhm_reject << "\n  taken_in=" << taken << "\n";
        int const k1 = P.fwhm_reject / 2;
        int const k2 = P.fwhm_reject - k1;
        if (k1 > 0) {
            // Ellipticity key |1 - xfwhm / yfwhm|, the quotient in single precision.
            sci::MArray<float, 1> r(taken);
            for (int i = 1; i <= taken; ++i) {
                float const ratio = xfwhm(i) / yfwhm(i);
                r(i) = static_cast<float>(std::fabs(1.0 - static_cast<double>(ratio)));
            }
            taken = std::max(taken - k1, 1);
            sort9(r, xfwhm, yfwhm, s.select_fwhm, s.select_nchi, s.select_closest_dist,
                  s.select_closest_flux, s.select_x, s.select_y);
            for (auto* a : {&xfwhm, &yfwhm, &s.select_fwhm, &s.select_nchi, &s.select_closest_dist,
                            &s.select_closest_flux, &s.select_x, &s.select_y})
                keepFirst(*a, taken);
            if (verbose > 4) s.writeLengths(out);
        }
        if (k2 > 0) {
            // Size key sqrt(xfwhm^2 + yfwhm^2), in double.
            sci::MArray<float, 1> size(taken);
            for (int i = 1; i <= taken; ++i) {
                double const a = xfwhm(i), b = yfwhm(i);
                size(i) = static_cast<float>(std::sqrt(a * a + b * b));
            }
            taken = std::max(taken - k2, 1);
            sort7(size, s.select_fwhm, s.select_nchi, s.select_closest_dist, s.select_closest_flux,
                  s.select_x, s.select_y);
            for (auto* a : {&s.select_fwhm, &s.select_nchi, &s.select_closest_dist,
                            &s.select_closest_flux, &s.select_x, &s.select_y})
                keepFirst(*a, taken);
            if (verbose > 4) s.writeLengths(out);
        }
        if (verbose > 3) out << "  taken=" << taken << "\n\n";
    }
    return taken;
}

}  // namespace selection
