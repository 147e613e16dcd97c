// Placeholder bodies, replaced when this part is built.
#include "services/images/images.h"

ImageHandle_t ImageFromMemory(int, const void*, std::size_t) { return nullptr; }
ImageHandle_t ImageLoad(int, const Text&) { return nullptr; }
void ImageResize(int, int, int) {}
int ImagePixelWidth(int) { return 0; }
int ImagePixelHeight(int) { return 0; }
ImageHandle_t ImageHandle(int) { return nullptr; }
bool ImageExists(int) { return false; }
void ImageFree(int) {}
void ImageFreeAll() {}
void RegisterJpegDecoder() {}
