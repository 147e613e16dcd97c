// PrintCard: the card on show, read back from its gadgets, on one page of a printer the user
// chooses: four labelled values, the cast and the synopsis as running text, and the cover at the
// top right when the user wants it.
//
// Positions are page units: x in 21ths and y in 29.7ths of the printable width W (the page
// height is never looked at). E.g. with W = 4800, "TITULO: " at (1.5, 3.0) lands on (343, 485).
// Running text moves to a new line only when the previous item ended right of the limit, so an
// item that starts left of it is drawn whole; below the picture the limit widens from 11.0 to
// 16.0 units and stays there.
#include <cstdint>
#include <string_view>

#include "program/gadgets.h"
#include "program/variables.h"
#include "card/card.h"
#include "card/round_half_even.h"
#include "services/gui/gui.h"
#include "services/images/images.h"
#include "services/printing/printing.h"
#include "services/text/text.h"

namespace {

// The font size handed to FontLoad: 0 leaves the height to the printing default, which the
// printer services size from the printable width (see services/printing/printing.h).
constexpr int kPrintFontSize = 0;
constexpr int kRegular = 0;
constexpr double kPictureWidthDivisor = 8.39;  // the picture is W / 8.39 pixels wide

struct Page {
  std::int64_t width = 0;  // W, the printable width in device pixels
  std::int64_t X(double x) const { return PageXToPixels(x, width); }
  std::int64_t Y(double y) const { return PageYToPixels(y, width); }
};

// A new print font as font number 0, replacing the previous one, selected for drawing.
void UsePrintFont(int style) { DrawFont(FontLoad(0, "Arial", kPrintFontSize, style)); }

// The pieces of a text between the separator bytes, in order; n separators give n + 1 pieces.
template <typename Each>
void ForEachPiece(std::string_view text, char separator, Each each) {
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find(separator, begin);
    if (end == std::string_view::npos) {
      each(text.substr(begin));
      return;
    }
    each(text.substr(begin, end - begin));
    begin = end + 1;
  }
}

// Running text: where the pen is, where a line must end, and how low the picture reaches.
struct Pen {
  double x = 0, y = 0;
  std::int64_t rightLimit = 0;
  double pictureHeight = 0;
};

// The new-line test made before each item: the previous item ended right of the limit. Below
// the picture (its height plus the given vertical units) the limit widens for good.
void NewLineIfPastLimit(Pen& pen, const Page& page, double pictureBottomUnits) {
  if (pen.x <= static_cast<double>(pen.rightLimit)) return;
  pen.x = static_cast<double>(page.X(4.0));
  pen.y += static_cast<double>(page.Y(1.0));
  if (pen.y > pen.pictureHeight + static_cast<double>(page.Y(pictureBottomUnits)))
    pen.rightLimit = page.X(16.0);
}

// The cover scaled to W / 8.39 pixels wide, at (15.0, 3.0). Answers its height after scaling,
// unrounded; 0 when the picture cannot be loaded (nothing is drawn then).
double PrintPicture(const Page& page) {
  if (ImageExists(kPrintPictureImage)) ImageFree(kPrintPictureImage);
  ImageLoad(kPrintPictureImage, program.coverPath);
  const double w = ImagePixelWidth(kPrintPictureImage);
  const double h = ImagePixelHeight(kPrintPictureImage);
  if (w <= 0 || h <= 0 || page.width <= 0) return 0;
  const double s = w * kPictureWidthDivisor / static_cast<double>(page.width);
  const double newWidth = w / s, newHeight = h / s;
  const std::int64_t width = RoundHalfEven(newWidth), height = RoundHalfEven(newHeight);
  if (width < 1 || height < 1) return 0;
  ImageResize(kPrintPictureImage, static_cast<int>(width), static_cast<int>(height));
  DrawPicture(ImageHandle(kPrintPictureImage), page.X(15.0), page.Y(3.0));
  return newHeight;
}

