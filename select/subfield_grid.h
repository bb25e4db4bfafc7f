// The field box and its grid of subfields, in which the selection spreads its
// standard stars. Pixel bounds are inclusive FITS pixels (first pixel = 1);
// subfields are numbered i = 1..nx along x and j = 1..ny along y. Sums are done
// in 64 bits, so no option value, however large, overflows them.
#pragma once

#include <ostream>
#include <vector>

#include "sci/marray.h"

namespace selection {

// An inclusive pixel box [x1:x2, y1:y2]; empty when x2 < x1 or y2 < y1.
struct PixelBox {
    long long x1, x2, y1, y2;
};

// The field of an image of naxis1 x naxis2 pixels: 1..naxis1, 1..naxis2, each
// bound moved inwards by border (outwards when negative).
PixelBox fieldBoxFromImage(long long naxis1, long long naxis2, long long border);

// The extent of the rows that take part (see takesPart): their smallest and
// largest x and y, pixels; false, with the bounds untouched, when no row
// takes part.
struct Extent {
    float minX, maxX, minY, maxY;
};
bool catalogueExtent(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                     sci::MArray<float, 1> const& flux, Extent& extent);

// The field without an image, from the rows that take part (see takesPart):
//     x1 = trunc(min(x) + 0.5), x2 = trunc(max(x) + 0.5), the same for y,
// truncation toward 0, values beyond the int range saturated to it; then
// moved inwards by border. With no row taking part: x1 = y1 = 1, x2 = y2 = 0.
PixelBox fieldBoxFromCatalogue(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                               sci::MArray<float, 1> const& flux, long long border);

// The grid of nx x ny subfields over a field box:
//     dx = (x2 - x1 + 1) / nx   (integer division, toward 0)
//     lower x(i) = x1 + (i - 1) * dx, upper x(i) = lower x(i) + dx - 1 lowered to x2
// and the same in y; pixels left over by the division belong to no subfield.
// With subfieldBorder != 0 a subfield with upper - lower > 8 in both x and y is
// trimmed by subfieldBorder on all four sides; any other is left as it is and
// reported with "Error: subfield border too big!" on the error stream.
// nx or ny below 1 gives a grid without subfields.
class SubfieldGrid {
  public:
    SubfieldGrid(PixelBox const& field, int nx, int ny, int subfieldBorder, std::ostream& err);

    int nx() const { return nx_; }
    int ny() const { return ny_; }
    PixelBox const& field() const { return field_; }

    // Subfield (i, j), 1 <= i <= nx, 1 <= j <= ny, after the trimming.
    PixelBox subfield(int i, int j) const;
    bool trimmed(int i, int j) const;

    // The search box of subfield (i, j): its trimmed bounds moved inwards by
    // subfieldBorder + checkRadius once more,
    //     sx1 = lower x + subfieldBorder + checkRadius, raised to the field's x1
    //     sx2 = upper x - subfieldBorder - checkRadius + 1, lowered to the field's x2
    // and the same in y.
    PixelBox searchBox(int i, int j, int checkRadius) const;

    // The index in run order, (i - 1) ny + (j - 1), of subfield (i, j).
    long long runIndex(int i, int j) const { return static_cast<long long>(i - 1) * ny_ + (j - 1); }

    // Replaces boxes by the run indices, increasing, of the search boxes that
    // hold the position (x, y), pixels, finite: the boxes whose screening
    // (x < sx1, x > sx2, y < sy1 or y > sy2 rejects, compared in float)
    // passes it. Search boxes reach one pixel past their subfield, so a
    // position may lie in two of them along each axis.
    void searchBoxesAt(float x, float y, int checkRadius, std::vector<long long>& boxes) const;

  private:
    // The subfields along one axis (first: the field's lower bound; step: dx
    // or dy; count: nx or ny) whose search box, moved inwards by inset, may
    // hold v: lo..hi, none when hi < lo.
    static void candidates_(float v, long long first, long long step, int count, long long inset,
                            int& lo, int& hi);
    static void bounds_(long long first, long long last, long long step, int k, long long& lower,
                        long long& upper);
    PixelBox untrimmed_(int i, int j) const;
    bool wideX_(int i) const;  // upper x - lower x > 8 in column i
    bool wideY_(int j) const;  // upper y - lower y > 8 in row j

    PixelBox field_;
    int nx_;
    int ny_;
    long long subfieldBorder_;
    long long dx_, dy_;
};

// The verbose announcement of a subfield's search:
// "searching for " number - nchiReject - fwhmReject " stars in [sx1:sx2,sy1:sy2]".
void writeSearching(std::ostream& out, int number, int nchiReject, int fwhmReject,
                    PixelBox const& searchBox);

}  // namespace selection
