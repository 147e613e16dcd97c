// Files no release ever wrote: very many lines, binary garbage, one enormous line. They must load
// without a crash, give cells that hold no line ends, and settle after one save.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "favourites/favourites.h"
#include "favourites_fixture.h"

namespace {

using favtest::FavouriteRows;
using favtest::FavouritesTest;
using favtest::PutFile;
using favtest::Row;

std::string FoldedKey(const Text& text) {
  std::string key = text.substr(0, 255);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

bool CellIsPlain(const Text& cell) { return cell.find_first_of(std::string("\r\n\0", 3)) == Text::npos; }

using FavouritesBadInput = FavouritesTest;

TEST_F(FavouritesBadInput, AHundredThousandLinesLoadSorted) {
  std::string file;
  std::mt19937 random(11);
  for (int i = 0; i < 100000; ++i)
    file += "Film " + std::to_string(random() % 1000000) + "#" + std::to_string(i) + "#C\r\n";
  PutFile(kFavouritesFile, file);
  LoadFavourites();
  ASSERT_EQ(ListCount(kFavouritesList), 100000);
  Text previous = FoldedKey(ListCellText(kFavouritesList, 0, 0));
  for (int i = 1; i < 100000; ++i) {
    Text key = FoldedKey(ListCellText(kFavouritesList, i, 0));
    ASSERT_LE(previous, key) << "row " << i;
    previous = std::move(key);
  }
}

TEST_F(FavouritesBadInput, BinaryGarbageLoadsAndSettlesAfterOneSave) {
  std::mt19937 random(5);
  std::string garbage(1 << 20, '\0');
  for (char& byte : garbage) {
    const unsigned pick = random() % 16;
    byte = pick == 0 ? '#' : pick == 1 ? '\r' : pick == 2 ? '\n' : pick == 3 ? ' ' : pick == 4 ? '\0'
                                                                           : static_cast<char>(random());
  }
  PutFile(kFavouritesFile, garbage);
  LoadFavourites();
  const std::vector<Row> first = FavouriteRows();
  ASSERT_GT(first.size(), 1000u);
  for (const Row& row : first) {
    ASSERT_TRUE(CellIsPlain(row.title) && CellIsPlain(row.id) && CellIsPlain(row.letter));
    ASSERT_FALSE(row.letter.empty());
  }
  // The first save writes every row in the current form; from then on nothing changes.
  ASSERT_TRUE(SaveFavourites());
  LoadFavourites();
  const std::vector<Row> settled = FavouriteRows();
  ASSERT_TRUE(SaveFavourites());
  LoadFavourites();
  EXPECT_EQ(FavouriteRows(), settled);
  EXPECT_EQ(settled.size(), first.size());
}

TEST_F(FavouritesBadInput, ATenMegabyteLineIsOneFavourite) {
  const std::string huge(10 << 20, 'x');
  PutFile(kFavouritesFile, huge + "\r\n 42 \r\n" + "a#" + huge + "#I\r\n");
  LoadFavourites();
  const std::vector<Row> rows = FavouriteRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (Row{"a", huge, "I"}));
  EXPECT_EQ(rows[1], (Row{huge, "42", "C"}));
  ASSERT_TRUE(SaveFavourites());
  EXPECT_EQ(favtest::FileBytes(kFavouritesFile),
            "a#" + huge + "#I\r\n" + huge + "#42#C\r\n");
}

}  // namespace
