// Feeds arbitrary bytes to the BMP reader through the image table. Every input is made to start
// with "BM", so all the time goes into the headers, palette and pixels behind it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "services/images/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so a read one byte past the end is caught.
  std::vector<std::uint8_t> bmp(data, data + size);
  if (bmp.size() >= 2) {
    bmp[0] = 'B';
    bmp[1] = 'M';
  }
  if (ImageFromMemory(2, bmp.data(), bmp.size()) != nullptr) {
    const int w = ImagePixelWidth(2);
    const int h = ImagePixelHeight(2);
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767) __builtin_trap();
    ImageResize(2, 1 + (size > 18 ? data[18] % 61 : 0), 1 + (size > 22 ? data[22] % 67 : 0));
  }
  ImageFree(2);
  return 0;
}
