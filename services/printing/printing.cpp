// The printer and drawing services on Qt Print Support: a QPrinter chosen with QPrintDialog, one
// QPainter per job (its begin starts the job and the first page, its end closes both), and a
// recording output for tests that measures like the printer but keeps a list of records.
#include <QApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "services/gui/gui_qt.h"
#include "services/printing/printing.h"
#include "services/printing/printing_recording.h"
#include "services/text/qt_text.h"

struct DrawOutput {
  enum class Kind { kPrinter, kRecording };
  Kind kind = Kind::kPrinter;
  QPrinter* printer = nullptr;   // printer output: the current printer
  QPainter* painter = nullptr;   // printer output: the open job's painter, null without a job
  std::int64_t width = 0;        // recording output: its printable width
  int resolution = 600;          // recording output: its dots per inch
  std::function<void()> release; // run by DrawStop; the printer's does nothing
};

namespace {

// The character height of the printing default font as a share of the printable width.
constexpr double kDefaultFontShareOfWidth = 1.0 / 56.0;
constexpr int kRecordingResolution = 600;

struct CurrentPrinter {
  std::unique_ptr<QPrinter> printer;  // null for a recording printer
  std::unique_ptr<QPainter> job;      // the open job, if any
  bool recordingJobOpen = false;
  DrawOutput output;
};

struct RecorderMode {
  bool on = false;
  std::int64_t width = 0;
  bool confirm = true;
};

std::unique_ptr<CurrentPrinter> current;
RecorderMode recorderMode;
std::unique_ptr<DrawOutput> recordingTarget;
std::vector<DrawRecord> records;

// The single drawing state.
DrawOutput* drawing = nullptr;
QFont drawFont;
bool postRoutineAdded = false;

void EnsurePostRoutine() {
  if (postRoutineAdded) return;
  postRoutineAdded = true;
  qAddPostRoutine(PrintingShutdown);
}

bool Recording(const DrawOutput* output) {
  return output != nullptr && output->kind == DrawOutput::Kind::kRecording;
}

std::int64_t OutputWidth(const DrawOutput& output) {
  if (Recording(&output)) return output.width;
  return output.printer != nullptr ? output.printer->width() : 0;
}

int OutputResolution(const DrawOutput& output) {
  if (Recording(&output)) return output.resolution;
  return output.printer != nullptr ? output.printer->resolution() : kRecordingResolution;
}

double ScreenDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
}

// The font as it is drawn on the output: its size in the output's own pixels. A font made with
// size 0 has no size of its own (Qt leaves SizeResolved unset) and gets the printing default.
QFont SizedForOutput(const QFont& source, const DrawOutput& output) {
  QFont font(source);
  const bool sized = (source.resolveMask() & QFont::SizeResolved) != 0 &&
                     (source.pointSizeF() > 0 || source.pixelSize() > 0);
  double pixels;
  if (!sized)
    pixels = static_cast<double>(OutputWidth(output)) * kDefaultFontShareOfWidth;
  else if (source.pointSizeF() > 0)
    pixels = source.pointSizeF() * OutputResolution(output) / 72.0;
  else  // a height in screen pixels: the same height in points on the paper
    pixels = source.pixelSize() * OutputResolution(output) / ScreenDpi();
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  // Outline metrics without hinting: the same widths on every output of the same width.
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(false);
  return font;
}

QFontMetricsF MetricsOf(const QFont& font, const DrawOutput& output) {
  if (!Recording(&output) && output.printer != nullptr) return QFontMetricsF(font, output.printer);
  return QFontMetricsF(font);
}

// Control characters (a stray CR or LF of a web text) are drawn and measured as spaces, so a
// text always stays on its one line.
QString PrintableText(const Text& text) {
  QString s = TextToQString(text);
  for (QChar& c : s)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
  return s;
}

