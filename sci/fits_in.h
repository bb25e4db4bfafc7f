// sci::FitsIn: reads the primary image of a FITS file, whole or restricted to
// a rectangular region, converting every pixel type (BITPIX 8, 16, 32, -32,
// -64; big-endian in the file) to float with BSCALE and BZERO applied.
// Axes and region indices start at 1; axis 1 varies fastest in the file and in
// the arrays filled (sci::MArray, first index fastest). Only the page-aligned
// bytes that a read needs are mapped, read-only.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "sci/exceptions.h"
#include "sci/fits_bytes.h"
#include "sci/fits_file.h"
#include "sci/fits_header.h"
#include "sci/marray.h"
#include "util/region.h"

namespace sci {

// The part of a FITS reader that holds the file name, the current mapping and
// the region to read.
class FitsIO {
  public:
    explicit FitsIO(std::string const& filename) : filename_(filename) {}
    virtual ~FitsIO() = default;
    FitsIO(FitsIO const&) = delete;
    FitsIO& operator=(FitsIO const&) = delete;

    // Drops the mapping, if any.
    void freeData() { window_.release(); }

    // Throws "request for unset region" without a region and "request for
    // invalid region parameter" for d = 0. A reader that knows its image's
    // axes checks d against them too (FitsIn).
    virtual void checkRegion(unsigned long d) const;
    bool hasRegion() const { return region_ != nullptr; }
    // Elements of the region; 0 when none is set.
    long getRegionLength() const;
    // d: axis 1..N, after the check of FitsIO::checkRegion(d) (d is not
    // tested against the image's axes).
    long getRegionLength(unsigned long d) const;
    int getRegionStart(unsigned long d) const;
    int getRegionEnd(unsigned long d) const;
    // A copy of the region; throws "request for unset region" without one.
    util::Region getRegion() const;

    std::string const& getFilename() const { return filename_; }
    bool isMapped() const { return window_.isMapped(); }
    // File offset and bytes of the current mapping (0 when nothing is mapped).
    long getMapOffset() const { return window_.mapOffset(); }
    size_t getMapLength() const { return window_.mapLength(); }

  protected:
    std::string filename_;
    FileWindow window_;
    std::unique_ptr<util::Region> region_;
};

class FitsIn : public FitsHeader, public FitsIO {
  public:
    // Reads the header as FitsHeader does; no region, nothing mapped.
    // FitsIn(name) prints the header's warnings, FitsIn(name,
    // CardWarnings::kQuiet) keeps them; both parse every card.
    explicit FitsIn(std::string const& filename, CardWarnings warnings = CardWarnings::kPrint);
    FitsIn(char const* filename, bool quiet, bool allJunk);
    FitsIn(std::string const& filename, bool quiet, bool allJunk);
    // The header that starts at byte offset (an extension).
    FitsIn(std::string const& filename, long offset, bool quiet, bool allJunk);
    ~FitsIn() override;

    void describeSelf(std::ostream& out) const override;
    // The reader of the next header in the file (at the data offset plus the
    // data length rounded up to whole records) when EXTEND is true; otherwise
    // throws "No extension present".
    virtual std::unique_ptr<FitsIn> getNextExtension() const;

    // Drops the old region and mapping, tests region against the image
    // (testRegion) and keeps a copy of it.
    void setRegion(util::Region const& region);
    // No region, nothing mapped.
    void resetRegion();
    // checkRegion of FitsIO, and "request for invalid region parameter" for d > NAXIS.
    void checkRegion(unsigned long d) const override;

    // Maps the bytes of the region, or of the whole data segment without one.
    // Throws FitsException for NAXIS = 0, for an extension other than IMAGE and
    // when the bytes extend beyond the end of the file.
    void openData();
    // The address that the first byte of the data segment has relative to the
    // mapping (it may lie before the mapping when a region is mapped).
    unsigned char const* begin();

    // A new buffer holding the whole data segment (data length / bytpix
    // elements), or the region when one is set, converted to float in file
    // order.
    std::unique_ptr<float[]> getFloatArray();
    // getFloatArray(); the argument only selects the element type.
    std::unique_ptr<float[]> getDataArray(float);
    // Elements of the whole data segment: data length / bytpix.
    long getDataElements() const { return getDataLength() / getBytpix(); }

    // Convert the whole data segment, or the region (in file order, axis 1
    // fastest), and write it through it; writing stops when it reaches end
    // (by default the iterator's end state). readRegionArray throws "no region
    // set" without a region.
    template <class Iter>
    void readDataArray(Iter& it, Iter const& end = Iter());
    template <class Iter>
    void readRegionArray(Iter& it, Iter const& end = Iter());

