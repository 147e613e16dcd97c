// Reading and writing favoritos.ini: the three line forms, what trimming does and does not do,
// the exact bytes written, and what a save cut short by an earlier crash left on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "favourites/favourites.h"
#include "favourites_fixture.h"
#include "tests/support/save_leftovers.h"

namespace {

using favtest::FavouriteRows;
using favtest::FavouritesTest;
using favtest::FileBytes;
using favtest::PutFile;
using favtest::Row;

using LoadFavouritesFile = FavouritesTest;

TEST_F(LoadFavouritesFile, EachLineFormGivesTheRowsAUserWrote) {
  struct Case {
    const char* what;
    std::string file;
    std::vector<Row> rows;
  };
  const std::vector<Case> cases = {
      {"current form", "Alien#123#C\r\n", {{"Alien", "123", "C"}}},
      {"current form, IMDb", "Alien#tt0078748#I\r\n", {{"Alien", "tt0078748", "I"}}},
      {"two fields get Culturalia", "Alien#123\r\n", {{"Alien", "123", "C"}}},
      {"empty third field gets Culturalia", "Alien#123#\r\n", {{"Alien", "123", "C"}}},
      {"two lines, id trimmed", "Alien\r\n   123  \r\n", {{"Alien", "123", "C"}}},
      {"two lines at the end without an id", "Alien\r\n", {{"Alien", "", "C"}}},
      {"whole line trimmed, not the fields", "   Alien #123# C  \r\n", {{"Alien ", "123", " C"}}},
      {"tabs are not trimmed", "\tAlien#1#C\t\r\n", {{"\tAlien", "1", "C\t"}}},
      {"a title holding # comes back whole", "Rec #2#77#C\r\n", {{"Rec #2", "77", "C"}}},
      {"a title of several #", "#1 # 2 ##5#I\r\n", {{"#1 # 2 #", "5", "I"}}},
      {"a lone # is no favourite", "#\r\n", {}},
      {"no line end after the last line", "Alien#123#C", {{"Alien", "123", "C"}}},
      {"blank line at the end gives no row", "Alien#123#C\r\n\r\n", {{"Alien", "123", "C"}}},
      {"a blank line is a title, the next line its id", "   \r\nAlien#1#C\r\n \r\n  ",
       {{"", "Alien#1#C", "C"}}},
      {"empty file, empty list", "", {}},
      {"CR, LF and CR LF all end lines", "b#2#I\rc#3#C\na#1#C",
       {{"a", "1", "C"}, {"b", "2", "I"}, {"c", "3", "C"}}},
      {"Windows-1252 bytes stay as they are", "\xC9l#9#C\r\nAm\xE9lie#8#I\r\n",
       {{"Am\xE9lie", "8", "I"}, {"\xC9l", "9", "C"}}},
      {"forms mixed in one file", "Zoo#3\r\nBlade Runner\r\n 2\r\nalien#1#I\r\n",
       {{"alien", "1", "I"}, {"Blade Runner", "2", "C"}, {"Zoo", "3", "C"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PutFile(kFavouritesFile, c.file);
    LoadFavourites();
    EXPECT_EQ(FavouriteRows(), c.rows);
  }
}

TEST_F(LoadFavouritesFile, AMissingFileLeavesTheListAsItWas) {
  ListAddRow(kFavouritesList, -1, "Alien\n123\nC");
  LoadFavourites();
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"Alien", "123", "C"}}));
  EXPECT_FALSE(std::filesystem::exists(kFavouritesFile)) << "loading must not create the file";
}

TEST_F(LoadFavouritesFile, AFileThatCannotBeOpenedLeavesTheListAsItWas) {
  // As root every permission is granted, so a folder of that name is the file nobody can open.
  std::filesystem::create_directory(kFavouritesFile);
  ListAddRow(kFavouritesList, -1, "Alien\n123\nC");
  LoadFavourites();
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"Alien", "123", "C"}}));
}