std::int64_t WidthOf(const QString& s) {
  return static_cast<std::int64_t>(std::lround(MetricsOf(drawFont, *drawing).horizontalAdvance(s)));
}

DrawRecord RecordOf(DrawRecord::Kind kind) {
  DrawRecord record;
  record.kind = kind;
  return record;
}

void Record(DrawRecord record) {
  if (record.kind == DrawRecord::kText || record.kind == DrawRecord::kFont) {
    record.fontFace = TextFromQString(drawFont.family());
    record.bold = drawFont.bold();
    record.italic = drawFont.italic();
    record.fontPixelSize = drawFont.pixelSize();
    const QFontMetricsF metrics = MetricsOf(drawFont, *drawing);
    record.lineHeight = static_cast<int>(std::ceil(metrics.ascent() + metrics.descent()));
  }
  records.push_back(std::move(record));
}

void SelectFont(const QFont& source) {
  drawFont = SizedForOutput(source, *drawing);
  if (Recording(drawing)) Record(RecordOf(DrawRecord::kFont));
}

void ReleaseCurrentPrinter() {
  if (!current) return;
  if (drawing == &current->output) DrawStop();
  if (current->job) current->job->end();
  current.reset();
}

}  // namespace

bool PrinterChoose() {
  ReleaseCurrentPrinter();
  if (recorderMode.on) {
    if (!recorderMode.confirm) return false;
    current = std::make_unique<CurrentPrinter>();
    current->output.kind = DrawOutput::Kind::kRecording;
    current->output.width = recorderMode.width;
    current->output.resolution = kRecordingResolution;
    current->output.release = [] {};
    return true;
  }
  if (QApplication::instance() == nullptr) return false;
  EnsurePostRoutine();
  // A fresh printer each time: the dialog starts from the system's default printer.
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setCopyCount(1);
  QPrintDialog dialog(printer.get(), QApplication::activeWindow());
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  if (dialog.exec() != QDialog::Accepted) return false;
  current = std::make_unique<CurrentPrinter>();
  current->printer = std::move(printer);
  current->output.kind = DrawOutput::Kind::kPrinter;
  current->output.printer = current->printer.get();
  current->output.release = [] {};  // the page stays open for PrintStop
  return true;
}

bool PrintStart(const Text& documentName) {
  if (!current) return false;
  if (current->job || current->recordingJobOpen) PrintStop();
  if (!current->printer) {
    current->recordingJobOpen = true;
    DrawRecord record = RecordOf(DrawRecord::kJobStart);
    record.text = documentName;
    records.push_back(std::move(record));
    return true;
  }
  current->printer->setDocName(TextToQString(documentName));
  auto job = std::make_unique<QPainter>();
  if (!job->begin(current->printer.get())) return false;
  current->job = std::move(job);
  current->output.painter = current->job.get();
  return true;
}

void PrintStop() {
  if (!current) return;
  if (drawing == &current->output) DrawStop();
  if (current->recordingJobOpen) {
    current->recordingJobOpen = false;
    records.push_back(RecordOf(DrawRecord::kJobStop));
  }
  if (current->job) {
    current->job->end();
    current->job.reset();
    current->output.painter = nullptr;
  }
}

std::int64_t PrinterPrintableWidth() {
  if (!current) return 0;
  return OutputWidth(current->output);
}

DrawOutput* PrinterTarget() { return current ? &current->output : nullptr; }

NativeHandle DrawStart(DrawOutput* output) {
  if (drawing != nullptr) DrawStop();
  if (output == nullptr) return nullptr;
  if (Recording(output)) {
    // A recording printer draws only inside its open job.
    if (current && output == &current->output && !current->recordingJobOpen) return nullptr;
    drawing = output;
    records.push_back(RecordOf(DrawRecord::kDrawStart));
    drawFont = SizedForOutput(QApplication::font(), *drawing);
    return output;
  }
  QPainter* painter = output->painter;
  if (painter == nullptr || !painter->isActive()) return nullptr;
  painter->save();  // the pen, brush and font that DrawStop puts back
  painter->setPen(QPen(Qt::black, 0));
  painter->setBrush(Qt::black);
  drawing = output;
  drawFont = SizedForOutput(QApplication::font(), *drawing);
  return painter;
}

