// make-sample-covers <file> <width> <height> <style> [<file> <width> <height> <style> ...]
//
// Draws the sample site's cover pictures and writes them as baseline JPEG files through libjpeg's
// compressor. Each picture is a made-up poster: a sky that fades from one colour to another, a
// sun or moon, a row of hills and a frame, in a palette chosen by <style> (0 to 7), so that every
// film's cover looks different and a wrong cover on the card is easy to see. tools/
// make_sample_site.py runs this tool with its list of covers; the build does not run it.
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

struct Colour {
  double r, g, b;
};

struct Palette {
  Colour skyTop, skyBottom, sun, hills, frame;
};

const Palette kPalettes[] = {
    {{20, 24, 60}, {230, 90, 40}, {255, 220, 120}, {30, 20, 30}, {200, 180, 120}},
    {{10, 60, 90}, {250, 190, 80}, {255, 250, 220}, {60, 40, 20}, {240, 240, 230}},
    {{90, 140, 200}, {230, 230, 200}, {255, 200, 40}, {120, 90, 40}, {80, 30, 20}},
    {{40, 10, 50}, {200, 60, 120}, {250, 250, 250}, {20, 10, 30}, {230, 60, 90}},
    {{200, 220, 240}, {40, 90, 140}, {250, 250, 200}, {20, 50, 40}, {30, 30, 60}},
    {{5, 5, 10}, {30, 120, 110}, {220, 255, 240}, {10, 30, 30}, {120, 220, 200}},
    {{240, 200, 150}, {200, 110, 60}, {255, 250, 230}, {90, 60, 40}, {60, 40, 30}},
    {{60, 70, 80}, {180, 190, 200}, {240, 240, 240}, {50, 55, 60}, {170, 30, 30}},
};

unsigned char Clamp(double v) { return static_cast<unsigned char>(std::clamp(v, 0.0, 255.0)); }

Colour Mix(const Colour& a, const Colour& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The poster's colour at pixel x, y of a width x height picture.
Colour PosterAt(const Palette& p, int x, int y, int width, int height) {
  const double u = (x + 0.5) / width;
  const double v = (y + 0.5) / height;
  const double border = 0.035;
  if (u < border || u > 1 - border || v < border * width / height ||
      v > 1 - border * width / height) {
    return p.frame;
  }
  const double hill = 0.72 + 0.06 * std::sin(u * 9.0) + 0.03 * std::sin(u * 23.0 + 1.0);
  if (v > hill) return Mix(p.hills, {0, 0, 0}, std::min(1.0, (v - hill) * 2.0));
  const double dx = (u - 0.62) * width;
  const double dy = (v - 0.38) * height;
  const double r = 0.17 * width;
  const double d = std::sqrt(dx * dx + dy * dy);
  if (d < r) return p.sun;
  Colour sky = Mix(p.skyTop, p.skyBottom, v / hill);
  // A soft glow round the sun.
  if (d < 2 * r) sky = Mix(p.sun, sky, (d - r) / r * 0.6 + 0.4);
  return sky;
}

bool WriteCover(const std::string& file, int width, int height, int style) {
  const Palette& palette = kPalettes[static_cast<std::size_t>(style) % std::size(kPalettes)];
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return false;
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, out);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 85, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Colour c = PosterAt(palette, x, y, width, height);
      const auto at = static_cast<std::size_t>(x) * 3;
      row[at] = Clamp(c.r);
      row[at + 1] = Clamp(c.g);
      row[at + 2] = Clamp(c.b);
    }
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(out) == 0;
}

bool ReadNumber(const char* text, long low, long high, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return end != text && *end == 0 && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || (argc - 1) % 4 != 0) {
    std::cerr << "usage: make-sample-covers <file> <width> <height> <style> [...]\n";
    return 2;
  }
  for (int i = 1; i + 3 < argc; i += 4) {
    long width = 0, height = 0, style = 0;
    if (!ReadNumber(argv[i + 1], 16, 4000, width) || !ReadNumber(argv[i + 2], 16, 4000, height) ||
        !ReadNumber(argv[i + 3], 0, 1000, style)) {
      std::cerr << "make-sample-covers: bad size or style for " << argv[i] << "\n";
      return 2;
    }
    if (!WriteCover(argv[i], static_cast<int>(width), static_cast<int>(height),
                    static_cast<int>(style))) {
      std::cerr << "make-sample-covers: cannot write " << argv[i] << "\n";
      return 1;
    }
  }
  return 0;
}
