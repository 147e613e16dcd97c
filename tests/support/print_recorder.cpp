#include "tests/support/print_recorder.h"

#include <cmath>
#include <utility>

#include "services/text/qt_text.h"

namespace testsupport {

namespace {

DrawRecord Of(DrawRecord::Kind kind) {
  DrawRecord record;
  record.kind = kind;
  return record;
}

class RecordingPrinter final : public PrintDevice {
 public:
  RecordingPrinter(std::int64_t width, std::shared_ptr<DrawRecords> records)
      : records_(records), output_(width, std::move(records), &jobOpen_) {}

  bool StartJob(const Text& documentName) override {
    DrawRecord record = Of(DrawRecord::kJobStart);
    record.text = documentName;
    records_->push_back(std::move(record));
    jobOpen_ = true;
    return true;
  }
  void StopJob() override {
    if (!jobOpen_) return;
    jobOpen_ = false;
    records_->push_back(Of(DrawRecord::kJobStop));
  }
  bool JobOpen() const override { return jobOpen_; }
  DrawOutput& Output() override { return output_; }

 private:
  std::shared_ptr<DrawRecords> records_;
  bool jobOpen_ = false;
  RecordingOutput output_;
};

}  // namespace

RecordingOutput::RecordingOutput(std::int64_t width, std::shared_ptr<DrawRecords> records,
                                 const bool* jobOpen)
    : width_(width), records_(std::move(records)), jobOpen_(jobOpen) {}

// Outline metrics are the same on every device for a font sized in pixels without hinting.
QFontMetricsF RecordingOutput::Metrics(const QFont& font) const { return QFontMetricsF(font); }

NativeHandle RecordingOutput::Begin() {
  if (jobOpen_ != nullptr && !*jobOpen_) return nullptr;
  records_->push_back(Of(DrawRecord::kDrawStart));
  return this;
}

void RecordingOutput::End() { records_->push_back(Of(DrawRecord::kDrawStop)); }

DrawRecord RecordingOutput::WithFont(DrawRecord record, const QFont& font) const {
  record.fontFace = TextFromQString(font.family());
  record.bold = font.bold();
  record.italic = font.italic();
  record.fontPixelSize = font.pixelSize();
  const QFontMetricsF metrics = Metrics(font);
  record.lineHeight = static_cast<int>(std::ceil(metrics.ascent() + metrics.descent()));
  return record;
}

void RecordingOutput::SelectFont(const QFont& font) {
  records_->push_back(WithFont(Of(DrawRecord::kFont), font));
}

void RecordingOutput::PutText(const PlacedText& t) {
  DrawRecord record = WithFont(Of(DrawRecord::kText), t.font);
  record.x = t.x;
  record.y = t.y;
  record.text = t.text;
  record.width = t.width;
  records_->push_back(std::move(record));
}

void RecordingOutput::PutPicture(ImageHandle_t handle, const QImage& picture, std::int64_t x,
                                 std::int64_t y) {
  DrawRecord record = Of(DrawRecord::kPicture);
  record.x = x;
  record.y = y;
  record.width = picture.width();
  record.height = picture.height();
  record.image = handle;
  records_->push_back(std::move(record));
}

PrintRecorder::PrintRecorder(std::int64_t printableWidth, bool confirm) {
  PrinterSetChooser([records = records_, printableWidth, confirm]() -> std::unique_ptr<PrintDevice> {
    if (!confirm) return nullptr;
    return std::make_unique<RecordingPrinter>(printableWidth, records);
  });
}

PrintRecorder::~PrintRecorder() {
  PrintingShutdown();
  PrinterSetChooser({});
}

}  // namespace testsupport
