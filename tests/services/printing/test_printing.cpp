// The printer and drawing services: no printer before a choice, the print dialog answered as a
// person would (Qt's "Imprimir a archivo (PDF)"), the current printer released before each choice,
// text placed by its top-left corner on an opaque white background and pictures at their own
// size on the paper, and the drawing calls' answers on any output.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <string>

#include "services/gui/gui.h"
#include "services/images/images.h"
#include "services/printing/printing.h"
#include "tests/services/printing/pdf_page.h"
#include "tests/services/printing/print_dialog_answer.h"
#include "tests/sources/test_film_support.h"
#include "tests/support/print_recorder.h"

namespace fs = std::filesystem;

namespace {

std::string SolidJpeg(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPG", 100));
  return bytes.toStdString();
}

class Printing : public ::testing::Test {
 protected:
  void SetUp() override {
    PrintingShutdown();  // no printer left by an earlier test
  }
  void TearDown() override {
    PrintingShutdown();
    ImageFreeAll();
  }
  QString Pdf(const std::string& name) const {
    return QString::fromStdString((dir_.path() / name).string());
  }

  filmtest::ScratchDirectory dir_;
};

}  // namespace

TEST_F(Printing, NothingWithoutAPrinter) {
  EXPECT_EQ(PrinterPrintableWidth(), 0);
  EXPECT_EQ(PrinterTarget(), nullptr);
  EXPECT_FALSE(PrintStart("Sin impresora"));
  EXPECT_EQ(DrawStart(PrinterTarget()), nullptr);
  PrintStop();  // harmless
  // No drawing is active: every drawing call does nothing and answers 0.
  EXPECT_EQ(MeasureText("TITULO: "), 0);
  EXPECT_EQ(DrawTextAt(100, 200, "TITULO: "), 0);
  DrawFont(kDrawSystemFont);
  DrawStop();
}

TEST_F(Printing, CancelledDialogLeavesNoPrinter) {
  auto answer = PrintDialogAnswer::Cancel();
  EXPECT_FALSE(PrinterChoose());
  EXPECT_TRUE(answer->answered());
  EXPECT_EQ(PrinterPrintableWidth(), 0);
  EXPECT_EQ(PrinterTarget(), nullptr);
  EXPECT_FALSE(PrintStart("Nada"));
}

TEST_F(Printing, EachChoiceStartsFromTheDefaultPrinterWithOneCopyAndReleasesThePrevious) {
  const QString first = Pdf("first.pdf");
  auto answer1 = PrintDialogAnswer::PrintToPdf(first, 3);
  ASSERT_TRUE(PrinterChoose());
  ASSERT_TRUE(answer1->answered());
  EXPECT_EQ(answer1->copiesAtStart(), 1);
  const QString defaultPrinter = answer1->printerAtStart();
  std::cout << "printers offered: " << answer1->printerChoices().toStdString()
            << " starting at: " << defaultPrinter.toStdString() << "\n";
  EXPECT_GT(PrinterPrintableWidth(), 0);

  // A job is still open on the first printer when the next choice begins.
  ASSERT_TRUE(PrintStart("Primera"));
  ASSERT_NE(DrawStart(PrinterTarget()), nullptr);
  DrawFont(FontLoad(0, "Arial", 12, 0));
  DrawTextAt(300, 300, "Primera");

  auto answer2 = PrintDialogAnswer::PrintToPdf(Pdf("second.pdf"));
  std::int64_t widthWhileAsking = -1;
  bool targetWhileAsking = true;
  answer2->onOpen = [&] {
    widthWhileAsking = PrinterPrintableWidth();
    targetWhileAsking = PrinterTarget() != nullptr;
  };
  ASSERT_TRUE(PrinterChoose());
  ASSERT_TRUE(answer2->answered());
  // The previous printer was gone before the dialog showed, its job ended and written out.
  EXPECT_EQ(widthWhileAsking, 0);
  EXPECT_FALSE(targetWhileAsking);
  const std::string firstBytes = pdftest::FileBytes(first.toStdString());
  EXPECT_NE(firstBytes.find("%%EOF"), std::string::npos) << "the first job was not finished";
  // No earlier choice is offered again: the same default printer, one copy.
  EXPECT_EQ(answer2->copiesAtStart(), 1);
  EXPECT_EQ(answer2->printerAtStart(), defaultPrinter);

  auto answer3 = PrintDialogAnswer::Cancel();
  EXPECT_FALSE(PrinterChoose());
  EXPECT_EQ(PrinterPrintableWidth(), 0);
  EXPECT_EQ(PrinterTarget(), nullptr);
}

