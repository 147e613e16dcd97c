#include "tests/services/images/picture_makers.h"

#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <QDir>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

struct Compressor {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr error{};
  unsigned char* out = nullptr;
  unsigned long outSize = 0;

  Compressor() {
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &outSize);
  }
  ~Compressor() {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
  }
  Bytes Result() const { return Bytes(out, out + outSize); }
};

}  // namespace

Bytes EncodeJpeg(int width, int height, const std::function<RgbPixel(int, int)>& pixel,
                 const JpegOptions& options) {
  Compressor c;
  auto& ci = c.cinfo;
  ci.image_width = static_cast<JDIMENSION>(width);
  ci.image_height = static_cast<JDIMENSION>(height);
  ci.input_components = options.grayscale ? 1 : 3;
  ci.in_color_space = options.grayscale ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&ci);
  jpeg_set_quality(&ci, options.quality, TRUE);
  if (options.fullChroma && !options.grayscale) {
    for (int i = 0; i < 3; ++i) ci.comp_info[i].h_samp_factor = ci.comp_info[i].v_samp_factor = 1;
  }
  if (options.progressive) jpeg_simple_progression(&ci);
  ci.restart_interval = static_cast<unsigned>(options.restartInterval);

  std::vector<jpeg_scan_info> script;
  if (options.manyScans > 0) {
    // The DC of every component first, then each AC coefficient alone, refined bit by bit.
    jpeg_scan_info dc{};
    dc.comps_in_scan = ci.num_components;
    for (int i = 0; i < ci.num_components; ++i) dc.component_index[i] = i;
    script.push_back(dc);
    for (int k = 1; k <= 63 && static_cast<int>(script.size()) < options.manyScans; ++k) {
      for (int comp = 0; comp < ci.num_components; ++comp) {
        jpeg_scan_info s{};
        s.comps_in_scan = 1;
        s.component_index[0] = comp;
        s.Ss = s.Se = k;
        s.Ah = 0;
        s.Al = 10;
        script.push_back(s);
        for (int al = 9; al >= 0; --al) {
          s.Ah = al + 1;
          s.Al = al;
          script.push_back(s);
        }
      }
    }
    // Coefficients the script leaves out stay zero; the decoder accepts that.
    ci.scan_info = script.data();
    ci.num_scans = static_cast<int>(script.size());
  }

  jpeg_start_compress(&ci, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * ci.input_components);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const RgbPixel p = pixel(x, y);
      if (options.grayscale) {
        row[static_cast<std::size_t>(x)] = p[1];
      } else {
        for (int k = 0; k < 3; ++k) row[static_cast<std::size_t>(x) * 3 + k] = p[k];
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&ci, &r, 1);
  }
  jpeg_finish_compress(&ci);
  return c.Result();
}

Bytes EncodeInkJpeg(int width, int height, const std::function<InkPixel(int, int)>& ink,
                    bool ycck, bool adobeMarker) {
  Compressor c;
  auto& ci = c.cinfo;
  ci.image_width = static_cast<JDIMENSION>(width);
  ci.image_height = static_cast<JDIMENSION>(height);
  ci.input_components = 4;
  ci.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&ci);
  jpeg_set_quality(&ci, 95, TRUE);
  jpeg_set_colorspace(&ci, ycck ? JCS_YCCK : JCS_CMYK);
  ci.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
  jpeg_start_compress(&ci, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const InkPixel p = ink(x, y);
      for (int k = 0; k < 4; ++k) row[static_cast<std::size_t>(x) * 4 + k] = p[k];
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&ci, &r, 1);
  }
  jpeg_finish_compress(&ci);
  return c.Result();
}

RgbPixel Quadrants(int x, int y, int width, int height) {
  const bool right = x >= width / 2;
  const bool bottom = y >= height / 2;
  if (!bottom) return right ? RgbPixel{0, 255, 0} : RgbPixel{255, 0, 0};
  return right ? RgbPixel{255, 255, 255} : RgbPixel{0, 0, 255};
}

