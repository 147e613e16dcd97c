#pragma once
// The picture files built into the program: the print button's printer (JPEG), the exit
// button's power symbol (8-bit BMP) and the cover box's "NO EXISTE IMAGEN" (JPEG). They are the
// files in app/pictures/, whose bytes the build compiles in (cmake/Embed.cmake defines these
// functions); change a picture by changing its file.
#include <cstddef>

struct EmbeddedPicture {
  const unsigned char* data;
  std::size_t size;
};

EmbeddedPicture PrinterIconPicture();
EmbeddedPicture PowerIconPicture();
EmbeddedPicture NoCoverPicture();
