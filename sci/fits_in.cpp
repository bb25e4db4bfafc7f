#include "sci/fits_in.h"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <vector>

namespace sci {

namespace {

std::string const kNoSuchArray = "NAXIS or slice does not match MArray dimensions";

}  // namespace

// ------------------------------------------------------------------ FitsIO

void FitsIO::checkRegion(unsigned long d) const {
    if (!region_) throw FitsException("request for unset region");
    if (d == 0) throw FitsException("request for invalid region parameter");
}

long FitsIO::getRegionLength() const {
    return region_ ? region_->getLength() : 0;
}

long FitsIO::getRegionLength(unsigned long d) const {
    FitsIO::checkRegion(d);
    return region_->getLength(d);
}

int FitsIO::getRegionStart(unsigned long d) const {
    FitsIO::checkRegion(d);
    return region_->getStart(d);
}

int FitsIO::getRegionEnd(unsigned long d) const {
    FitsIO::checkRegion(d);
    return region_->getEnd(d);
}

util::Region FitsIO::getRegion() const {
    if (!region_) throw FitsException("request for unset region");
    return *region_;
}

// ------------------------------------------------------------------ FitsIn

FitsIn::FitsIn(std::string const& filename, CardWarnings warnings)
    : FitsHeader(filename, warnings), FitsIO(filename) {}

FitsIn::FitsIn(char const* filename, bool quiet, bool allJunk)
    : FitsHeader(filename, quiet, allJunk), FitsIO(filename) {}

FitsIn::FitsIn(std::string const& filename, bool quiet, bool allJunk)
    : FitsHeader(filename, quiet, allJunk), FitsIO(filename) {}

FitsIn::FitsIn(std::string const& filename, long offset, bool quiet, bool allJunk)
    : FitsHeader(filename, offset, quiet, allJunk), FitsIO(filename) {}

FitsIn::~FitsIn() {
    freeData();
    resetRegion();
}

void FitsIn::describeSelf(std::ostream& out) const {
    out << "FITS file '" << filename_ << "'";
    if (region_) out << ", region " << region_->toString();
    out << "\n";
    FitsHeader::describeSelf(out);
}

std::unique_ptr<FitsIn> FitsIn::getNextExtension() const {
    if (!getExtend()) throw FitsException("No extension present");
    long const padding = static_cast<long>(fitsRecordPadding(static_cast<size_t>(getDataLength())));
    return std::make_unique<FitsIn>(filename_, getDataOffset() + getDataLength() + padding,
                                    isQuiet(), false);
}

void FitsIn::setRegion(util::Region const& region) {
    resetRegion();
    testRegion(region);
    region_ = std::make_unique<util::Region>(region);
}

void FitsIn::resetRegion() {
    region_.reset();
    freeData();
}

void FitsIn::checkRegion(unsigned long d) const {
    FitsIO::checkRegion(d);
    if (d > static_cast<unsigned long>(getNaxis()))
        throw FitsException("request for invalid region parameter");
}

long FitsIn::elementIndex_(util::Region const& region, long const* counters) const {
    // ((...((iN - 1) * NAXIS(N-1) + iN-1 - 1) ...) * NAXIS1 + i1 - 1)
    long index = 0;
    for (int d = getNaxis(); d >= 1; --d) {
        long const i = region.getStart(static_cast<unsigned long>(d)) + (d >= 2 ? counters[d] : 0);
        index = index * getNaxis(d) + (i - 1);
    }
    return index;
}

void FitsIn::regionBytes_(long& start, long& length) const {
    // The first and last corner of the region (the region lies inside the
    // image, so both indices are below the element count and cannot overflow).
    util::Region const& r = *region_;
    long first = 0;
    long last = 0;
    for (int d = getNaxis(); d >= 1; --d) {
        unsigned long const u = static_cast<unsigned long>(d);
        first = first * getNaxis(d) + (r.getStart(u) - 1);
        last = last * getNaxis(d) + (r.getEnd(u) - 1);
    }
    start = first * getBytpix();
    length = (last - first + 1) * getBytpix();
}

void FitsIn::ensureMapped_(long fileOffset, long length, bool region) {
    if (length <= 0 || window_.covers(fileOffset, length)) return;
    ReadOnlyFile const file(filename_);
    if (fileOffset > file.size() || length > file.size() - fileOffset) {
        if (region)
            throw FitsException("region " + region_->toString() + " of FITS file '" + filename_ +
                                    "' extends beyond the end of the file",
                                filename_);
        throw FitsException(
            "data segment of FITS file '" + filename_ + "' extends beyond the end of the file",
            filename_);
    }
    window_.map(file, fileOffset, length);
}

void FitsIn::checkData_() const {
    if (getNaxis() == 0) throw FitsException("No data segment associated with header (NAXIS = 0).");
    FitsCard const& first = *mandatoryCards().front();
    if (first.what_id() == FitsKnownList::XTENSION_ID && first.getString() != "IMAGE")
        throw FitsException(first.getString() + " extension not supported until now.");
}

void FitsIn::openData() {
    checkData_();
    if (region_) {
        long start = 0;
        long length = 0;
        regionBytes_(start, length);
        ensureMapped_(getDataOffset() + start, length, true);
    } else {
        ensureMapped_(getDataOffset(), getDataLength(), false);
    }
}

unsigned char const* FitsIn::begin() {
    if (!window_.isMapped()) openData();
    if (!window_.isMapped()) return nullptr;  // an empty data segment
    // data offset - map offset may be negative: computed on the address value.
    return reinterpret_cast<unsigned char const*>(reinterpret_cast<std::uintptr_t>(window_.data()) +
                                                  (getDataOffset() - window_.mapOffset()));
}

std::unique_ptr<float[]> FitsIn::getDataArray(float) {
    return getFloatArray();
}

std::unique_ptr<float[]> FitsIn::getFloatArray() {
    if (getBitpix() != FitsKnownList::BITPIX_CHAR && getBitpix() != FitsKnownList::BITPIX_SHORT &&
        getBitpix() != FitsKnownList::BITPIX_INT && getBitpix() != FitsKnownList::BITPIX_FLOAT &&
        getBitpix() != FitsKnownList::BITPIX_DOUBLE)
        throw FitsException("illegal BITPIX");
    // Mapped (and checked against the file size) before anything is allocated.
    openData();
    long const count = region_ ? region_->getLength() : getDataElements();
    std::unique_ptr<float[]> buffer(new float[static_cast<size_t>(count)]);
    float* it = buffer.get();
    float* const end = it + count;
    if (region_)
        readRegionArray(it, end);
    else
        readDataArray(it, end);
    return buffer;
}

// ----------------------------------------------------------- array helpers

MArray<float, 2> getFitsMArray(FitsIn& in) {
    std::vector<long> lengths;
    if (in.hasRegion()) {
        for (int d = 1; d <= in.getNaxis(); ++d) {
            long const length = in.getRegionLength(static_cast<unsigned long>(d));
            if (length != 1) lengths.push_back(length);
        }
    } else if (in.getNaxis() == 2) {
        lengths = {in.getNaxis(1), in.getNaxis(2)};
    }
    if (lengths.size() != 2) throw FitsException(kNoSuchArray);
    // A primary header with GCOUNT = 0 holds fewer elements than its axes.
    if (!in.hasRegion() && in.getDataElements() < lengths[0] * lengths[1])
        throw FitsException(
            "data segment of FITS file '" + in.getFilename() + "' is shorter than its image",
            in.getFilename());
    std::unique_ptr<float[]> buffer = in.getFloatArray();
    return MArray<float, 2>::adopt(buffer.release(), lengths[0], lengths[1]);
}

namespace {

// Reads the reader's region into the block of a that starts at (x0, y0) and
// has the region's lengths on axes 1 and 2.
void readIntoBlock(MArray<float, 2>& a, FitsIn& in, int x0, int y0) {
    MArray<float, 2> block;
    block.subarray(a, Range(x0, static_cast<int>(x0 + in.getRegionLength(1) - 1)),
                   Range(y0, static_cast<int>(y0 + in.getRegionLength(2) - 1)));
    auto it = block.begin();
    in.readRegionArray(it, block.end());
}

// Fills a from the reader as insertFitsMArray describes. Returns false when the
// whole image went straight into an array of its size (no region is left set),
// true when the reader's region is the tile that was read.
bool fillArray(MArray<float, 2>& a, FitsIn& in) {
    int const naxis = in.getNaxis();
    if (naxis < 2) throw FitsException("MArray cannot be filled with FITS file");

    // The working region: the reader's, or the first tile of a's size.
    util::Region r(static_cast<unsigned long>(naxis));
    if (in.hasRegion()) {
        r = in.getRegion();
    } else {
        for (int d = 1; d <= naxis; ++d) {
            int const end = d <= 2 ? std::min(a.length(d), in.getNaxis(d)) : 1;
            r.setRange(static_cast<unsigned long>(d), 1, end);
        }
        // The whole image streams straight into an array of exactly its size;
        // any other array is read through the region, which keeps rows aligned.
        if (naxis == 2 && a.length(1) == in.getNaxis(1) && a.length(2) == in.getNaxis(2))
            in.resetRegion();
        else
            in.setRegion(r);
    }

    if (!in.hasRegion()) {
        if (in.getDataElements() < a.size())
            throw FitsException(
                "data segment of FITS file '" + in.getFilename() + "' is shorter than its image",
                in.getFilename());
        auto it = a.begin();
        in.readDataArray(it, a.end());
        return false;
    }

    if (a.size() == r.getLength()) {
        auto it = a.begin();
        in.readRegionArray(it, a.end());
    } else {
        // A region of another element count goes to a block of its lengths:
        // at its own indices when those lie inside a, else at a's bases.
        bool planar = true;
        for (int d = 3; d <= naxis; ++d)
            planar = planar && r.getLength(static_cast<unsigned long>(d)) == 1;
        long const l1 = r.getLength(1);
        long const l2 = r.getLength(2);
        if (!planar || l1 > a.length(1) || l2 > a.length(2))
            throw FitsException("region " + r.toString() + " of FITS file '" + in.getFilename() +
                                    "' does not fit into the array",
                                in.getFilename());
        a = 0.0f;
        bool const inside = r.getStart(1) >= a.base(1) && r.getEnd(1) <= a.last(1) &&
                            r.getStart(2) >= a.base(2) && r.getEnd(2) <= a.last(2);
        readIntoBlock(a, in, inside ? r.getStart(1) : a.base(1),
                      inside ? r.getStart(2) : a.base(2));
    }
    return true;
}

// Moves the reader's region, the tile just read into a, on to the next tile of
// a's size: the first axis that is not at its end moves on; every axis before
// it returns to its start. After the last tile the first one follows.
void advanceRegion(MArray<float, 2> const& a, FitsIn& in) {
    int const naxis = in.getNaxis();
    util::Region const r = in.getRegion();
    util::Region next(r);
    bool advanced = false;
    for (int d = 1; d <= naxis && !advanced; ++d) {
        unsigned long const u = static_cast<unsigned long>(d);
        long const n = in.getNaxis(d);
        long const step = d <= 2 ? a.length(d) : 1;
        long const e = r.getEnd(u);
        if (e < n) {
            next.setRange(u, static_cast<int>(e + 1), static_cast<int>(std::min(e + step, n)));
            advanced = true;
        } else {
            next.setRange(u, 1, static_cast<int>(std::min(step, n)));
        }
    }
    if (!advanced) in.resetRegion();
    in.setRegion(next);
}

}  // namespace

void insertFitsMArray(MArray<float, 2>& a, FitsIn& in) {
    if (fillArray(a, in)) advanceRegion(a, in);
}

void readRegion(FitsIn& in, MArray<float, 2>& a) {
    fillArray(a, in);
}

FitsIn& operator>>(FitsIn& in, MArray<float, 2>& a) {
    if (!a.hasStorage())
        a.makeReference(getFitsMArray(in));
    else
        insertFitsMArray(a, in);
    return in;
}

}  // namespace sci
