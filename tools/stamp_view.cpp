#include "tools/stamp_view.h"

#include <algorithm>
#include <cmath>

namespace tools {

namespace {

constexpr double kMadToSigma = 1.482602218505602;  // 1 / Phi^-1(3/4)
constexpr size_t kSampleSize = 1000000;

Rgb const kBackground{24, 24, 28};
Rgb const kBadPixel{40, 40, 110};  // value 0: bad pixel
Rgb const kOutside{60, 60, 60};    // stamp pixels beyond the image
Rgb const kStarColour{60, 255, 60};
Rgb const kLabelColour{255, 230, 80};
Rgb const kGridColour{0, 200, 230};
Rgb const kBorderColour{255, 140, 0};
Rgb const kTextColour{230, 230, 230};

constexpr int kMargin = 12;
constexpr int kGap = 24;
constexpr int kTitleScale = 2;
constexpr int kMaxZoom = 8;  // largest enlargement of a stamp on the sheet
constexpr int kLabelGap = 3;
// More stars than this get no id labels in the overview (they would overlap).
constexpr size_t kMaxOverviewLabels = 100;
// Softening of a stamp's asinh stretch as a fraction of its range: shows the
// wings without burning out the core.
constexpr double kStampSoft = 0.04;

Rgb greyOf(int g) {
    uint8_t const v = static_cast<uint8_t>(std::clamp(g, 0, 255));
    return {v, v, v};
}

double percentile(std::vector<double>& v, double pct) {
    size_t const k = std::min(
        v.size() - 1, static_cast<size_t>(pct / 100.0 * static_cast<double>(v.size() - 1) + 0.5));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

}  // namespace

int Stretch::grey(double v) const {
    if (!(v > lo)) return 0;
    double const t = std::asinh((v - lo) / soft) / std::asinh((hi - lo) / soft);
    return static_cast<int>(std::lround(255.0 * std::min(1.0, t)));
}

Stretch percentileStretch(std::vector<float> const& values, double loPct, double hiPct,
                          size_t maxSample) {
    size_t nonzero = 0;
    for (float v : values) nonzero += v != 0.0f ? 1 : 0;
    Stretch s;
    if (nonzero == 0) return s;
    size_t const stride = std::max<size_t>(1, nonzero / std::max<size_t>(1, maxSample));
    std::vector<double> sample;
    size_t seen = 0;
    for (float v : values)
        if (v != 0.0f && seen++ % stride == 0) sample.push_back(v);
    s.lo = percentile(sample, loPct);
    s.hi = percentile(sample, hiPct);
    double const med = percentile(sample, 50.0);
    for (double& v : sample) v = std::fabs(v - med);
    double const noise = kMadToSigma * percentile(sample, 50.0);
    if (!(s.hi > s.lo)) s.hi = s.lo + std::max(1.0, std::fabs(s.lo));
    s.soft = std::max(kSoftNoise * noise, kSoftMinFraction * (s.hi - s.lo));
    return s;
}

std::vector<std::pair<long, long>> subfieldBounds(long n, long border, long parts) {
    long const lo = 1 + border, hi = n - border;
    std::vector<std::pair<long, long>> bounds;
    if (parts < 1 || hi < lo) return bounds;
    long const d = (hi - lo + 1) / parts;
    for (long i = 0; i < parts; ++i) {
        long const a = lo + i * d;
        bounds.emplace_back(a, std::min(hi, a + d - 1));
    }
    return bounds;
}

void overviewFactors(long nx, long ny, int maxOverview, int& f, int& u) {
    long const side = std::max(nx, ny);
    f = static_cast<int>(std::max<long>(1, (side + maxOverview - 1) / std::max(1, maxOverview)));
    u = side < kMinOverview ? static_cast<int>((kMinOverview + side - 1) / side) : 1;
}

Canvas renderView(FloatImage const& image, StarTable const& table, ViewOptions const& o) {
    int f = 1, u = 1;
    overviewFactors(image.nx, image.ny, o.maxOverview, f, u);
    int const cellsX = static_cast<int>((image.nx + f - 1) / f);
    int const cellsY = static_cast<int>((image.ny + f - 1) / f);
    int const W = cellsX * u, H = cellsY * u;

    // Contact sheet geometry: stamps of side s shown z times enlarged, as
    // many rows as fit beside the overview, the enlargement shrinking while
    // the sheet would be wider than three quarters of the overview.
    size_t const shown = std::min(table.rows.size(), static_cast<size_t>(std::max(0, o.maxStamps)));
    int const side = 2 * o.stampHalf + 1;
    int const labelH = textHeight(1) + 2 * kLabelGap;
    int z = kMaxZoom;
    int cols = 0, rows = 0;
    for (;; --z) {
        int const cell = side * z;
        int const rowsFit = std::max(1, H / (cell + labelH));
        cols = shown == 0 ? 0
                          : static_cast<int>((shown + static_cast<size_t>(rowsFit) - 1) /
                                             static_cast<size_t>(rowsFit));
        rows = cols == 0 ? 0
                         : static_cast<int>((shown + static_cast<size_t>(cols) - 1) /
                                            static_cast<size_t>(cols));
        if (z == 1 || cols * (cell + kLabelGap) <= W * 3 / 4) break;
    }
    int const cellW = side * z + kLabelGap, cellH = side * z + labelH;
    int const sheetW = cols * cellW, sheetH = rows * cellH;

    int const titleH = textHeight(kTitleScale) + kMargin;
    int const legendH = textHeight(1) + kMargin;
    int const top = kMargin + titleH;
    int const width = kMargin + W + (cols ? kGap + sheetW : 0) + kMargin;
    int const height = top + std::max(H, sheetH) + legendH + kMargin;
    Canvas canvas(width, height, kBackground);

    // Overview: block means of the non-zero pixels; an all-zero block is bad.
    Stretch const stretch = percentileStretch(image.pixels, o.loPct, o.hiPct, kSampleSize);
    int const ox = kMargin, oy = top;
    for (int j = 0; j < cellsY; ++j)
        for (int i = 0; i < cellsX; ++i) {
            double sum = 0;
            long count = 0;
            for (long y = 1 + static_cast<long>(j) * f;
                 y <= std::min(image.ny, static_cast<long>(j + 1) * f); ++y)
                for (long x = 1 + static_cast<long>(i) * f;
                     x <= std::min(image.nx, static_cast<long>(i + 1) * f); ++x) {
                    float const v = image.at(x, y);
                    if (v != 0.0f) {
                        sum += v;
                        ++count;
                    }
                }
            Rgb const c =
                count ? greyOf(stretch.grey(sum / static_cast<double>(count))) : kBadPixel;
            // Display row 0 is the top: FITS y grows upward.
            canvas.fillRect(ox + i * u, oy + H - (j + 1) * u, ox + (i + 1) * u - 1,
                            oy + H - j * u - 1, c);
        }
    // FITS pixel edge (x - 0.5) to display coordinates.
    double const scale = static_cast<double>(u) / f;
    auto dispX = [&](double x) { return ox + (x - 0.5) * scale; };
    auto dispY = [&](double y) { return oy + H - (y - 0.5) * scale; };

    auto bx = subfieldBounds(image.nx, o.border, o.nfieldsX);
    auto by = subfieldBounds(image.ny, o.border, o.nfieldsY);
    if (o.border > 0)
        canvas.rect(static_cast<int>(dispX(1 + o.border)),
                    static_cast<int>(dispY(image.ny - o.border + 1)),
                    static_cast<int>(dispX(image.nx - o.border + 1)) - 1,
                    static_cast<int>(dispY(1 + o.border)) - 1, kBorderColour);
    for (auto const& xb : bx)
        for (auto const& yb : by)
            canvas.rect(
                static_cast<int>(std::lround(dispX(static_cast<double>(xb.first)))),
                static_cast<int>(std::lround(dispY(static_cast<double>(yb.second + 1)))),
                static_cast<int>(std::lround(dispX(static_cast<double>(xb.second + 1)))) - 1,
                static_cast<int>(std::lround(dispY(static_cast<double>(yb.first)))) - 1,
                kGridColour);

    // Stars further than one image size off the image are not drawn (their
    // display coordinates would not fit an int).
    auto drawable = [&](StarRow const& s) {
        double const nx = static_cast<double>(image.nx), ny = static_cast<double>(image.ny);
        return s.x > -nx && s.x < 2 * nx && s.y > -ny && s.y < 2 * ny;
    };
    double const r = std::max(5.0, o.circleRadius * scale);
    for (StarRow const& s : table.rows) {
        if (!drawable(s)) continue;
        double const cx = dispX(s.x), cy = dispY(s.y);
        canvas.circle(cx, cy, r, 2.0, kStarColour);
        if (o.labels && table.rows.size() <= kMaxOverviewLabels)
            canvas.text(static_cast<int>(cx + 0.75 * r),
                        static_cast<int>(cy - 0.75 * r) - textHeight(1), std::to_string(s.id),
                        kLabelColour);
    }

    // Contact sheet.
    int const sx0 = ox + W + kGap;
    for (size_t k = 0; k < shown; ++k) {
        StarRow const& s = table.rows[k];
        if (!drawable(s)) continue;
        int const col = static_cast<int>(k) % cols, row = static_cast<int>(k) / cols;
        int const px = sx0 + col * cellW, py = top + row * cellH;
        long const ix = std::lround(s.x), iy = std::lround(s.y);
        std::vector<float> stamp;
        for (long y = iy - o.stampHalf; y <= iy + o.stampHalf; ++y)
            for (long x = ix - o.stampHalf; x <= ix + o.stampHalf; ++x)
                if (x >= 1 && y >= 1 && x <= image.nx && y <= image.ny && image.at(x, y) != 0.0f)
                    stamp.push_back(image.at(x, y));
        Stretch st;
        if (!stamp.empty()) {
            auto const mm = std::minmax_element(stamp.begin(), stamp.end());
            st.lo = *mm.first;
            st.hi = *mm.second > st.lo ? *mm.second : st.lo + 1.0;
            st.soft = kStampSoft * (st.hi - st.lo);
        }
        for (int b = 0; b < side; ++b)
            for (int a = 0; a < side; ++a) {
                long const x = ix - o.stampHalf + a, y = iy - o.stampHalf + b;
                Rgb c = kOutside;
                if (x >= 1 && y >= 1 && x <= image.nx && y <= image.ny) {
                    float const v = image.at(x, y);
                    c = v == 0.0f ? kBadPixel : greyOf(st.grey(v));
                }
                canvas.fillRect(px + a * z, py + (side - 1 - b) * z, px + (a + 1) * z - 1,
                                py + (side - b) * z - 1, c);
            }
        // Ticks at the edges point at the catalogue position.
        int const tick = std::max(2, z);
        int const tx =
            px +
            static_cast<int>(std::lround((s.x - static_cast<double>(ix - o.stampHalf) + 0.5) * z));
        int const ty =
            py +
            static_cast<int>(std::lround((static_cast<double>(iy + o.stampHalf) - s.y + 0.5) * z));
        canvas.line(tx, py, tx, py + tick, kStarColour);
        canvas.line(tx, py + side * z - 1 - tick, tx, py + side * z - 1, kStarColour);
        canvas.line(px, ty, px + tick, ty, kStarColour);
        canvas.line(px + side * z - 1 - tick, ty, px + side * z - 1, ty, kStarColour);
        canvas.text(px, py + side * z + kLabelGap, std::to_string(s.id), kLabelColour);
    }

    std::string title = o.title + "  " + std::to_string(image.nx) + "x" + std::to_string(image.ny) +
                        "  " + std::to_string(table.rows.size()) + " stars  nfields " +
                        std::to_string(o.nfieldsX) + "," + std::to_string(o.nfieldsY);
    if (f > 1) title += "  (overview 1/" + std::to_string(f) + ")";
    canvas.text(kMargin, kMargin, title, kTextColour, kTitleScale);
    std::string legend = "green: selected stars   cyan: subfields   blue: bad pixels (0)";
    if (shown < table.rows.size()) legend += "   sheet shows the first " + std::to_string(shown);
    canvas.text(kMargin, height - kMargin - textHeight(1), legend, kTextColour);
    return canvas;
}

}  // namespace tools
