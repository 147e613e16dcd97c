// The four buttons' commands and the unsaved-changes question, with the real message boxes
// answered as a person would, and saves that fail the ways a user's disk fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "favourites/favourites.h"
#include "favourites_fixture.h"
#include "tests/support/dialogs.h"
#include "tests/support/save_leftovers.h"

namespace {

using favtest::FavouriteRows;
using favtest::FavouritesTest;
using favtest::FileBytes;
using favtest::MountedFolder;
using favtest::PutFile;
using favtest::Row;
using testsupport::SaveLeftovers;
using Names = std::vector<std::string>;

const QString kQuestionCaption = QString::fromUtf8("Cambios en FAVORITOS sin salvar");
const QString kQuestionText =
    QString::fromUtf8("LA LISTA DE FAVORITOS HA CAMBIADO, ¿QUIERES SALVARLA?");
const QString kSaveFailedText =
    QString::fromUtf8("No se pudo guardar la lista de favoritos.\n\nfavoritos.ini");

void ExpectSaveFailedBox(const DialogSeen& box) {
  EXPECT_EQ(box.kind, DialogSeen::MessageBox);
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.text, kSaveFailedText);
  EXPECT_EQ(box.buttons, QStringList{"Aceptar"}) << "OK only: there is nothing to choose";
  EXPECT_EQ(box.icon, QMessageBox::Critical);
}

void ExpectQuestionBox(const DialogSeen& box) {
  EXPECT_EQ(box.kind, DialogSeen::MessageBox);
  EXPECT_EQ(box.caption, kQuestionCaption);
  EXPECT_EQ(box.text, kQuestionText);
  EXPECT_EQ(box.buttons, (QStringList{QString::fromUtf8("Sí"), "No"}));
  EXPECT_EQ(box.icon, QMessageBox::NoIcon);
}

using AddAndRemoveFavourites = FavouritesTest;

TEST_F(AddAndRemoveFavourites, AddCopiesTheSelectedHitAndSortsAgain) {
  favtest::AddHit({"Zoo", "3", "C"});
  favtest::AddHit({"alien", "tt0078748", "I"});
  ListSelectRow(kTitlesList, 0, true);
  AddFavourite();
  ListSelectRow(kTitlesList, 1, true);
  AddFavourite();
  AddFavourite();  // the same film again: no check for duplicates
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"alien", "tt0078748", "I"},
                                               {"alien", "tt0078748", "I"},
                                               {"Zoo", "3", "C"}}));
  EXPECT_EQ(program.favouritesChanged, 1);
}

TEST_F(AddAndRemoveFavourites, AddWithNothingSelectedAddsNothingButMarksAndSorts) {
  favtest::AddHit({"Alien", "1", "C"});
  ListAddRow(kFavouritesList, -1, "b\n2\nC");
  ListAddRow(kFavouritesList, -1, "a\n1\nC");
  ASSERT_EQ(GadgetGetState(kTitlesList), -1);
  AddFavourite();
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"a", "1", "C"}, {"b", "2", "C"}}));
  EXPECT_EQ(program.favouritesChanged, 1);
}

TEST_F(AddAndRemoveFavourites, RemoveTakesTheSelectedRowOrNothingButAlwaysMarks) {
  ListAddRow(kFavouritesList, -1, "a\n1\nC");
  ListAddRow(kFavouritesList, -1, "b\n2\nC");
  RemoveFavourite();
  EXPECT_EQ(FavouriteRows().size(), 2u);
  EXPECT_EQ(program.favouritesChanged, 1);
  program.favouritesChanged = 0;
  ListSelectRow(kFavouritesList, 1, true);
  RemoveFavourite();
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"a", "1", "C"}}));
  EXPECT_EQ(program.favouritesChanged, 1);
}

using SalvarButton = FavouritesTest;

