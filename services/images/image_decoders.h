#pragma once
// What the image table shares with its readers: the size limits every picture must meet, the
// BMP reader, and the registry of compressed-picture decoders (only the JPEG decoder exists).
//
// A decoder is used in two steps that always follow each other directly: probe (accept or
// refuse the data; on acceptance it is prepared and knows the picture's width and height), then
// decode (write every row into a bitmap the caller made of that size) or abandon (the caller
// could not make the bitmap). Only one picture is ever prepared at a time.
//
// Example: a 1200 x 1700 JPEG is probed, width() answers 1200, the table makes a 24-bit bitmap of
// 1200 x 1700 (rows of 3600 bytes) and decode() fills it row by row from the top.
#include <QImage>
#include <cstddef>
#include <cstdint>

class QFile;

// Width and height live in 16-bit signed fields of the image record.
inline constexpr int kMaxPictureSide = 32767;
// No picture's pixels may take more than this; bigger ones are refused before any allocation.
inline constexpr std::int64_t kMaxPictureBytes = std::int64_t{64} << 20;
// The most a picture file on disk may hold to be read at all.
inline constexpr std::int64_t kMaxPictureFileBytes = std::int64_t{128} << 20;

// The row pitch of a bitmap with the given bytes per pixel: rows padded to 4 bytes.
inline std::int64_t PictureRowPitch(std::int64_t width, int bytesPerPixel) {
  return (width * bytesPerPixel + 3) / 4 * 4;
}

// True when a picture of this size fits the record's fields and the pixel limit.
inline bool PictureSizeAllowed(std::int64_t width, std::int64_t height, int bytesPerPixel) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
  return PictureRowPitch(width, bytesPerPixel) * height <= kMaxPictureBytes;
}

// A picture offered to the decoders: a memory block of known length, or an open file.
struct PictureSource {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  QFile* file = nullptr;  // when set, data and size are unused
};

struct ImageDecoder {
  const char* name;
  bool (*probe)(const PictureSource& source);
  int (*width)();
  int (*height)();
  // Writes all rows into the bitmap whose first row is given, rows `pitch` bytes apart, 3 bytes
  // per pixel in red, green, blue order.
  void (*decode)(unsigned char* firstRow, std::ptrdiff_t pitch);
  void (*abandon)();
};

// Adds a decoder at the end of the registry; a decoder already there is not added again.
void RegisterImageDecoder(const ImageDecoder* decoder);
const ImageDecoder* JpegImageDecoder();

// Reads a BMP file image (file header, info header, palette, pixels) of `size` bytes into a
// 32-bit picture; a null image when the data is not a BMP this reader supports or is damaged.
// Never reads outside [data, data + size).
QImage ReadBmp(const unsigned char* data, std::size_t size);
