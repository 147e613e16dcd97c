// Placeholder bodies, replaced when this part is built.
#include "services/printing/printing.h"

bool PrinterChoose() { return false; }
bool PrintStart(const Text&) { return false; }
void PrintStop() {}
std::int64_t PrinterPrintableWidth() { return 0; }
DrawOutput* PrinterTarget() { return nullptr; }
NativeHandle DrawStart(DrawOutput*) { return nullptr; }
void DrawStop() {}
void DrawFont(FontHandle) {}
std::int64_t DrawTextAt(std::int64_t x, std::int64_t, const Text&) { return x; }
std::int64_t MeasureText(const Text&) { return 0; }
void DrawPicture(ImageHandle_t, std::int64_t, std::int64_t) {}
