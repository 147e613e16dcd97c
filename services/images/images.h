#pragma once
// Numbered pictures: made from picture files held in memory or on disk (BMP read directly, JPEG
// through the registered libjpeg decoder), rescaled smoothly, measured, handed to gadgets and to
// the printer. Pictures from the web are untrusted: anything that is not a sane BMP or JPEG is
// refused and leaves the slot empty. Drawing the pictures is left to the GUI layer and printing.
//
// Numbers are the caller's; making an image under a used number frees the old one first, and a
// number without an image answers 0 or null. ImageHandle gives a `const QImage*` (read it with
// GuiImageOf from services/gui/gui_qt.h) that stays valid until the number is freed, replaced
// or resized. Decoded JPEGs are 24-bit RGB888 images, BMPs 32-bit RGB32 images.
//
// Refused, with no image made: widths or heights above 32767, pixels above 64 MB, files above
// 128 MB, BMPs with compressed pixels or offsets, sizes or palettes that do not fit the data,
// JPEGs whose header cannot be read or whose colour model is not gray, YCbCr, RGB, CMYK or YCCK.
// A JPEG that breaks off or is corrupt after its header still gives an image.
//
// Example: ImageLoad(4, "portada.jpg") on an HTML error page gives null, and then
// ImagePixelWidth(4) == 0; ImageResize(3, 200, 275) on a 200 x 275 image changes nothing.
#include <cstddef>

#include "services/gui/gui.h"

// Reads the picture file image of `size` bytes at `data`; never reads past data + size, and
// offers the decoders at most the first 10,000,000 bytes.
ImageHandle_t ImageFromMemory(int number, const void* data, std::size_t size);
ImageHandle_t ImageLoad(int number, const Text& fileName);
// Smooth rescaling to the new size; the same size, an empty number or an impossible size
// (below 1 or refused as above) leaves the image as it is.
void ImageResize(int number, int width, int height);
int ImagePixelWidth(int number);
int ImagePixelHeight(int number);
ImageHandle_t ImageHandle(int number);
bool ImageExists(int number);
void ImageFree(int number);
void ImageFreeAll();
// Registers JpegDecoder; calling it again changes nothing. Until it has run, only BMP is read.
void RegisterJpegDecoder();