  private:
    // Throws for NAXIS = 0 and for an extension other than IMAGE.
    void checkData_() const;
    // Maps [fileOffset, fileOffset + length) unless the mapping covers it.
    void ensureMapped_(long fileOffset, long length, bool region);
    // Linear element index (0-based, axis 1 fastest) of 1-based axis indices.
    long elementIndex_(util::Region const& region, long const* counters) const;
    // Byte range (from the data start) of the region's first to last element.
    void regionBytes_(long& start, long& length) const;
    // Converts count elements from element index first (mapped) through it.
    template <class Iter>
    void convert_(long first, long count, Iter& it, Iter const& end) const;
    template <class Raw, class Iter>
    void convertTyped_(unsigned char const* bytes, long count, Iter& it, Iter const& end) const;
};

// A new array of the image, or of the reader's region, with bases 1: element
// (x, y) is the pixel at axis-1 index x and axis-2 index y (shifted by the
// region's first indices). Axes of length 1 of a region are dropped; exactly
// two must remain (without a region NAXIS must be 2), else throws "NAXIS or
// slice does not match MArray dimensions".
MArray<float, 2> getFitsMArray(FitsIn& in);
// Fills a with the image, or with the reader's region, and advances the
// reader's region to the next tile of a's size (see fits_in.cpp).
void insertFitsMArray(MArray<float, 2>& a, FitsIn& in);
// Fills a exactly as insertFitsMArray does but leaves the reader's region on
// the tile it read (without a region: on the first tile of a's size, or none
// when a has exactly the image's size). For reading one region, e.g. a stamp.
void readRegion(FitsIn& in, MArray<float, 2>& a);
// An array without storage becomes getFitsMArray(in); otherwise
// insertFitsMArray(a, in), which moves the reader's region on to the next
// tile: a second in >> a reads the tile after the first, not the same pixels
// again. readRegion reads without moving the region.
FitsIn& operator>>(FitsIn& in, MArray<float, 2>& a);

// ------------------------------------------------------------ templates

template <class Raw, class Iter>
void FitsIn::convertTyped_(unsigned char const* bytes, long count, Iter& it,
                           Iter const& end) const {
    constexpr size_t size = sizeof(Raw);
    double const s = getBscale();
    double const z = getBzero();
    // The variant is chosen once per run: identity only for exactly 1 and 0.
    if (s == 1.0 && z == 0.0) {
        for (long k = 0; k < count && it != end; ++k, ++it)
            *it = static_cast<float>(loadBigEndian<Raw>(bytes + k * size));
    } else {
        // v * s + z in double precision, then rounded to float.
        for (long k = 0; k < count && it != end; ++k, ++it)
            *it = static_cast<float>(static_cast<double>(loadBigEndian<Raw>(bytes + k * size)) * s +
                                     z);
    }
}

template <class Iter>
void FitsIn::convert_(long first, long count, Iter& it, Iter const& end) const {
    if (count <= 0) return;
    long const offset = getDataOffset() + first * getBytpix();
    if (!window_.covers(offset, count * getBytpix()))
        throw FitsException("internal error: unmapped read of FITS file '" + filename_ + "'");
    unsigned char const* bytes = window_.at(offset);
    switch (getBitpix()) {
        case FitsKnownList::BITPIX_CHAR:
            convertTyped_<uint8_t>(bytes, count, it, end);
            break;
        case FitsKnownList::BITPIX_SHORT:
            convertTyped_<int16_t>(bytes, count, it, end);
            break;
        case FitsKnownList::BITPIX_INT:
            convertTyped_<int32_t>(bytes, count, it, end);
            break;
        case FitsKnownList::BITPIX_FLOAT:
            convertTyped_<float>(bytes, count, it, end);
            break;
        case FitsKnownList::BITPIX_DOUBLE:
            convertTyped_<double>(bytes, count, it, end);
            break;
        default:
            throw FitsException("illegal BITPIX");
    }
}

template <class Iter>
void FitsIn::readDataArray(Iter& it, Iter const& end) {
    checkData_();
    long const count = getDataElements();
    if (count > 0) ensureMapped_(getDataOffset(), getDataLength(), false);
    convert_(0, count, it, end);
}

template <class Iter>
void FitsIn::readRegionArray(Iter& it, Iter const& end) {
    if (!region_) throw FitsException("no region set");
    checkData_();
    long start = 0;
    long length = 0;
    regionBytes_(start, length);
    ensureMapped_(getDataOffset() + start, length, true);
    // Row by row: a row is the region's run along axis 1, contiguous in the
    // file; the counters of axes 2..N advance like an odometer.
    int const n = getNaxis();
    long const rowLength = region_->getLength(1);
    long const total = region_->getLength();
    std::unique_ptr<long[]> counters(new long[static_cast<size_t>(n) + 1]());
    for (long written = 0; written < total && it != end; written += rowLength) {
        convert_(elementIndex_(*region_, counters.get()), rowLength, it, end);
        for (int d = 2; d <= n; ++d) {
            if (++counters[d] < region_->getLength(static_cast<unsigned long>(d))) break;
            counters[d] = 0;
        }
    }
}

}  // namespace sci
