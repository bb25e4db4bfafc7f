#include "tools/canvas.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <map>
#include <memory>

#include "tools/tool_args.h"

namespace tools {

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = kGlyphWidth + 1;  // one blank column between letters

// The 5 x 7 font: seven rows per glyph, '#' for a lit pixel.
std::map<char, std::array<char const*, kGlyphHeight>> const& font() {
    static std::map<char, std::array<char const*, kGlyphHeight>> const glyphs = {
        {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
        {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
        {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
        {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
        {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
        {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
        {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
        {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
        {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
        {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
        {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
        {'D', {"###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."}},
        {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
        {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
        {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
        {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
        {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
        {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
        {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
        {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
        {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
        {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
        {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
        {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
        {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
        {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
        {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
        {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
        {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
        {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
        {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
        {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
        {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
        {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
        {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
        {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
        {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
        {'_', {".....", ".....", ".....", ".....", ".....", ".....", "#####"}},
        {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
        {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
        {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
        {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
        {'[', {".###.", ".#...", ".#...", ".#...", ".#...", ".#...", ".###."}},
        {']', {".###.", "...#.", "...#.", "...#.", "...#.", "...#.", ".###."}},
        {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
        {'%', {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}},
        {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
        {'*', {".....", "..#..", "#.#.#", ".###.", "#.#.#", "..#..", "....."}},
        {'<', {"...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."}},
        {'>', {".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."}},
    };
    return glyphs;
}

}  // namespace

Canvas::Canvas(int width, int height, Rgb background)
    : width_(std::max(1, width)), height_(std::max(1, height)) {
    rgb_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3);
    for (size_t k = 0; k < rgb_.size(); k += 3) {
        rgb_[k] = background.r;
        rgb_[k + 1] = background.g;
        rgb_[k + 2] = background.b;
    }
}

Rgb Canvas::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    size_t const k =
        (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    return {rgb_[k], rgb_[k + 1], rgb_[k + 2]};
}

void Canvas::set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    size_t const k =
        (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3;
    rgb_[k] = c.r;
    rgb_[k + 1] = c.g;
    rgb_[k + 2] = c.b;
}

void Canvas::fillRect(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, std::min(y0, y1)); y <= std::min(height_ - 1, std::max(y0, y1)); ++y)
        for (int x = std::max(0, std::min(x0, x1)); x <= std::min(width_ - 1, std::max(x0, x1));
             ++x)
            set(x, y, c);
}

void Canvas::rect(int x0, int y0, int x1, int y1, Rgb c) {
    line(x0, y0, x1, y0, c);
    line(x1, y0, x1, y1, c);
    line(x1, y1, x0, y1, c);
    line(x0, y1, x0, y0, c);
}

void Canvas::line(int x0, int y0, int x1, int y1, Rgb c) {
    // Keep the walk bounded even for far-off end points.
    long const limit = 4L * (width_ + height_) + 4;
    int const dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int const dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (long step = 0; step < limit + static_cast<long>(dx) - dy; ++step) {
        set(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        int const e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Canvas::circle(double cx, double cy, double r, double thickness, Rgb c) {
    double const outer = r + 0.5 * thickness, inner = std::max(0.0, r - 0.5 * thickness);
    int const x0 = static_cast<int>(std::floor(cx - outer)),
              x1 = static_cast<int>(std::ceil(cx + outer));
    int const y0 = static_cast<int>(std::floor(cy - outer)),
              y1 = static_cast<int>(std::ceil(cy + outer));
    for (int y = std::max(0, y0); y <= std::min(height_ - 1, y1); ++y)
        for (int x = std::max(0, x0); x <= std::min(width_ - 1, x1); ++x) {
            double const d = std::hypot(x - cx, y - cy);
            if (d >= inner && d <= outer) set(x, y, c);
        }
}

void Canvas::text(int x, int y, std::string const& s, Rgb c, int scale) {
    auto const& glyphs = font();
    for (size_t i = 0; i < s.size(); ++i) {
        char const ch = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
        auto const it = glyphs.find(ch);
        if (it == glyphs.end()) continue;
        int const gx = x + static_cast<int>(i) * kGlyphAdvance * scale;
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int col = 0; col < kGlyphWidth; ++col)
                if (it->second[static_cast<size_t>(row)][col] == '#')
                    fillRect(gx + col * scale, y + row * scale, gx + (col + 1) * scale - 1,
                             y + (row + 1) * scale - 1, c);
    }
}

int textWidth(std::string const& s, int scale) {
    return s.empty() ? 0 : (static_cast<int>(s.size()) * kGlyphAdvance - 1) * scale;
}

int textHeight(int scale) {
    return kGlyphHeight * scale;
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

void writePng(std::string const& path, Canvas const& canvas) {
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file) throw cannotOpenForWriting(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        throw cannotWrite(path);
    }
    std::vector<png_bytep> rows(static_cast<size_t>(canvas.height()));
    for (int y = 0; y < canvas.height(); ++y)
        rows[static_cast<size_t>(y)] =
            const_cast<png_bytep>(canvas.bytes().data()) +
            static_cast<size_t>(y) * static_cast<size_t>(canvas.width()) * 3;
    // libpng reports errors by longjmp; nothing with a destructor lives
    // between here and the calls below.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw cannotWrite(path);
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width()),
                 static_cast<png_uint_32>(canvas.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) throw cannotWrite(path);
}

PngPicture readPng(std::string const& path) {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw cannotOpenForReading(path);
    unsigned char signature[8] = {};
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0)
        throw ToolError("file '" + path + "' is not a PNG");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw cannotRead(path);
    }
    PngPicture picture;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw ToolError("file '" + path + "' is not a valid PNG");
    }
    png_init_io(png, file.get());
    png_set_sig_bytes(png, sizeof signature);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    picture.width = static_cast<int>(png_get_image_width(png, info));
    picture.height = static_cast<int>(png_get_image_height(png, info));
    picture.rgb.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) *
                       3);
    rows.resize(static_cast<size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y)
        rows[static_cast<size_t>(y)] =
            picture.rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(picture.width) * 3;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return picture;
}

}  // namespace tools
