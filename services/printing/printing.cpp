// The printer and drawing services on Qt Print Support: a QPrinter chosen with QPrintDialog and
// one QPainter per job (its begin starts the job and the first page, its end closes both). The
// drawing state and every rule of placing and measuring live here, above the output interface
// of printing_qt.h, so they hold for any printer a chooser hands out.
#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "services/gui/gui_qt.h"
#include "services/printing/printing.h"
#include "services/printing/printing_qt.h"
#include "services/text/qt_text.h"

namespace {

// The character height of the printing default font as a share of the printable width.
constexpr double kDefaultFontShareOfWidth = 1.0 / 56.0;

// The page of a QPrinter's open job.
class PrinterOutput final : public DrawOutput {
 public:
  explicit PrinterOutput(QPrinter& printer) : printer_(printer) {}

  void SetJob(QPainter* job) { job_ = job; }

  std::int64_t Width() const override { return printer_.width(); }
  int Resolution() const override { return printer_.resolution(); }
  QFontMetricsF Metrics(const QFont& font) const override { return QFontMetricsF(font, &printer_); }

  NativeHandle Begin() override {
    if (job_ == nullptr || !job_->isActive()) return nullptr;
    job_->save();  // the pen, brush and font that End puts back
    job_->setPen(QPen(Qt::black, 0));
    job_->setBrush(Qt::black);
    return job_;
  }
  // The printer's context stays open for PrintStop: nothing to release.
  void End() override {
    if (job_ != nullptr && job_->isActive()) job_->restore();
  }
  void SelectFont(const QFont& font) override {
    if (job_ != nullptr) job_->setFont(font);
  }
  void PutText(const PlacedText& t) override {
    // Text wholly outside the page is lost anyway; it is not sent to the printer.
    if (t.x >= printer_.width() || t.y >= printer_.height() || t.x + t.width <= 0) return;
    const double ascent = Metrics(t.font).ascent();
    job_->drawText(QPointF(static_cast<double>(t.x), static_cast<double>(t.y) + ascent), t.shown);
  }
  void PutPicture(ImageHandle_t, const QImage& picture, std::int64_t x, std::int64_t y) override {
    // A 24-bit copy at its own size: one picture pixel to one device pixel.
    const QImage copy = picture.convertToFormat(QImage::Format_RGB888);
    job_->drawImage(QPoint(static_cast<int>(x), static_cast<int>(y)), copy);
  }

 private:
  QPrinter& printer_;
  QPainter* job_ = nullptr;
};

class QtPrintDevice final : public PrintDevice {
 public:
  explicit QtPrintDevice(std::unique_ptr<QPrinter> printer)
      : printer_(std::move(printer)), output_(*printer_) {}
  ~QtPrintDevice() override { StopJob(); }

  bool StartJob(const Text& documentName) override {
    printer_->setDocName(TextToQString(documentName));
    auto job = std::make_unique<QPainter>();
    if (!job->begin(printer_.get())) return false;
    // A fresh page's own background settings, as a printer's drawing context starts: opaque
    // and white, so a text cuts a white strip out of whatever it is drawn over (a long cast
    // name running into the cover).
    job->setBackgroundMode(Qt::OpaqueMode);
    job->setBackground(Qt::white);
    job_ = std::move(job);
    output_.SetJob(job_.get());
    return true;
  }
  void StopJob() override {
    if (!job_) return;
    job_->end();
    job_.reset();
    output_.SetJob(nullptr);
  }
  bool JobOpen() const override { return job_ != nullptr; }
  DrawOutput& Output() override { return output_; }

 private:
  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QPainter> job_;
  PrinterOutput output_;
};

// The platform's print dialog, owned by the window in front. A fresh printer each time: the
// dialog starts from the system's default printer, with one copy.
std::unique_ptr<PrintDevice> ChooseWithDialog() {
  if (QApplication::instance() == nullptr) return nullptr;
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setCopyCount(1);
  QPrintDialog dialog(printer.get(), QApplication::activeWindow());
  dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  return std::make_unique<QtPrintDevice>(std::move(printer));
}

PrinterChooser chooser;                // empty: the print dialog
std::unique_ptr<PrintDevice> current;  // the current printer, if any

// The single drawing state.
DrawOutput* drawing = nullptr;
QFont drawFont;
bool postRoutineAdded = false;

void EnsurePostRoutine() {
  if (postRoutineAdded) return;
  postRoutineAdded = true;
  qAddPostRoutine(PrintingShutdown);
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
    pixels = static_cast<double>(output.Width()) * kDefaultFontShareOfWidth;
  else if (source.pointSizeF() > 0)
    pixels = source.pointSizeF() * output.Resolution() / 72.0;
  else  // a height in screen pixels: the same height in points on the paper
    pixels = source.pixelSize() * output.Resolution() / ScreenDpi();
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  // Outline metrics without hinting: the same widths on every output of the same width.
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setKerning(false);
  return font;
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
  return static_cast<std::int64_t>(std::lround(drawing->Metrics(drawFont).horizontalAdvance(s)));
}

void SelectFont(const QFont& source) {
  drawFont = SizedForOutput(source, *drawing);
  drawing->SelectFont(drawFont);
}

void ReleaseCurrentPrinter() {
  if (!current) return;
  if (drawing == &current->Output()) DrawStop();
  current->StopJob();
  current.reset();
}

}  // namespace

void PrinterSetChooser(PrinterChooser newChooser) { chooser = std::move(newChooser); }

bool PrinterChoose() {
  ReleaseCurrentPrinter();
  if (QApplication::instance() != nullptr) EnsurePostRoutine();
  current = chooser ? chooser() : ChooseWithDialog();
  return current != nullptr;
}

bool PrintStart(const Text& documentName) {
  if (!current) return false;
  if (current->JobOpen()) PrintStop();
  return current->StartJob(documentName);
}

void PrintStop() {
  if (!current) return;
  if (drawing == &current->Output()) DrawStop();
  current->StopJob();
}

std::int64_t PrinterPrintableWidth() { return current ? current->Output().Width() : 0; }

DrawOutput* PrinterTarget() { return current ? &current->Output() : nullptr; }

NativeHandle DrawStart(DrawOutput* output) {
  if (drawing != nullptr) DrawStop();
  if (output == nullptr) return nullptr;
  NativeHandle handle = output->Begin();
  if (handle == nullptr) return nullptr;
  drawing = output;
  SelectFont(QApplication::font());
  return handle;
}

void DrawStop() {
  if (drawing == nullptr) return;
  DrawOutput* output = drawing;
  drawing = nullptr;
  output->End();
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
  PlacedText placed{.x = x, .y = y, .text = text, .shown = PrintableText(text), .font = drawFont};
  placed.width = WidthOf(placed.shown);
  drawing->PutText(placed);
  return x + placed.width;
}

void DrawPicture(ImageHandle_t image, std::int64_t x, std::int64_t y) {
  if (drawing == nullptr) return;
  const QImage* picture = GuiImageOf(image);
  if (picture == nullptr || picture->isNull()) return;
  drawing->PutPicture(image, *picture, x, y);
}

void PrintingShutdown() {
  ReleaseCurrentPrinter();
  if (drawing != nullptr) DrawStop();
}
