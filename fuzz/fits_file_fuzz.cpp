// Fuzz target: a whole FITS file. The header is read as the program reads it
// (sci::FitsIn), its keywords are queried, the projection keywords are read,
// and the data are read whole, by stamps around the centre and the corners,
// and tile by tile into a small array. Extensions are followed when EXTEND
// says there are some. Failures must be sci::FitsException (the projection
// may also give sci::LinearAlgebraException); any other exception, a crash, a
// hang or a sanitizer report is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "sci/exceptions.h"
#include "sci/fits_in.h"
#include "sci/marray.h"
#include "select/catalogue.h"
#include "select/stamps.h"

namespace {

// Stamps of (2 kStampRadius + 1)^2 pixels, as the bad-pixel check reads them.
constexpr int kStampRadius = 2;
// Side of the array that the image is read into tile by tile, and tiles read.
constexpr int kTileSide = 3;
constexpr int kTiles = 5;
// Extensions followed at most.
constexpr int kExtensions = 3;

template <class F>
void attempt(F f) {
    try {
        f();
    } catch (sci::FitsException const&) {
    }
}

void readData(sci::FitsIn& in) {
    int const naxis = in.getNaxis();
    // Whole image into a new array (refused for NAXIS other than 2).
    attempt([&] {
        sci::MArray<float, 2> whole;
        in >> whole;
    });
    in.resetRegion();
    attempt([&] { (void)in.getFloatArray(); });
    if (naxis < 2) return;
    long const n1 = in.getNaxis(1);
    long const n2 = in.getNaxis(2);
    // Stamps wholly inside the image, as the driver reads them.
    long const r = kStampRadius;
    if (n1 > 2 * r && n2 > 2 * r) {
        long const xs[] = {r + 1, (n1 + 1) / 2, n1 - r};
        long const ys[] = {r + 1, (n2 + 1) / 2, n2 - r};
        for (long x : xs)
            for (long y : ys)
                attempt([&] {
                    sci::MArray<float, 2> stamp(sci::Range(-kStampRadius, kStampRadius),
                                                sci::Range(-kStampRadius, kStampRadius));
                    selection::readStamp(in, static_cast<int>(x), static_cast<int>(y), kStampRadius,
                                         stamp);
                });
    }
    // A region partly outside the image must be refused.
    attempt([&] {
        util::Region region = in.getFullRegion();
        region.setRange(1, 0, static_cast<int>(std::min<long>(n1, 2)));
        in.setRegion(region);
    });
    // Tile by tile into a small array.
    in.resetRegion();
    attempt([&] {
        sci::MArray<float, 2> tile(kTileSide, kTileSide);
        for (int k = 0; k < kTiles; ++k) in >> tile;
    });
}

void readFile(std::string const& path) {
    std::unique_ptr<sci::FitsIn> in = std::make_unique<sci::FitsIn>(path);
    for (int extension = 0;; ++extension) {
        (void)in->getFullRegion().toString();
        fuzzsupport::NullStream sink;
        in->describeSelf(sink);
        for (char const* key : {"NAXIS1  ", "NAXIS2  ", "CRPIX1  ", "CRVAL1  ", "CD1_1   ",
                                "CDELT1  ", "CTYPE1  ", "DATE-OBS", "EQUINOX ", "COMMENT "}) {
            attempt([&] { (void)in->getFloat(key); });
            attempt([&] { (void)in->getInt(key); });
            attempt([&] { (void)in->getString(key); });
        }
        readData(*in);
        if (extension == kExtensions) break;
        std::unique_ptr<sci::FitsIn> next;
        try {
            next = in->getNextExtension();
        } catch (sci::FitsException const&) {
            break;
        }
        in = std::move(next);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::silenceStandardStreams();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
    static fuzzsupport::MemoryFile file;
    file.assign(data, size);
    try {
        readFile(file.path());
    } catch (sci::FitsException const&) {
    }
    // The projection keywords, as the catalogue ingestion reads them.
    try {
        fuzzsupport::NullStream sink;
        selection::FitsFiles files;
        (void)selection::readImageWcs(file.path(), files,
                                      selection::ProjectionUse::kCataloguePixelsToSky, sink);
    } catch (sci::FitsException const&) {
    } catch (sci::LinearAlgebraException const&) {
    }
    return 0;
}