TEST_F(Printing, TextByItsTopLeftCornerAndPicturesAtTheirOwnSizeOnPaper) {
  const QString file = Pdf("page.pdf");
  auto answer = PrintDialogAnswer::PrintToPdf(file);
  ASSERT_TRUE(PrinterChoose());
  const std::int64_t width = PrinterPrintableWidth();
  ASSERT_TRUE(PrintStart("Prueba de dibujo"));
  auto* painter = static_cast<QPainter*>(DrawStart(PrinterTarget()));
  ASSERT_NE(painter, nullptr);
  auto* printer = dynamic_cast<QPrinter*>(painter->device());
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(width, printer->width());
  const int dpi = printer->resolution();
  // Where the printable area lies on the paper, in device pixels.
  const QPointF origin = printer->pageRect(QPrinter::DevicePixel).topLeft() -
                         printer->paperRect(QPrinter::DevicePixel).topLeft();

  DrawFont(FontLoad(0, "Arial", 24, 0));
  const std::int64_t x = dpi, y = dpi;
  const std::int64_t advance = MeasureText("HHHH");
  EXPECT_GT(advance, 0);
  EXPECT_EQ(MeasureText(""), 0);
  EXPECT_EQ(DrawTextAt(x, y, "HHHH"), x + advance);
  EXPECT_EQ(DrawTextAt(x, y + dpi, ""), x);

  const std::string jpeg = SolidJpeg(400, 200, Qt::red);
  ASSERT_NE(ImageFromMemory(50, jpeg.data(), jpeg.size()), nullptr);
  DrawPicture(ImageHandle(50), x, y + 2 * dpi);
  DrawStop();
  PrintStop();

  EXPECT_EQ(pdftest::PageObjects(file.toStdString()), 1);
  // Rendered at a quarter of the device's resolution: 4 device pixels to one picture pixel.
  constexpr int kShrink = 4;
  const QImage page = pdftest::RenderFirstPage(file.toStdString(), dpi / kShrink, dir_.path() / "page");
  ASSERT_FALSE(page.isNull());
  fs::create_directories(TEST_OUTPUT_DIR);
  page.save(QString(TEST_OUTPUT_DIR) + "/printing_text_and_picture.png");
  auto toPage = [&](double deviceX, double deviceY) {
    return QPointF((origin.x() + deviceX) / kShrink, (origin.y() + deviceY) / kShrink);
  };

  // The picture: 400 x 200 device pixels, its top-left pixel at the point.
  const QRect red = pdftest::InkBounds(page, page.rect(), pdftest::Red);
  const QPointF redAt = toPage(static_cast<double>(x), static_cast<double>(y + 2 * dpi));
  EXPECT_NEAR(red.left(), redAt.x(), 1.0);
  EXPECT_NEAR(red.top(), redAt.y(), 1.0);
  EXPECT_NEAR(red.width(), 400.0 / kShrink, 1.0);
  EXPECT_NEAR(red.height(), 200.0 / kShrink, 1.0);

  // The text: its ink (capital H, no descenders) between the cap line and the baseline. With
  // the top-left corner at the point, the ink starts below the point by ascent - cap height.
  const QPointF textAt = toPage(static_cast<double>(x), static_cast<double>(y));
  const QRect area(static_cast<int>(textAt.x()) - 200, static_cast<int>(textAt.y()) - 200,
                   static_cast<int>(advance / kShrink) + 400, 400 + dpi / kShrink / 2);
  const QRect ink = pdftest::InkBounds(page, area, pdftest::Dark);
  ASSERT_FALSE(ink.isEmpty()) << "no text on the page";
  QFont probe("Arial");
  probe.setPixelSize(1000);
  const QFontMetricsF metrics(probe);
  const double gapOverCap = (metrics.ascent() - metrics.capHeight()) / metrics.capHeight();
  EXPECT_GT(ink.top(), textAt.y()) << "the text reaches above its point: placed by its baseline?";
  EXPECT_NEAR(ink.top() - textAt.y(), gapOverCap * ink.height(), 2.0);
  EXPECT_GE(ink.left(), textAt.x() - 1);
  EXPECT_LE(ink.left(), textAt.x() + 0.2 * ink.height());
  // The answer is the x after the text: the ink ends just before it.
  const double after = (origin.x() + static_cast<double>(x + advance)) / kShrink;
  EXPECT_LE(ink.right(), after + 1);
  EXPECT_GE(ink.right(), after - 0.3 * ink.height());
}

