#include "select/subfield_grid.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>

#include "select/flux_limits.h"

namespace selection {

namespace {

// A subfield is trimmed only when upper - lower exceeds this in x and in y.
constexpr long long kMinTrimmedSpan = 8;

PixelBox movedInwards(PixelBox box, long long border) {
    if (border != 0) {
        box.x1 += border;
        box.x2 -= border;
        box.y1 += border;
        box.y2 -= border;
    }
    return box;
}

// trunc(v + 0.5) toward 0, saturated to the int range.
long long roundedBound(float v) {
    double const t = std::trunc(static_cast<double>(v) + 0.5);
    if (t <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (t >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<long long>(t);
}

}  // namespace

PixelBox fieldBoxFromImage(long long naxis1, long long naxis2, long long border) {
    return movedInwards(PixelBox{1, naxis1, 1, naxis2}, border);
}

bool catalogueExtent(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                     sci::MArray<float, 1> const& flux, Extent& extent) {
    bool any = false;
    int const n = catalogueRows(x);
    for (int row = 1; row <= n; ++row) {
        if (!rowTakesPart(x, y, flux, row)) continue;
        float const a = x(x.base() + row - 1);
        float const b = y(y.base() + row - 1);
        if (!any) {
            extent = Extent{a, a, b, b};
            any = true;
        }
        extent.minX = std::min(extent.minX, a);
        extent.maxX = std::max(extent.maxX, a);
        extent.minY = std::min(extent.minY, b);
        extent.maxY = std::max(extent.maxY, b);
    }
    return any;
}

PixelBox fieldBoxFromCatalogue(sci::MArray<float, 1> const& x, sci::MArray<float, 1> const& y,
                               sci::MArray<float, 1> const& flux, long long border) {
    Extent e{};
    if (!catalogueExtent(x, y, flux, e)) return movedInwards(PixelBox{1, 0, 1, 0}, border);
    return movedInwards(PixelBox{roundedBound(e.minX), roundedBound(e.maxX), roundedBound(e.minY),
                                 roundedBound(e.maxY)},
                        border);
}

SubfieldGrid::SubfieldGrid(PixelBox const& field, int nx, int ny, int subfieldBorder,
                           std::ostream& err)
    : field_(field),
      nx_(std::max(nx, 0)),
      ny_(std::max(ny, 0)),
      subfieldBorder_(subfieldBorder),
      dx_(nx_ > 0 ? (field.x2 - field.x1 + 1) / nx_ : 0),
      dy_(ny_ > 0 ? (field.y2 - field.y1 + 1) / ny_ : 0) {
    if (subfieldBorder_ == 0) return;
    // The trimming test splits into a condition on i and one on j, so the
    // untrimmed subfields are counted without visiting every (i, j).
    long long wideX = 0;
    long long wideY = 0;
    for (int i = 1; i <= nx_; ++i)
        if (wideX_(i)) ++wideX;
    for (int j = 1; j <= ny_; ++j)
        if (wideY_(j)) ++wideY;
    long long const untrimmed = static_cast<long long>(nx_) * ny_ - wideX * wideY;
    for (long long k = 0; k < untrimmed; ++k) err << "Error: subfield border too big!\n";
}

// lower = first + (k - 1) * step, upper = lower + step - 1 lowered to last.
void SubfieldGrid::bounds_(long long first, long long last, long long step, int k, long long& lower,
                           long long& upper) {
    lower = first + (k - 1) * step;
    upper = std::min(lower + step - 1, last);
}

PixelBox SubfieldGrid::untrimmed_(int i, int j) const {
    assert(i >= 1 && i <= nx_ && j >= 1 && j <= ny_);
    PixelBox box;
    bounds_(field_.x1, field_.x2, dx_, i, box.x1, box.x2);
    bounds_(field_.y1, field_.y2, dy_, j, box.y1, box.y2);
    return box;
}

bool SubfieldGrid::wideX_(int i) const {
    long long lower = 0, upper = 0;
    bounds_(field_.x1, field_.x2, dx_, i, lower, upper);
    return upper - lower > kMinTrimmedSpan;
}

bool SubfieldGrid::wideY_(int j) const {
    long long lower = 0, upper = 0;
    bounds_(field_.y1, field_.y2, dy_, j, lower, upper);
    return upper - lower > kMinTrimmedSpan;
}

bool SubfieldGrid::trimmed(int i, int j) const {
    return subfieldBorder_ != 0 && wideX_(i) && wideY_(j);
}

PixelBox SubfieldGrid::subfield(int i, int j) const {
    PixelBox box = untrimmed_(i, j);
    if (trimmed(i, j)) {
        box.x1 += subfieldBorder_;
        box.y1 += subfieldBorder_;
        box.x2 -= subfieldBorder_;
        box.y2 -= subfieldBorder_;
    }
    return box;
}

PixelBox SubfieldGrid::searchBox(int i, int j, int checkRadius) const {
    PixelBox const sub = subfield(i, j);
    long long const inset = subfieldBorder_ + checkRadius;
    PixelBox box;
    box.x1 = std::max(sub.x1 + inset, field_.x1);
    box.x2 = std::min(sub.x2 - inset + 1, field_.x2);
    box.y1 = std::max(sub.y1 + inset, field_.y1);
    box.y2 = std::min(sub.y2 - inset + 1, field_.y2);
    return box;
}

// Subfield k spans lower = first + (k - 1) step .. upper <= lower + step - 1,
// and its search box lies within lower - m .. upper + 1 + m, where m is the
// inset subfield border + check radius when that is negative, else 0. The
// box's float bounds may be off by the float spacing s near v, so v can lie
// in its box only when lower - m <= v + s and upper + 1 + m >= v - s, that is
//     (v - s - m - first) / step <= k <= (v + s + m - first) / step + 1.
void SubfieldGrid::candidates_(float v, long long first, long long step, int count, long long inset,
                               int& lo, int& hi) {
    lo = 1;
    hi = count;
    if (step < 1) return;  // a grid finer than the field: every subfield
    double const s = 2.0 * (std::nextafter(std::fabs(v), HUGE_VALF) - std::fabs(v)) + 1.0;
    double const m = inset < 0 ? -static_cast<double>(inset) : 0.0;
    double const from = std::ceil((static_cast<double>(v) - s - m - first) / step);
    double const to = std::floor((static_cast<double>(v) + s + m - first) / step) + 1.0;
    if (from > lo) lo = from > count ? count + 1 : static_cast<int>(from);
    if (to < hi) hi = to < lo ? lo - 1 : static_cast<int>(to);
}

void SubfieldGrid::searchBoxesAt(float x, float y, int checkRadius,
                                 std::vector<long long>& boxes) const {
    boxes.clear();
    int i1 = 0, i2 = 0, j1 = 0, j2 = 0;
    long long const inset = subfieldBorder_ + checkRadius;
    candidates_(x, field_.x1, dx_, nx_, inset, i1, i2);
    candidates_(y, field_.y1, dy_, ny_, inset, j1, j2);
    for (int i = i1; i <= i2; ++i) {
        for (int j = j1; j <= j2; ++j) {
            PixelBox const box = searchBox(i, j, checkRadius);
            if (x < static_cast<float>(box.x1) || x > static_cast<float>(box.x2) ||
                y < static_cast<float>(box.y1) || y > static_cast<float>(box.y2))
                continue;
            boxes.push_back(runIndex(i, j));
        }
    }
}

void writeSearching(std::ostream& out, int number, int nchiReject, int fwhmReject,
                    PixelBox const& searchBox) {
    long long const count = static_cast<long long>(number) - nchiReject - fwhmReject;
    out << "searching for " << count << " stars in [" << searchBox.x1 << ":" << searchBox.x2 << ","
        << searchBox.y1 << ":" << searchBox.y2 << "]\n";
}

}  // namespace selection
