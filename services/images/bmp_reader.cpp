// The BMP reader for pictures held in memory and on disk. It knows the core (12-byte) and the
// Windows info headers of 40, 52, 56, 108 and 124 bytes, uncompressed pixels of 1, 4, 8, 16, 24
// and 32 bits, and bit-field masks for 16 and 32 bits; run-length compressed and embedded
// JPEG/PNG data are refused. Every offset and count is checked against the block before use.
#include <QImage>
#include <bit>
#include <cstdint>
#include <cstddef>
#include <cstring>

#include "services/images/image_decoders.h"

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;

std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// One colour channel described by a bit mask: where it sits and how to widen it to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t maxValue = 0;

  explicit Channel(std::uint32_t m) : mask(m) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    maxValue = mask >> shift;  // gaps in an odd mask only make the value coarser
  }
  std::uint32_t Of(std::uint32_t pixel) const {
    if (maxValue == 0) return 0;
    const std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<std::uint32_t>((v * 255 + maxValue / 2) / maxValue);
  }
};

}  // namespace

QImage ReadBmp(const unsigned char* data, std::size_t size) {
  constexpr std::size_t kFileHeader = 14;
  if (data == nullptr || size < kFileHeader + 12 || data[0] != 'B' || data[1] != 'M') return {};
  const std::uint64_t dataOffset = U32(data + 10);
  const std::uint32_t headerSize = U32(data + 14);

  std::int64_t width = 0;
  std::int64_t height = 0;
  unsigned planes = 0;
  unsigned bpp = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colorsUsed = 0;
  std::size_t paletteEntrySize = 4;
  std::uint32_t masks[3] = {0, 0, 0};
  std::uint64_t paletteStart = kFileHeader + std::uint64_t{headerSize};

  if (headerSize == 12) {
    width = U16(data + 18);
    height = U16(data + 20);
    planes = U16(data + 22);
    bpp = U16(data + 24);
    paletteEntrySize = 3;
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
             headerSize == 124) {
    if (size < kFileHeader + headerSize) return {};
    width = static_cast<std::int32_t>(U32(data + 18));
    height = static_cast<std::int32_t>(U32(data + 22));
    planes = U16(data + 26);
    bpp = U16(data + 28);
    compression = U32(data + 30);
    colorsUsed = U32(data + 46);
    if (compression == kBiBitfields) {
      if (headerSize == 40) {
        // The three masks follow a plain info header, before the palette.
        if (size < kFileHeader + 40 + 12) return {};
        for (std::ptrdiff_t i = 0; i < 3; ++i) masks[i] = U32(data + kFileHeader + 40 + 4 * i);
        paletteStart += 12;
      } else {
        for (std::ptrdiff_t i = 0; i < 3; ++i) masks[i] = U32(data + kFileHeader + 40 + 4 * i);
      }
    }
  } else {
    return {};
  }

  if (planes != 1) return {};
  if (compression == kBiBitfields) {
    if (bpp != 16 && bpp != 32) return {};
  } else if (compression != kBiRgb) {
    return {};
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return {};

  const bool topDown = height < 0;
  if (topDown) height = -height;  // the 64-bit height cannot overflow
  if (!PictureSizeAllowed(width, height, 4)) return {};

  // The palette, for 8 bits or fewer, must lie wholly between the headers and the pixels.
  std::uint32_t paletteCount = 0;
  if (bpp <= 8) {
    const std::uint32_t most = 1u << bpp;
    paletteCount = colorsUsed == 0 ? most : colorsUsed;
    if (paletteCount > most) return {};
    if (paletteStart + std::uint64_t{paletteCount} * paletteEntrySize > dataOffset) return {};
  }
  if (dataOffset < paletteStart || dataOffset > size) return {};

  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bpp + 31) / 32 * 4;
  const std::uint64_t lastRowBytes = (static_cast<std::uint64_t>(width) * bpp + 7) / 8;
  // The last row may lack its padding; every other byte of the pixels must be there.
  if (dataOffset + stride * static_cast<std::uint64_t>(height - 1) + lastRowBytes > size) return {};

  QRgb palette[256];
  for (std::uint32_t i = 0; i < 256; ++i) palette[i] = qRgb(0, 0, 0);  // indexes past the end: black
  for (std::uint32_t i = 0; i < paletteCount; ++i) {
    const unsigned char* e = data + paletteStart + std::uint64_t{i} * paletteEntrySize;
    palette[i] = qRgb(e[2], e[1], e[0]);
  }

  if (compression == kBiRgb && bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  const Channel red(masks[0]);
  const Channel green(masks[1]);
  const Channel blue(masks[2]);

  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  if (image.isNull()) return {};
  const int w = static_cast<int>(width);
  for (int y = 0; y < image.height(); ++y) {
    const std::uint64_t fileRow = topDown ? static_cast<std::uint64_t>(y)
                                          : static_cast<std::uint64_t>(height - 1 - y);
    const unsigned char* src = data + dataOffset + fileRow * stride;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    switch (bpp) {
      case 1:
      case 4:
      case 8: {
        const unsigned perByte = 8 / bpp;
        const unsigned valueMask = (1u << bpp) - 1;
        for (int x = 0; x < w; ++x) {
          const unsigned byte = src[x / perByte];
          const unsigned shift = 8 - bpp * (x % perByte + 1);
          out[x] = palette[(byte >> shift) & valueMask];
        }
        break;
      }
      case 16:
        for (std::ptrdiff_t x = 0; x < w; ++x) {
          const std::uint32_t p = U16(src + 2 * x);
          out[x] = qRgb(static_cast<int>(red.Of(p)), static_cast<int>(green.Of(p)),
                        static_cast<int>(blue.Of(p)));
        }
        break;
      case 24:
        for (std::ptrdiff_t x = 0; x < w; ++x)
          out[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
      case 32:
        if (compression == kBiRgb) {
          for (std::ptrdiff_t x = 0; x < w; ++x)
            out[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
        } else {
          for (std::ptrdiff_t x = 0; x < w; ++x) {
            const std::uint32_t p = U32(src + 4 * x);
            out[x] = qRgb(static_cast<int>(red.Of(p)), static_cast<int>(green.Of(p)),
                          static_cast<int>(blue.Of(p)));
          }
        }
        break;
    }
  }
  return image;
}