TEST_F(Printing, TextOverAPictureCutsAWhiteStripOutOfIt) {
  // A fresh printer page draws text on an opaque white background: the text's box (its width
  // by the font's ascent + descent) is white behind the letters, also over a picture.
  const QString file = Pdf("over.pdf");
  auto answer = PrintDialogAnswer::PrintToPdf(file);
  ASSERT_TRUE(PrinterChoose());
  ASSERT_TRUE(PrintStart("Texto sobre imagen"));
  auto* painter = static_cast<QPainter*>(DrawStart(PrinterTarget()));
  ASSERT_NE(painter, nullptr);
  auto* printer = dynamic_cast<QPrinter*>(painter->device());
  ASSERT_NE(printer, nullptr);
  const int dpi = printer->resolution();
  const QPointF origin = printer->pageRect(QPrinter::DevicePixel).topLeft() -
                         printer->paperRect(QPrinter::DevicePixel).topLeft();
  const std::string jpeg = SolidJpeg(3 * dpi, dpi, Qt::red);
  ASSERT_NE(ImageFromMemory(51, jpeg.data(), jpeg.size()), nullptr);
  const std::int64_t x = dpi, y = dpi;
  DrawPicture(ImageHandle(51), x, y);
  DrawFont(FontLoad(0, "Arial", 12, 0));
  const std::int64_t tx = x + dpi / 2, ty = y + dpi / 4;
  const std::int64_t advance = MeasureText("H  H");
  DrawTextAt(tx, ty, "H  H");
  QFont font("Arial");
  font.setPixelSize(12 * dpi / 72);
  const QFontMetricsF metrics(font, printer);
  const double boxHeight = metrics.ascent() + metrics.descent();
  DrawStop();
  PrintStop();

  constexpr int kShrink = 4;
  const QImage page = pdftest::RenderFirstPage(file.toStdString(), dpi / kShrink, dir_.path() / "over");
  ASSERT_FALSE(page.isNull());
  fs::create_directories(TEST_OUTPUT_DIR);
  page.save(QString(TEST_OUTPUT_DIR) + "/printing_text_over_picture.png");
  // The text's box on the rendered page, less a pixel of smoothing at each edge.
  const QRect box(static_cast<int>((origin.x() + static_cast<double>(tx)) / kShrink) + 1,
                  static_cast<int>((origin.y() + static_cast<double>(ty)) / kShrink) + 1,
                  static_cast<int>(static_cast<double>(advance) / kShrink) - 2,
                  static_cast<int>(boxHeight / kShrink) - 2);
  const auto white = [](const QColor& c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; };
  EXPECT_TRUE(pdftest::InkBounds(page, box, pdftest::Red).isEmpty()) << "the picture shows through the text";
  EXPECT_FALSE(pdftest::InkBounds(page, box, white).isEmpty()) << "no white between the letters";
  EXPECT_FALSE(pdftest::InkBounds(page, box, pdftest::Dark).isEmpty()) << "no letters";
  // Around the box the picture is whole.
  const QRect below(box.left(), box.bottom() + 4, box.width(), 10);
  EXPECT_EQ(pdftest::InkBounds(page, below, pdftest::Red), below);
}

TEST_F(Printing, DrawingCallsAnswerAlikeOnAnyOutput) {
  auto records = std::make_shared<testsupport::DrawRecords>();
  testsupport::RecordingOutput output(4800, records);
  ASSERT_EQ(DrawStart(&output), &output);
  DrawFont(FontLoad(0, "Arial", 0, kFontBold));
  EXPECT_EQ(MeasureText(""), 0);
  EXPECT_EQ(DrawTextAt(10, 20, ""), 10);
  const std::int64_t w = MeasureText("TITULO: ");
  EXPECT_GT(w, 0);
  EXPECT_EQ(DrawTextAt(10, 20, "TITULO: "), 10 + w);
  // A stray line break is measured and drawn as a space.
  EXPECT_EQ(MeasureText("A\nB"), MeasureText("A B"));
  DrawStop();
  int texts = 0;
  for (const testsupport::DrawRecord& r : *records) {
    if (r.kind != testsupport::DrawRecord::kText) continue;
    ++texts;
    EXPECT_EQ(r.x, 10);
    EXPECT_EQ(r.y, 20);
    EXPECT_EQ(r.text, "TITULO: ");
    EXPECT_TRUE(r.bold);
    EXPECT_EQ(r.width, w);
  }
  EXPECT_EQ(texts, 1);  // the empty text drew nothing
  // After DrawStop nothing reaches the output.
  const std::size_t count = records->size();
  EXPECT_EQ(DrawTextAt(10, 20, "x"), 0);
  EXPECT_EQ(records->size(), count);
}
