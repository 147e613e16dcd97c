// The image table: numbered records holding a QImage each, made from BMP data (read here) or by
// the registered decoders, rescaled with Qt's smooth transformation. Qt's own image plugins are
// never asked to read a picture.
#include "services/images/images.h"

#include <QFile>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "services/images/image_decoders.h"
#include "services/text/qt_text.h"

namespace {

// Numbers above this are refused rather than growing the table without bound.
constexpr int kMostImageNumber = 1 << 20;
constexpr std::size_t kMemoryLimit = 10'000'000;
constexpr int kTableStep = 16;

struct ImageRecord {
  std::unique_ptr<QImage> bitmap;
  std::int16_t width = 0;
  std::int16_t height = 0;
  std::uint8_t depth = 0;
  std::uint8_t flags = 0;
};

std::vector<ImageRecord>& Table() {
  static std::vector<ImageRecord> table(kTableStep);
  return table;
}

std::vector<const ImageDecoder*>& Decoders() {
  static std::vector<const ImageDecoder*> decoders;
  return decoders;
}

ImageRecord* Existing(int number) {
  auto& table = Table();
  if (number < 0 || static_cast<std::size_t>(number) >= table.size()) return nullptr;
  ImageRecord& record = table[static_cast<std::size_t>(number)];
  return record.bitmap ? &record : nullptr;
}

// The slot for a new image under the number, emptied; null for a number that cannot be used.
ImageRecord* TakeSlot(int number) {
  if (number < 0 || number > kMostImageNumber) return nullptr;
  auto& table = Table();
  if (static_cast<std::size_t>(number) >= table.size())
    table.resize(static_cast<std::size_t>(number) + kTableStep);
  ImageRecord& record = table[static_cast<std::size_t>(number)];
  record = ImageRecord{};
  return &record;
}

ImageHandle_t Store(ImageRecord* record, QImage image) {
  if (record == nullptr || image.isNull()) return nullptr;
  record->width = static_cast<std::int16_t>(image.width());
  record->height = static_cast<std::int16_t>(image.height());
  record->depth = static_cast<std::uint8_t>(image.depth());
  record->flags = 0;
  record->bitmap = std::make_unique<QImage>(std::move(image));
  return record->bitmap.get();
}

// Offers the picture to the decoders in order and decodes with the first that accepts it.
QImage DecodeWithRegistry(PictureSource source) {
  for (const ImageDecoder* decoder : Decoders()) {
    if (!decoder->probe(source)) continue;
    const int w = decoder->width();
    const int h = decoder->height();
    if (!PictureSizeAllowed(w, h, 3)) {
      decoder->abandon();
      return {};
    }
    QImage image(w, h, QImage::Format_RGB888);
    if (image.isNull()) {
      decoder->abandon();
      return {};
    }
    decoder->decode(image.bits(), image.bytesPerLine());
    return image;
  }
  return {};
}

}  // namespace

void RegisterImageDecoder(const ImageDecoder* decoder) {
  auto& decoders = Decoders();
  if (decoder != nullptr && std::find(decoders.begin(), decoders.end(), decoder) == decoders.end())
    decoders.push_back(decoder);
}

void RegisterJpegDecoder() { RegisterImageDecoder(JpegImageDecoder()); }

ImageHandle_t ImageFromMemory(int number, const void* data, std::size_t size) {
  ImageRecord* record = TakeSlot(number);
  if (record == nullptr || data == nullptr || size == 0) return nullptr;
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return Store(record, ReadBmp(bytes, size));
  PictureSource source;
  source.data = bytes;
  source.size = std::min(size, kMemoryLimit);
  return Store(record, DecodeWithRegistry(source));
}

ImageHandle_t ImageLoad(int number, const Text& fileName) {
  ImageRecord* record = TakeSlot(number);
  if (record == nullptr || fileName.empty()) return nullptr;
  QFile file(TextToQString(fileName));
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  char head[2] = {0, 0};
  if (file.read(head, 2) != 2) return nullptr;
  if (head[0] == 'B' && head[1] == 'M') {
    const qint64 size = file.size();
    if (size > kMaxPictureFileBytes || !file.seek(0)) return nullptr;
    const QByteArray bytes = file.read(size);
    return Store(record, ReadBmp(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size())));
  }
  PictureSource source;
  source.file = &file;
  return Store(record, DecodeWithRegistry(source));
}

void ImageResize(int number, int width, int height) {
  ImageRecord* record = Existing(number);
  if (record == nullptr) return;
  if (width == record->width && height == record->height) return;
  const int bytesPerPixel = std::max(1, record->depth / 8);
  if (!PictureSizeAllowed(width, height, bytesPerPixel)) return;
  const QImage& old = *record->bitmap;
  // Qt's fast smooth scaler works on 32-bit pixels; handed 24-bit ones it takes a path about
  // fifty times slower, so a 24-bit picture is widened first and narrowed again after.
  QImage scaled = old.format() == QImage::Format_RGB32
                      ? old.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                      : old.convertToFormat(QImage::Format_RGB32)
                            .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (scaled.format() != old.format()) scaled = scaled.convertToFormat(old.format());
  if (scaled.isNull() || scaled.width() != width || scaled.height() != height) return;
  Store(record, std::move(scaled));
}

int ImagePixelWidth(int number) {
  const ImageRecord* record = Existing(number);
  return record ? record->width : 0;
}

int ImagePixelHeight(int number) {
  const ImageRecord* record = Existing(number);
  return record ? record->height : 0;
}

ImageHandle_t ImageHandle(int number) {
  const ImageRecord* record = Existing(number);
  return record ? record->bitmap.get() : nullptr;
}

bool ImageExists(int number) { return Existing(number) != nullptr; }

void ImageFree(int number) {
  if (ImageRecord* record = Existing(number)) *record = ImageRecord{};
}

void ImageFreeAll() {
  for (ImageRecord& record : Table()) record = ImageRecord{};
}
