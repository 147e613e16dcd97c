#pragma once
// The two arrows a sorted column's header shows: 12 x 12 BMP file images, 8 bits per pixel with a
// 256-entry grey palette, black arrows on white, rows bottom-up. They are the files in
// services/columnsort/pictures/, whose bytes the build compiles in (cmake/Embed.cmake defines
// these functions); change an arrow by changing its file.
//
// Use: ImageFromMemory(number, p.data, p.size) (services/images) turns one into a 32-bit image;
// or read the BMP with any reader of your own. Index 0 of the sorter's picture list is the up
// arrow (ascending), index 1 the down arrow (descending).
#include <cstddef>

struct SortArrowPicture {
  const unsigned char* data;
  std::size_t size;
};

SortArrowPicture SortArrowUpPicture();
SortArrowPicture SortArrowDownPicture();