TEST_F(SalvarButton, ThreeFilmsSurviveAFreshStartSortedWithTheExactBytes) {
  favtest::AddHit({"Zoo", "3", "C"});
  favtest::AddHit({"Blade Runner", "tt0083658", "I"});
  favtest::AddHit({"alien", "1", "C"});
  for (int row : {0, 1, 2}) {
    ListSelectRow(kTitlesList, row, true);
    AddFavourite();
  }
  {
    DialogAnswers none({});
    SaveFavouritesCommand();
    EXPECT_TRUE(none.seen().empty());
  }
  EXPECT_EQ(program.favouritesChanged, 0);
  EXPECT_EQ(FileBytes(kFavouritesFile), "alien#1#C\r\nBlade Runner#tt0083658#I\r\nZoo#3#C\r\n");

  favtest::CloseFavouritesWindow();
  favtest::MakeFavouritesWindow();
  LoadFavourites();
  const std::vector<Row> expected = {
      {"alien", "1", "C"}, {"Blade Runner", "tt0083658", "I"}, {"Zoo", "3", "C"}};
  EXPECT_EQ(FavouriteRows(), expected);
  DialogAnswers none({});
  ReloadFavourites();
  EXPECT_TRUE(none.seen().empty());
  EXPECT_EQ(FavouriteRows(), expected);
  EXPECT_EQ(FileBytes(kFavouritesFile), "alien#1#C\r\nBlade Runner#tt0083658#I\r\nZoo#3#C\r\n");
}

TEST_F(SalvarButton, AWorkingFolderThatIsGoneTellsTheUserAndKeepsTheFlag) {
  // No one, root included, can create a file in a folder that has been removed.
  const std::filesystem::path gone = folder_.path() / "gone";
  std::filesystem::create_directory(gone);
  std::filesystem::current_path(gone);
  std::filesystem::remove(gone);
  ListAddRow(kFavouritesList, -1, "Alien\n1\nC");
  program.favouritesChanged = 1;
  DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
  SaveFavouritesCommand();
  ASSERT_EQ(answers.seen().size(), 1u);
  ExpectSaveFailedBox(answers.seen()[0]);
  EXPECT_EQ(program.favouritesChanged, 1);
  std::filesystem::current_path(folder_.path());
}

TEST_F(SalvarButton, AFolderNamedLikeTheFileCannotBeReplaced) {
  std::filesystem::create_directory(kFavouritesFile);
  program.favouritesChanged = 1;
  ListAddRow(kFavouritesList, -1, "Alien\n1\nC");
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    SaveFavouritesCommand();
    ASSERT_EQ(answers.seen().size(), 1u);
    ExpectSaveFailedBox(answers.seen()[0]);
  }
  EXPECT_EQ(program.favouritesChanged, 1);
  EXPECT_TRUE(std::filesystem::is_directory(kFavouritesFile));
  EXPECT_EQ(SaveLeftovers("."), Names{}) << "the new file is cleaned away";

  // Saving the empty list cannot delete a folder either, and says so.
  ListClear(kFavouritesList);
  DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
  SaveFavouritesCommand();
  ASSERT_EQ(answers.seen().size(), 1u);
  ExpectSaveFailedBox(answers.seen()[0]);
  EXPECT_EQ(program.favouritesChanged, 1);
}

TEST_F(SalvarButton, AReadOnlyFolderKeepsTheOldFileAndTheFlag) {
  MountedFolder disk(folder_.path() / "disk");
  if (!disk.ok()) GTEST_SKIP() << disk.why();
  const std::string old = "Alien#1#C\r\n";
  PutFile(kFavouritesFile, old);
  LoadFavourites();
  ListAddRow(kFavouritesList, -1, "Zoo\n2\nC");
  program.favouritesChanged = 1;
  ASSERT_TRUE(disk.SetReadOnly(true));
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    SaveFavouritesCommand();
    ASSERT_EQ(answers.seen().size(), 1u);
    ExpectSaveFailedBox(answers.seen()[0]);
  }
  EXPECT_EQ(program.favouritesChanged, 1);
  EXPECT_EQ(FileBytes(kFavouritesFile), old);
  ASSERT_TRUE(disk.SetReadOnly(false));
  DialogAnswers none({});
  SaveFavouritesCommand();
  EXPECT_TRUE(none.seen().empty());
  EXPECT_EQ(program.favouritesChanged, 0);
  EXPECT_EQ(FileBytes(kFavouritesFile), "Alien#1#C\r\nZoo#2#C\r\n");
}

