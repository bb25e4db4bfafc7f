// An 8-bit RGB picture for the PNG views of the tools: drawing of lines,
// rectangles, circles and text in a built-in 5 x 7 pixel font, and PNG
// writing and reading through libpng. Canvas pixels are 0-based, (0, 0) at the
// top left, row-major; images drawn into it are flipped so that FITS y grows
// upward as in an image viewer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

class Canvas {
  public:
    Canvas(int width, int height, Rgb background);

    int width() const { return width_; }
    int height() const { return height_; }
    std::vector<uint8_t> const& bytes() const { return rgb_; }
    Rgb at(int x, int y) const;

    // Pixels outside the canvas are ignored by every drawing call.
    void set(int x, int y, Rgb c);
    void fillRect(int x0, int y0, int x1, int y1, Rgb c);  // inclusive corners
    void rect(int x0, int y0, int x1, int y1, Rgb c);      // one-pixel outline
    void line(int x0, int y0, int x1, int y1, Rgb c);      // Bresenham
    // Outline of a circle of radius r (pixels) around (cx, cy), thickness
    // pixels wide, drawn as the pixels whose distance to the centre lies within
    // r +- thickness / 2.
    void circle(double cx, double cy, double r, double thickness, Rgb c);
    // Text from the top-left corner (x, y) in the 5 x 7 font scaled by scale;
    // letters are shown in upper case, characters without a glyph as blanks.
    void text(int x, int y, std::string const& s, Rgb c, int scale = 1);

  private:
    int width_, height_;
    std::vector<uint8_t> rgb_;
};

// Width and height in pixels of s drawn with Canvas::text at scale.
int textWidth(std::string const& s, int scale = 1);
int textHeight(int scale = 1);

// Writes the canvas as an 8-bit RGB PNG. Throws ToolError naming the file.
void writePng(std::string const& path, Canvas const& canvas);

// A decoded PNG, converted to 8-bit RGB.
struct PngPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // row-major, 3 bytes per pixel
};
// Reads and decodes a PNG. Throws ToolError naming the file when it cannot be
// opened or is not a valid PNG.
PngPicture readPng(std::string const& path);

}  // namespace tools
