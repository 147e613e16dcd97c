// Feeds arbitrary bytes to the JPEG decoder through the image table, then rescales and frees
// what came out, as the card display does with a downloaded cover.
#include <cstddef>
#include <cstdint>

#include "services/images/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (RegisterJpegDecoder(), true);
  (void)registered;
  if (ImageFromMemory(4, data, size) != nullptr) {
    const int w = ImagePixelWidth(4);
    const int h = ImagePixelHeight(4);
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767) __builtin_trap();
    // A small target keeps each run fast; the shape follows the input.
    ImageResize(4, 1 + (size > 2 ? data[2] % 97 : 0), 1 + (size > 3 ? data[3] % 131 : 0));
  }
  ImageFree(4);
  return 0;
}
