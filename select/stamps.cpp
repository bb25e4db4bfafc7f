#include "select/stamps.h"

#include "sci/exceptions.h"
#include "select/file_errors.h"
#include "select/image_names.h"

namespace selection {

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
    sci::readRegion(in, stamp);
}

namespace {

// The error image of image, opened through files; a failure says what the
// file is and how its name is made.
sci::FitsIn& openErrorImage(std::string const& image, FitsFiles& files) {
    std::string const name = errorImageName(image);
    try {
        return files.open(name);
    } catch (sci::FitsException const& e) {
        throw sci::FitsException(e.what() + errorImageNote(image), name);
    }
}

}  // namespace

StampReader::StampReader(std::string const& image, FitsFiles& files)
    : image_(&files.open(image)), error_(&openErrorImage(image, files)) {
    auto axes = [](sci::FitsIn const& in, int& n1, int& n2) {
        n1 = in.getNaxis() >= 1 ? in.getNaxis(1) : 0;
        n2 = in.getNaxis() >= 2 ? in.getNaxis(2) : 0;
    };
    int e1 = 0, e2 = 0;
    axes(*image_, naxis1_, naxis2_);
    axes(*error_, e1, e2);
    if (image_->getNaxis() < 2)
        throw sci::FitsException(
            withCompressionNote(image, "image '" + image + "' is not a two-dimensional image"));
    std::string const errorImage = error_->getFilename();
    if (e1 != naxis1_ || e2 != naxis2_)
        throw sci::FitsException(withCompressionNote(
            errorImage, "error image '" + errorImage + "' has " + std::to_string(e1) + " x " +
                            std::to_string(e2) + " pixels, but image '" + image + "' has " +
                            std::to_string(naxis1_) + " x " + std::to_string(naxis2_)));
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
    namingFile(image_->getFilename(), [&] { sci::readRegion(*image_, img); });
    namingFile(error_->getFilename(), [&] { sci::readRegion(*error_, err); });
    image.makeReference(img);
    error.makeReference(err);
    return true;
}

}  // namespace selection