long FindMarker(const Bytes& jpeg, unsigned char code) {
  // Walks the marker segments from the start of image.
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) return -1;
    const unsigned char m = jpeg[at + 1];
    if (m == code) return static_cast<long>(at);
    if (m == 0xD9 || m == 0xDA) return -1;  // no segments to walk past a scan
    at += 2 + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
  }
  return -1;
}

long ScanDataStart(const Bytes& jpeg) {
  std::size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) return -1;
    const std::size_t length = static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3];
    if (jpeg[at + 1] == 0xDA) return static_cast<long>(at + 2 + length);
    at += 2 + length;
  }
  return -1;
}

void PutU16(Bytes& b, std::size_t at, unsigned v) {
  b[at] = static_cast<unsigned char>(v & 0xFF);
  b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

Bytes MakeBmp(const BmpLayout& layout) {
  const std::size_t paletteBytes = layout.bpp <= 8 ? layout.palette.size() * 4 : 0;
  const std::size_t offset = 14 + 40 + paletteBytes;
  const std::size_t stride = (static_cast<std::size_t>(layout.width) * layout.bpp + 31) / 32 * 4;
  Bytes b(offset + stride * static_cast<std::size_t>(layout.height), 0);
  b[0] = 'B';
  b[1] = 'M';
  PutU32(b, 2, static_cast<std::uint32_t>(b.size()));
  PutU32(b, 10, static_cast<std::uint32_t>(offset));
  PutU32(b, 14, 40);
  PutU32(b, 18, static_cast<std::uint32_t>(layout.width));
  PutU32(b, 22, static_cast<std::uint32_t>(layout.topDown ? -layout.height : layout.height));
  PutU16(b, 26, 1);
  PutU16(b, 28, static_cast<unsigned>(layout.bpp));
  PutU32(b, 30, 0);
  PutU32(b, 34, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(layout.height)));
  PutU32(b, 46, layout.bpp <= 8 ? static_cast<std::uint32_t>(layout.palette.size()) : 0);
  for (std::size_t i = 0; i < layout.palette.size() && layout.bpp <= 8; ++i) {
    b[54 + 4 * i] = layout.palette[i][2];
    b[54 + 4 * i + 1] = layout.palette[i][1];
    b[54 + 4 * i + 2] = layout.palette[i][0];
  }
  for (int y = 0; y < layout.height; ++y) {
    const int fileRow = layout.topDown ? y : layout.height - 1 - y;
    unsigned char* row = b.data() + offset + stride * static_cast<std::size_t>(fileRow);
    for (int x = 0; x < layout.width; ++x) {
      const RgbPixel p = layout.pixel(x, y);
      switch (layout.bpp) {
        case 1: row[x / 8] |= static_cast<unsigned char>((p[0] & 1) << (7 - x % 8)); break;
        case 4: row[x / 2] |= static_cast<unsigned char>((p[0] & 15) << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = p[0]; break;
        case 16: {
          const unsigned v = (p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3);
          row[2 * x] = static_cast<unsigned char>(v & 0xFF);
          row[2 * x + 1] = static_cast<unsigned char>(v >> 8);
          break;
        }
        case 24:
        case 32: {
          const int n = layout.bpp / 8;
          row[n * x] = p[2];
          row[n * x + 1] = p[1];
          row[n * x + 2] = p[0];
          break;
        }
        default: throw std::logic_error("bpp");
      }
    }
  }
  return b;
}

RgbPixel PixelAt(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return {static_cast<unsigned char>(qRed(c)), static_cast<unsigned char>(qGreen(c)),
          static_cast<unsigned char>(qBlue(c))};
}

bool Near(const RgbPixel& a, const RgbPixel& b, int tolerance) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  return true;
}

std::string Show(const RgbPixel& p) {
  return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) + ")";
}

std::string SavePng(const QImage& image, const std::string& name, int zoom) {
  const std::filesystem::path dir = std::filesystem::path(TEST_OUTPUT_DIR) / "images";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / (name + ".png")).string();
  const QImage out = zoom == 1 ? image
                               : image.scaled(image.width() * zoom, image.height() * zoom,
                                              Qt::IgnoreAspectRatio, Qt::FastTransformation);
  out.save(QString::fromStdString(path), "PNG");
  return path;
}
