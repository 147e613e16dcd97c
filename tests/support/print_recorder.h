#pragma once
// Stands in for the printer in tests: a printer whose page keeps every call that reaches it as
// a DrawRecord, in order, instead of putting ink on paper.
//
// A RecordingOutput is a drawing output of a given printable width at 600 dots per inch: the
// printer services size and measure fonts on it exactly as on a printer of that width (the same
// sizing, the fonts' outline metrics), so a layout drawn on it gets the positions the paper would
// get, and DrawTextAt / MeasureText answer the same numbers.
//
// A PrintRecorder, while it lives, is what PrinterChoose asks instead of the print dialog: it
// confirms at once (or, with confirm false, cancels) and hands out a recording printer of that
// width, whose jobs and page go into the recorder's records. E.g.
//   PrintRecorder recorder(4800);
//   PrintCard();
// leaves kJobStart (the document name), kDrawStart, kFont, kFont (bold), kText "TITULO: " at
// (343, 485), ..., kDrawStop, kJobStop in recorder.records().
#include <cstdint>
#include <memory>
#include <vector>

#include "services/gui/gui.h"
#include "services/printing/printing_qt.h"

namespace testsupport {

struct DrawRecord {
  enum Kind { kJobStart, kJobStop, kDrawStart, kDrawStop, kFont, kText, kPicture };
  Kind kind = kText;
  std::int64_t x = 0, y = 0;  // kText, kPicture: the top-left corner
  Text text;                  // kText: the text; kJobStart: the document name
  // kText and kFont: the font in use, as sized for the output.
  Text fontFace;
  bool bold = false, italic = false;
  int fontPixelSize = 0;
  int lineHeight = 0;         // kText and kFont: the font's ascent + descent in pixels
  std::int64_t width = 0;     // kText: the measured width; kPicture: the picture's width
  std::int64_t height = 0;    // kPicture: the picture's height
  ImageHandle_t image = nullptr;  // kPicture: the handle drawn
};

using DrawRecords = std::vector<DrawRecord>;

class RecordingOutput : public DrawOutput {
 public:
  // jobOpen: the job this output is the page of (it then draws only while the job is open);
  // null for an output of its own.
  RecordingOutput(std::int64_t width, std::shared_ptr<DrawRecords> records,
                  const bool* jobOpen = nullptr);

  std::int64_t Width() const override { return width_; }
  int Resolution() const override { return 600; }
  QFontMetricsF Metrics(const QFont& font) const override;
  NativeHandle Begin() override;
  void End() override;
  void SelectFont(const QFont& font) override;
  void PutText(const PlacedText& text) override;
  void PutPicture(ImageHandle_t handle, const QImage& picture, std::int64_t x,
                  std::int64_t y) override;

  const DrawRecords& records() const { return *records_; }

 private:
  DrawRecord WithFont(DrawRecord record, const QFont& font) const;

  std::int64_t width_;
  std::shared_ptr<DrawRecords> records_;
  const bool* jobOpen_;
};

class PrintRecorder {
 public:
  explicit PrintRecorder(std::int64_t printableWidth, bool confirm = true);
  // Gives the choice back to the print dialog, after releasing a recording printer still current.
  ~PrintRecorder();
  PrintRecorder(const PrintRecorder&) = delete;
  PrintRecorder& operator=(const PrintRecorder&) = delete;

  const DrawRecords& records() const { return *records_; }
  void Clear() { records_->clear(); }

 private:
  std::shared_ptr<DrawRecords> records_ = std::make_shared<DrawRecords>();
};

}  // namespace testsupport