TEST_F(SalvarButton, AFullDiskKeepsTheOldFileWholeAndLeavesNoPieceBehind) {
  MountedFolder disk(folder_.path() / "disk", "64k");
  if (!disk.ok()) GTEST_SKIP() << disk.why();
  const std::string old = "Alien#1#C\r\n";
  // A short list fails only when the buffer is written out at the close; a long title fails
  // on its own write.
  for (std::size_t length : {100u, 30000u}) {
    SCOPED_TRACE(length);
    PutFile(kFavouritesFile, old);
    LoadFavourites();
    const Text title(length, 'L');
    ListAddRow(kFavouritesList, -1, title + "\n2\nC");
    program.favouritesChanged = 1;
    disk.Fill("relleno");
    {
      DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
      SaveFavouritesCommand();
      ASSERT_EQ(answers.seen().size(), 1u);
      ExpectSaveFailedBox(answers.seen()[0]);
    }
    EXPECT_EQ(program.favouritesChanged, 1);
    EXPECT_EQ(FileBytes(kFavouritesFile), old);
    EXPECT_EQ(SaveLeftovers("."), Names{});
    std::filesystem::remove("relleno");
    DialogAnswers none({});
    SaveFavouritesCommand();
    EXPECT_TRUE(none.seen().empty());
    EXPECT_EQ(FileBytes(kFavouritesFile), "Alien#1#C\r\n" + title + "#2#C\r\n");
  }
}

using RecargarButton = FavouritesTest;

TEST_F(RecargarButton, WithoutChangesReloadsWithoutAsking) {
  PutFile(kFavouritesFile, "b#2#C\r\na#1#I\r\n");
  ListAddRow(kFavouritesList, -1, "stale\n9\nC");
  DialogAnswers none({});
  ReloadFavourites();
  EXPECT_TRUE(none.seen().empty());
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"a", "1", "I"}, {"b", "2", "C"}}));
}

TEST_F(RecargarButton, ChangesAnsweredYesAreSavedThenReloaded) {
  PutFile(kFavouritesFile, "b#2#C\r\n");
  LoadFavourites();
  ListAddRow(kFavouritesList, -1, "a\n1\nI");
  program.favouritesChanged = 1;
  DialogAnswers answers({DialogAnswers::Button(kAnswerYes)});
  ReloadFavourites();
  ASSERT_EQ(answers.seen().size(), 1u);
  ExpectQuestionBox(answers.seen()[0]);
  EXPECT_EQ(FileBytes(kFavouritesFile), "b#2#C\r\na#1#I\r\n");
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"a", "1", "I"}, {"b", "2", "C"}}));
  EXPECT_EQ(program.favouritesChanged, 0);
}

TEST_F(RecargarButton, ChangesAnsweredNoAreThrownAwayByTheReload) {
  PutFile(kFavouritesFile, "b#2#C\r\n");
  LoadFavourites();
  ListAddRow(kFavouritesList, -1, "a\n1\nI");
  program.favouritesChanged = 1;
  DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
  ReloadFavourites();
  ASSERT_EQ(answers.seen().size(), 1u);
  ExpectQuestionBox(answers.seen()[0]);
  EXPECT_EQ(FileBytes(kFavouritesFile), "b#2#C\r\n");
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"b", "2", "C"}}));
  EXPECT_EQ(program.favouritesChanged, 0);
}

TEST_F(RecargarButton, ChangesAnsweredNoStayWhenThereIsNoFile) {
  ListAddRow(kFavouritesList, -1, "a\n1\nI");
  program.favouritesChanged = 1;
  DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
  ReloadFavourites();
  ASSERT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"a", "1", "I"}}));
  EXPECT_EQ(program.favouritesChanged, 0);
  EXPECT_FALSE(std::filesystem::exists(kFavouritesFile));
}

TEST_F(RecargarButton, AYesWhoseSaveFailsKeepsTheChangesInsteadOfReloadingOverThem) {
  std::filesystem::create_directory(kFavouritesFile);
  ListAddRow(kFavouritesList, -1, "a\n1\nI");
  program.favouritesChanged = 1;
  DialogAnswers answers({DialogAnswers::Button(kAnswerYes), DialogAnswers::Button(kAnswerOk)});
  ReloadFavourites();
  ASSERT_EQ(answers.seen().size(), 2u);
  ExpectQuestionBox(answers.seen()[0]);
  ExpectSaveFailedBox(answers.seen()[1]);
  EXPECT_EQ(FavouriteRows(), (std::vector<Row>{{"a", "1", "I"}}));
  EXPECT_EQ(program.favouritesChanged, 1);
}

TEST_F(RecargarButton, TheQuestionAnswersTrueOnlyForYes) {
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerYes)});
    EXPECT_TRUE(AskSaveFavourites());
  }
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
    EXPECT_FALSE(AskSaveFavourites());
  }
  DialogAnswers answers({DialogAnswers::Close()});
  EXPECT_FALSE(AskSaveFavourites()) << "closing the box is no Yes";
  ASSERT_EQ(answers.seen().size(), 1u);
  ExpectQuestionBox(answers.seen()[0]);
}

}  // namespace
