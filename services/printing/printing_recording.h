#pragma once
// For tests only: a drawing output that records instead of printing, and a printer made of it.
//
// A recording output measures text exactly as a printer of the given printable width would
// (the same font sizing, the fonts' outline metrics), so a layout drawn on it gives the very
// positions the paper would get, and DrawTextAt/MeasureText answer the same numbers. It keeps
// every call that reaches it as a DrawRecord, in order.
//
// PrinterUseRecorder(W) puts the printer services in recording mode: PrinterChoose then releases
// the current printer as always but, instead of showing the print dialog, confirms (or, with
// confirm false, cancels) at once and makes a recording printer of printable width W, whose
// PrinterTarget is a recording output. PrinterUseDialog() returns to the real dialog. The real
// dialog code is tested by answering the dialog itself (tests/services/printing).
//
// E.g. PrinterUseRecorder(4800); PrintCard(); then DrawRecords() holds kJobStart (the document
// name), kDrawStart, kFont, kText "TITULO: " at (343, 485), ..., kDrawStop, kJobStop.
#include <cstdint>
#include <vector>

#include "services/printing/printing.h"

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

// A recording output of that printable width (as a 600 dots-per-inch printer); one lives at a time.
DrawOutput* RecordingTarget(std::int64_t printableWidth);

void PrinterUseRecorder(std::int64_t printableWidth, bool confirm = true);
void PrinterUseDialog();

const std::vector<DrawRecord>& DrawRecords();
void DrawRecordsClear();