void DrawStop() {
  if (drawing == nullptr) return;
  DrawOutput* output = drawing;
  if (Recording(output)) records.push_back(RecordOf(DrawRecord::kDrawStop));
  else if (output->painter != nullptr && output->painter->isActive()) output->painter->restore();
  drawing = nullptr;
  if (output->release) output->release();
}

void DrawFont(FontHandle font) {
  if (drawing == nullptr) return;
  if (font == kDrawSystemFont) {
    SelectFont(QApplication::font());
    return;
  }
  const QFont* qfont = GuiFontOf(font);
  if (qfont == nullptr) return;
  SelectFont(*qfont);
}

std::int64_t MeasureText(const Text& text) {
  if (drawing == nullptr || text.empty()) return 0;
  return WidthOf(PrintableText(text));
}

std::int64_t DrawTextAt(std::int64_t x, std::int64_t y, const Text& text) {
  if (drawing == nullptr) return 0;
  if (text.empty()) return x;
  const QString s = PrintableText(text);
  const std::int64_t width = WidthOf(s);
  if (Recording(drawing)) {
    DrawRecord record = RecordOf(DrawRecord::kText);
    record.x = x;
    record.y = y;
    record.text = text;
    record.width = width;
    Record(std::move(record));
    return x + width;
  }
  QPainter* painter = drawing->painter;
  const QPaintDevice* device = painter->device();
  // Text wholly outside the page is lost anyway; it is not sent to the printer.
  if (device != nullptr && x < device->width() && y < device->height() && x + width > 0) {
    painter->setFont(drawFont);
    painter->setPen(QPen(Qt::black, 0));
    const double ascent = MetricsOf(drawFont, *drawing).ascent();
    painter->drawText(QPointF(static_cast<double>(x), static_cast<double>(y) + ascent), s);
  }
  return x + width;
}

void DrawPicture(ImageHandle_t image, std::int64_t x, std::int64_t y) {
  if (drawing == nullptr) return;
  const QImage* picture = GuiImageOf(image);
  if (picture == nullptr || picture->isNull()) return;
  if (Recording(drawing)) {
    DrawRecord record = RecordOf(DrawRecord::kPicture);
    record.x = x;
    record.y = y;
    record.width = picture->width();
    record.height = picture->height();
    record.image = image;
    records.push_back(std::move(record));
    return;
  }
  // A 24-bit copy at its own size: one picture pixel to one device pixel.
  const QImage copy = picture->convertToFormat(QImage::Format_RGB888);
  drawing->painter->drawImage(QPoint(static_cast<int>(x), static_cast<int>(y)), copy);
}

void PrintingShutdown() {
  ReleaseCurrentPrinter();
  if (drawing != nullptr) DrawStop();
}

// --- The recording output, for tests ---------------------------------------------------------

DrawOutput* RecordingTarget(std::int64_t printableWidth) {
  if (drawing == recordingTarget.get() && drawing != nullptr) DrawStop();
  recordingTarget = std::make_unique<DrawOutput>();
  recordingTarget->kind = DrawOutput::Kind::kRecording;
  recordingTarget->width = printableWidth;
  recordingTarget->resolution = kRecordingResolution;
  recordingTarget->release = [] {};
  return recordingTarget.get();
}

void PrinterUseRecorder(std::int64_t printableWidth, bool confirm) {
  recorderMode = {.on = true, .width = printableWidth, .confirm = confirm};
}

void PrinterUseDialog() { recorderMode = {}; }

const std::vector<DrawRecord>& DrawRecords() { return records; }

void DrawRecordsClear() { records.clear(); }