TEST_F(LoadFavouritesFile, ReplacesWhatTheListHeldAndSortsByTitle) {
  ListAddRow(kFavouritesList, -1, "Old\n1\nC");
  PutFile(kFavouritesFile, "Zoo#3#C\r\nalien#1#I\r\nBlade Runner#2#C\r\n\xC9l#4#C\r\nzz#5#C\r\n");
  LoadFavourites();
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"alien", "1", "I"},
                                               {"Blade Runner", "2", "C"},
                                               {"Zoo", "3", "C"},
                                               {"zz", "5", "C"},
                                               {"\xC9l", "4", "C"}}));
}

using SaveFavouritesFile = FavouritesTest;

TEST_F(SaveFavouritesFile, WritesTitleIdLetterAndCrLfForEveryRowInTheOrderShown) {
  ListAddRow(kFavouritesList, -1, "Zoo\n3\nC");
  ListAddRow(kFavouritesList, -1, "Rec #2\n77\nI");
  ListAddRow(kFavouritesList, -1, "Am\xE9lie\n\nC");
  ASSERT_TRUE(SaveFavourites());
  EXPECT_EQ(FileBytes(kFavouritesFile), "Zoo#3#C\r\nRec #2#77#I\r\nAm\xE9lie##C\r\n");
  EXPECT_EQ(testsupport::SaveLeftovers("."), std::vector<std::string>{})
      << "the new file is renamed, not left";
}

TEST_F(SaveFavouritesFile, WhatIsWrittenLoadsBackTheSame) {
  const std::vector<Row> rows = {{"#hash at start", "1", "C"}, {"Alien", "tt0078748", "I"},
                                 {"ends with #", "7", "C"},      {"Rec #2", "77", "I"},
                                 {"\xC9l", "9", "C"}};
  for (const Row& row : rows) ListAddRow(kFavouritesList, -1, row.title + '\n' + row.id + '\n' + row.letter);
  ASSERT_TRUE(SaveFavourites());
  ListClear(kFavouritesList);
  LoadFavourites();
  EXPECT_EQ(FavouriteRows(), rows);
}

TEST_F(SaveFavouritesFile, AnEmptyListDeletesTheFileAndAReloadKeepsItEmpty) {
  PutFile(kFavouritesFile, "Alien#1#C\r\n");
  ASSERT_TRUE(SaveFavourites());
  EXPECT_FALSE(std::filesystem::exists(kFavouritesFile));
  LoadFavourites();
  EXPECT_TRUE(FavouriteRows().empty());
}

TEST_F(SaveFavouritesFile, ALongerOldFileLeavesNoTailBehind) {
  ListAddRow(kFavouritesList, -1, "Alien\n1\nC");
  for (const bool linked : {false, true}) {
    SCOPED_TRACE(linked ? "hard-linked: written in place" : "replaced by a new file");
    PutFile(kFavouritesFile, std::string(5000, 'x') + "#1#C\r\n");
    if (linked) std::filesystem::create_hard_link(kFavouritesFile, "otro.ini");
    ASSERT_TRUE(SaveFavourites());
    EXPECT_EQ(FileBytes(kFavouritesFile), "Alien#1#C\r\n");
  }
  EXPECT_EQ(FileBytes("otro.ini"), "Alien#1#C\r\n");
}

// New files of saves that a crash cut short, from this release and from one that used a fixed
// name, go with the next save; the file never held their bytes.
TEST_F(SaveFavouritesFile, NewFilesLeftByEarlierCrashesAreRemoved) {
  PutFile(kFavouritesFile, "Zoo#3#C\r\n");
  PutFile("favoritos.ini.nuevo", "Half#wri");
  PutFile("favoritos.ini.nuevo-Ab12Cd", "Half#wri");
  ListAddRow(kFavouritesList, -1, "Alien\n1\nC");
  ASSERT_TRUE(SaveFavourites());
  EXPECT_EQ(FileBytes(kFavouritesFile), "Alien#1#C\r\n");
  EXPECT_EQ(testsupport::SaveLeftovers("."), std::vector<std::string>{});
}

}  // namespace
