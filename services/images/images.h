#pragma once
// Numbered pictures: made from picture files held in memory or on disk (BMP read directly, JPEG
// through the registered libjpeg decoder), rescaled smoothly, measured, handed to gadgets and to
// the printer. Pictures from the web are untrusted: anything that is not a sane BMP or JPEG is
// refused and leaves the slot empty.
#include <cstddef>

#include "services/gui/gui.h"

ImageHandle_t ImageFromMemory(int number, const void* data, std::size_t size);
ImageHandle_t ImageLoad(int number, const Text& fileName);
void ImageResize(int number, int width, int height);
int ImagePixelWidth(int number);
int ImagePixelHeight(int number);
ImageHandle_t ImageHandle(int number);
bool ImageExists(int number);
void ImageFree(int number);
void ImageFreeAll();
void RegisterJpegDecoder();
