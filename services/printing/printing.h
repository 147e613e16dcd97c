#pragma once
// One current printer, one-page print jobs, and drawing text and pictures on a drawing output.
//
// The order of one job: PrinterChoose (the print dialog) -> PrintStart (starts the job and opens
// its only page) -> DrawStart(PrinterTarget()) -> DrawFont / DrawTextAt / MeasureText /
// DrawPicture -> DrawStop -> PrintStop. Positions are device pixels of the output, the origin the
// top-left corner of the printable area; a text is placed by its top-left corner, not by its
// baseline. The chosen printer stays current until the next PrinterChoose, which releases it
// before showing the dialog (so a cancelled dialog leaves no printer at all).
//
// Fonts come from FontLoad of the GUI layer. That size is meant for the screen, so on a printer a
// font is re-measured for the paper: a font with a size of its own keeps that size in points on
// the paper, and a font made with size 0 (the printing default, which the card printout uses)
// gets a character height of 1/56 of the printable width: about 10 points on A4 and on Letter,
// whatever the printer's resolution. With that, a line of Arial stays well inside the card's
// line pitch of 1/29.7 of the printable width, and the card's labels end before their values.
//
// Text is drawn with the output's own background settings: on a fresh printer page opaque and
// white, so a text drawn over a picture cuts a white strip out of it.
//
// No operation shows a message: failures answer false, 0 or null, and the caller decides. Drawing
// calls without an active drawing do nothing and answer 0 (DrawTextAt answers its x). This unit
// does not lay out anything; the card printout (card/) decides every position.
#include <cstdint>

#include "services/gui/gui.h"

class DrawOutput;  // opaque: where the drawing goes (the printer's page: PrinterTarget)

// DrawFont with this handle selects the system's general font; the address of a private tag
// that no loaded font can share.
inline constexpr char kDrawSystemFontTag = 0;
inline const FontHandle kDrawSystemFont = &kDrawSystemFontTag;

bool PrinterChoose();
bool PrintStart(const Text& documentName);
void PrintStop();
std::int64_t PrinterPrintableWidth();
DrawOutput* PrinterTarget();
NativeHandle DrawStart(DrawOutput* output);
void DrawStop();
void DrawFont(FontHandle font);
std::int64_t DrawTextAt(std::int64_t x, std::int64_t y, const Text& text);
std::int64_t MeasureText(const Text& text);
void DrawPicture(ImageHandle_t image, std::int64_t x, std::int64_t y);

// Ends any job and drawing and releases the current printer; for program end, before the GUI
// layer goes down. Also run by the toolkit when its application object is destroyed.
void PrintingShutdown();
