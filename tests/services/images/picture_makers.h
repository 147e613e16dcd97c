#pragma once
// Picture files for the image tests, made in the test itself: JPEGs through libjpeg's compressor
// (baseline, progressive, grayscale, restart markers, CMYK, YCCK, odd scan scripts) and BMPs by
// hand, with a few byte-level helpers for damaging them.
#include <QImage>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;
using RgbPixel = std::array<unsigned char, 3>;
using InkPixel = std::array<unsigned char, 4>;  // as stored in the file: C, M, Y, K

struct JpegOptions {
  int quality = 95;
  bool progressive = false;
  bool grayscale = false;   // one component, from the green channel of the pattern
  int restartInterval = 0;  // in MCUs; 0 for none
  bool fullChroma = false;  // 1 x 1 sampling for every component instead of 4:2:0
  int manyScans = 0;        // > 0: a progressive script refining one coefficient per scan
};

Bytes EncodeJpeg(int width, int height, const std::function<RgbPixel(int, int)>& pixel,
                 const JpegOptions& options = {});
// Four-component JPEG of the given stored inks; `ycck` stores them as YCCK, `adobeMarker`
// writes the Adobe marker that says the inks are stored inverted.
Bytes EncodeInkJpeg(int width, int height, const std::function<InkPixel(int, int)>& ink,
                    bool ycck, bool adobeMarker);

// Four quadrants: red, green / blue, white.
RgbPixel Quadrants(int x, int y, int width, int height);

// The offset of the first marker FF <code> after the start of image; -1 when there is none.
long FindMarker(const Bytes& jpeg, unsigned char code);
// The offset of the first byte of entropy-coded data (just after the first SOS segment).
long ScanDataStart(const Bytes& jpeg);

// An uncompressed BMP: `bpp` 1, 4, 8, 16 (5-5-5), 24 or 32, rows bottom-up (topDown: negative
// height), palette of `paletteSize` entries for 8 bits or fewer, pixel(x, y) giving the colour
// or (for palette pictures) the index in its first byte.
struct BmpLayout {
  int width = 4;
  int height = 3;
  int bpp = 24;
  bool topDown = false;
  std::vector<RgbPixel> palette;
  std::function<RgbPixel(int, int)> pixel = [](int, int) { return RgbPixel{0, 0, 0}; };
};
Bytes MakeBmp(const BmpLayout& layout);

void PutU16(Bytes& b, std::size_t at, unsigned v);
void PutU32(Bytes& b, std::size_t at, std::uint32_t v);

// The pixel at x, y of a decoded image, as RGB.
RgbPixel PixelAt(const QImage& image, int x, int y);
// True when every channel differs by at most `tolerance`.
bool Near(const RgbPixel& a, const RgbPixel& b, int tolerance);
std::string Show(const RgbPixel& p);

// Writes the image to TEST_OUTPUT_DIR/images/<name>.png, scaled up `zoom` times without
// smoothing; returns the path.
std::string SavePng(const QImage& image, const std::string& name, int zoom = 1);
