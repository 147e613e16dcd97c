#pragma once
// One current printer, one-page print jobs and drawing text and pictures on them. Positions are
// device pixels; a text is placed by its top-left corner.
#include <cstdint>

#include "services/gui/gui.h"

struct DrawOutput;  // opaque descriptor handed to DrawStart

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