// The cast, one name per line of the gadget, each followed by ", ".
void PrintCast(Pen& pen, const Page& page, const Text& cast) {
  const std::int64_t n = TextCount(cast, "\r\n") + 1;
  std::int64_t i = 0;
  // Pieces are taken at every CR; only as many as there are CR LF pairs plus one are printed.
  ForEachPiece(cast, '\r', [&](std::string_view piece) {
    if (++i > n) return;
    Text item = TextTrim(piece) + ", ";
    if (i > 1) item.erase(0, 1);  // the LF that followed the CR
    NewLineIfPastLimit(pen, page, 3.0);
    DrawTextAt(RoundHalfEven(pen.x), RoundHalfEven(pen.y), item);
    pen.x += static_cast<double>(MeasureText(item));
  });
}

// The synopsis, word by word at every single space; a line break inside a word joins its halves.
void PrintSynopsis(Pen& pen, const Page& page, const Text& synopsis) {
  ForEachPiece(synopsis, ' ', [&](std::string_view field) {
    Text word = TextRemove(field, "\r\n");
    word = TextRemove(TextTrim(word), " ");
    NewLineIfPastLimit(pen, page, 4.0);
    DrawTextAt(RoundHalfEven(pen.x), RoundHalfEven(pen.y), word);
    pen.x += static_cast<double>(MeasureText(word + " "));
  });
}

// Labels, running texts and values in their drawing order.
void PrintTexts(const Page& page, bool picturePrinted, double pictureHeight) {
  UsePrintFont(kFontBold);
  DrawTextAt(page.X(1.5), page.Y(3.0), "TITULO: ");
  DrawTextAt(page.X(1.5), page.Y(4.0), "GENERO: ");
  DrawTextAt(page.X(1.5), page.Y(5.0), "NACIONALIDAD: ");
  DrawTextAt(page.X(1.5), page.Y(6.0), "DIRECTOR: ");
  UsePrintFont(kFontBold);
  DrawTextAt(page.X(1.5), page.Y(7.0), "ACTORES: ");

  Pen pen;
  pen.x = static_cast<double>(page.X(4.0));
  pen.y = static_cast<double>(page.Y(7.0));
  pen.rightLimit = picturePrinted ? page.X(11.0) : page.X(16.0);
  pen.pictureHeight = pictureHeight;
  UsePrintFont(kFontItalic);
  PrintCast(pen, page, GadgetGetText(kActorsField));

  pen.y += static_cast<double>(page.Y(2.0));
  UsePrintFont(kFontBold);
  DrawTextAt(page.X(1.5), RoundHalfEven(pen.y), "SINOPSIS:");
  UsePrintFont(kRegular);
  pen.x = static_cast<double>(page.X(4.0));
  PrintSynopsis(pen, page, GadgetGetText(kSynopsisText));

  UsePrintFont(kFontItalic);
  DrawTextAt(page.X(3.5), page.Y(3.0), GadgetGetText(kTitleField));
  DrawTextAt(page.X(4.0), page.Y(4.0), GadgetGetText(kGenreField));
  DrawTextAt(page.X(5.5), page.Y(5.0), GadgetGetText(kNationalityField));
  DrawTextAt(page.X(4.2), page.Y(6.0), GadgetGetText(kDirectorField));
}

}  // namespace

std::int64_t PageXToPixels(double x, std::int64_t printableWidth) {
  return RoundHalfEven(x * (static_cast<double>(printableWidth) / 21.0));
}

std::int64_t PageYToPixels(double y, std::int64_t printableWidth) {
  return RoundHalfEven(y * (static_cast<double>(printableWidth) / 29.7));
}

void PrintCard() {
  if (!PrinterChoose()) return;
  if (!PrintStart(GadgetGetText(kTitleField))) return;
  if (DrawStart(PrinterTarget()) == nullptr) {
    PrintStop();
    return;
  }
  const Page page{PrinterPrintableWidth()};

  // Only the card's own cover is offered: "portada.jpg" may still hold an earlier film's.
  bool picturePrinted = false;
  double pictureHeight = 0;
  if (program.cardHasCover == 1) {
    const int answer = MessageAsk("Contiene Imágen"_t, "¿Incluir la imágen en la impresión?"_t,
                                  kAskYesNoCancelQuestion);
    if (answer != kAnswerYes && answer != kAnswerNo) {  // Cancel, or the box closed
      DrawStop();
      PrintStop();
      return;
    }
    if (answer == kAnswerYes) {
      pictureHeight = PrintPicture(page);
      picturePrinted = true;
    }
  }

  PrintTexts(page, picturePrinted, pictureHeight);
  DrawStop();
  PrintStop();
}
