// favoritos.ini in the conditions a user's disk puts it in: read-only, unreadable, a symbolic
// link, one of two hard links, a private or another user's file, and two line forms that were
// once misread. One row per condition, worked in the whole program with real clicks: the list
// shown after start-up, what "Salvar" (or the way out) then does, and the file's bytes, mode,
// owner and kind afterwards, with nothing else left in the folder. scripts/test.sh runs these
// as root and again as an unprivileged user, for whom permissions mean something.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "favourites/favourites.h"
#include "services/gui/gui.h"
#include "tests/support/app_fixture.h"
#include "tests/support/dialogs.h"

namespace {

namespace fs = std::filesystem;

const std::string kThree = "Alien#1#C\r\nBlade Runner#2#I\r\nZoo#3#C\r\n";
const std::string kFour = "Alien#1#C\r\nBlade Runner#2#I\r\nMetropolis#4#C\r\nZoo#3#C\r\n";
const std::vector<std::string> kThreeShown = {"Alien|1|C", "Blade Runner|2|I", "Zoo|3|C"};
const std::vector<std::string> kFourShown = {"Alien|1|C", "Blade Runner|2|I", "Metropolis|4|C",
                                             "Zoo|3|C"};

// Where the favourites really are when favoritos.ini is a link, and the second name of a
// hard-linked file.
const fs::path kLinkTarget = fs::path("sincronizada") / "favoritos-reales.ini";
const fs::path kSecondName = "copia-de-favoritos.ini";
constexpr uid_t kNobody = 65534;

enum class Kind { kPlain, kSymlink, kHardLinked };
enum class Then { kSalvar, kExitYesThenNo };
enum class Who { kAnyone, kUserOnly, kRootOnly };

struct Condition {
  const char* id;
  std::string bytes;  // in the real file, before start-up
  mode_t mode;
  Kind kind;
  bool addFilm;  // "Metropolis" added with "Añadir a Favoritos" before what follows
  Then then;
  std::vector<std::string> shown;  // after start-up, "title|id|letter" from the top
  bool refused;                    // the save shows the Error box and writes nothing
  std::string bytesAfter;
  Who who = Who::kAnyone;
  bool otherOwner = false;  // the file belongs to nobody (made so by root)
};

const Condition kConditions[] = {
    {"ReadOnly", kThree, 0444, Kind::kPlain, true, Then::kSalvar, kThreeShown, true, kThree},
    // Saving the list as loaded (empty) would delete the file whose films were never shown.
    {"Unreadable", kThree, 0000, Kind::kPlain, false, Then::kSalvar, {}, true, kThree,
     Who::kUserOnly},
    {"SymbolicLink", kThree, 0640, Kind::kSymlink, true, Then::kSalvar, kThreeShown, false, kFour},
    {"HardLinked", kThree, 0644, Kind::kHardLinked, true, Then::kSalvar, kThreeShown, false, kFour},
    {"Private", kThree, 0600, Kind::kPlain, true, Then::kSalvar, kThreeShown, false, kFour},
    {"AnotherUsers", kThree, 0664, Kind::kPlain, true, Then::kSalvar, kThreeShown, false, kFour,
     Who::kRootOnly, true},
    {"ReadOnlyAtExit", kThree, 0444, Kind::kPlain, true, Then::kExitYesThenNo, kThreeShown, true,
     kThree},
    {"TwoLineForm", "\r\n123\r\nAlien\r\n456\r\n", 0644, Kind::kPlain, false, Then::kSalvar,
     {"|123|C", "Alien|456|C"}, false, "#123#C\r\nAlien#456#C\r\n"},
    {"MoreFieldsThanThree", "Alien#123#C#x\r\n", 0644, Kind::kPlain, false, Then::kSalvar,
     {"Alien|123|C"}, false, "Alien#123#C\r\n"},
};

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct stat StatOf(const fs::path& file, bool followLink = true) {
  struct stat st {};
  const int result = followLink ? ::stat(file.c_str(), &st) : ::lstat(file.c_str(), &st);
  EXPECT_EQ(result, 0) << file;
  return st;
}

std::vector<std::string> Shown() {
  std::vector<std::string> rows;
  for (int i = 0; i < ListCount(kFavouritesList); ++i)
    rows.push_back(ListCellText(kFavouritesList, i, 0) + "|" + ListCellText(kFavouritesList, i, 1) +
                   "|" + ListCellText(kFavouritesList, i, 2));
  return rows;
}

// Every name in the folder and below it, relative and sorted.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    names.push_back(fs::relative(entry.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

void ExpectErrorBox(const DialogSeen& box) {
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.text, QString::fromUtf8("No se pudo guardar la lista de favoritos.\n\nfavoritos.ini"));
}

void ExpectQuestion(const DialogSeen& box) {
  EXPECT_EQ(box.caption, "Cambios en FAVORITOS sin salvar");
}

void PrintTo(const Condition& c, std::ostream* out) { *out << c.id; }

class FavouritesFileConditions : public ::testing::TestWithParam<Condition> {};

TEST_P(FavouritesFileConditions, KeepWhatTheFileIsAndTellAFailedSave) {
  const Condition& c = GetParam();
  const bool root = ::geteuid() == 0;
  if (c.who == Who::kUserOnly && root)
    GTEST_SKIP() << "root reads and writes whatever the mode says; scripts/test.sh checks this "
                    "condition again as an unprivileged user";
  if (c.who == Who::kRootOnly && !root) GTEST_SKIP() << "only root may give a file to another user";

  struct stat before {};
  AppSession app([&](const fs::path& dir) {
    fs::path real = dir / "favoritos.ini";
    if (c.kind == Kind::kSymlink) {
      fs::create_directory(dir / kLinkTarget.parent_path());
      real = dir / kLinkTarget;
      fs::create_symlink(kLinkTarget, dir / "favoritos.ini");
    }
    std::ofstream(real, std::ios::binary) << c.bytes;
    if (c.kind == Kind::kHardLinked) fs::create_hard_link(real, dir / kSecondName);
    if (c.otherOwner) {
      ASSERT_EQ(::chown(real.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(::chmod(real.c_str(), c.mode), 0);
    before = StatOf(real);
  });
  const fs::path file = app.dir() / "favoritos.ini";
  const std::vector<std::string> namesBefore = Names(app.dir());
  EXPECT_EQ(Shown(), c.shown);

  if (c.addFilm) {
    ListAddRow(kTitlesList, -1, "Metropolis\n4\nC");
    ListSelectRow(kTitlesList, 0, true);
    app.DiscardQueued();
    app.Click(kAddFavouriteButton);
    app.RunQueued();
    ASSERT_EQ(Shown(), kFourShown);
  }
  if (c.then == Then::kSalvar) {
    std::vector<DialogAnswers::Step> steps;
    if (c.refused) steps.push_back(DialogAnswers::Button(kAnswerOk));
    DialogAnswers answers(steps);
    app.Click(kSaveFavouritesButton);
    app.RunQueued();
    ASSERT_EQ(answers.seen().size(), steps.size());
    if (c.refused) ExpectErrorBox(answers.seen()[0]);
    EXPECT_EQ(program.favouritesChanged, c.refused && c.addFilm ? 1 : 0);
  } else {
    app.Click(kExitButton);
    app.RunQueued();
    {
      DialogAnswers answers({DialogAnswers::Button(kAnswerYes), DialogAnswers::Button(kAnswerOk)});
      EXPECT_FALSE(app.ShutDown()) << "the program ended with the films the user asked to keep";
      ASSERT_EQ(answers.seen().size(), 2u);
      ExpectQuestion(answers.seen()[0]);
      ExpectErrorBox(answers.seen()[1]);
    }
    ASSERT_NE(app.Window(kMainWindow), nullptr);
    EXPECT_TRUE(app.Window(kMainWindow)->isVisible());
    EXPECT_EQ(program.quitRequested, 0);
    EXPECT_EQ(program.favouritesChanged, 1);
    EXPECT_EQ(Shown(), kFourShown);
    // The next way out asks again, and a No ends the program as the user chose.
    app.Click(kExitButton);
    app.RunQueued();
    DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
    EXPECT_TRUE(app.ShutDown());
    ASSERT_EQ(answers.seen().size(), 1u);
    ExpectQuestion(answers.seen()[0]);
    EXPECT_EQ(app.Window(kMainWindow), nullptr);
  }

  const fs::path real = c.kind == Kind::kSymlink ? app.dir() / kLinkTarget : file;
  const struct stat after = StatOf(real);
  EXPECT_EQ(after.st_mode & 07777, c.mode);
  if ((c.mode & S_IRUSR) == 0) ::chmod(real.c_str(), c.mode | S_IRUSR);  // so that the test reads it
  EXPECT_EQ(Bytes(real), c.bytesAfter);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(S_ISLNK(StatOf(file, false).st_mode), c.kind == Kind::kSymlink);
  if (c.kind == Kind::kHardLinked) {
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(StatOf(app.dir() / kSecondName).st_ino, after.st_ino);
  }
  EXPECT_EQ(Names(app.dir()), namesBefore) << "a new file or a copy was left behind";
}

INSTANTIATE_TEST_SUITE_P(, FavouritesFileConditions, ::testing::ValuesIn(kConditions),
                         [](const ::testing::TestParamInfo<Condition>& info) { return info.param.id; });

// A file that could not be read is kept from every save until a load succeeds, even once it has
// become readable: its favourites were never shown.
TEST(FavouritesUnreadFile, IsKeptFromEverySaveUntilRecargarReadsIt) {
  AppSession app([](const fs::path& dir) { fs::create_directory(dir / "favoritos.ini"); });
  const fs::path file = app.dir() / "favoritos.ini";
  EXPECT_TRUE(Shown().empty());
  fs::remove(file);
  std::ofstream(file, std::ios::binary) << kThree;
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    app.Click(kSaveFavouritesButton);
    app.RunQueued();
    ASSERT_EQ(answers.seen().size(), 1u);
    ExpectErrorBox(answers.seen()[0]);
  }
  EXPECT_EQ(Bytes(file), kThree);

  DialogAnswers none({});
  app.Click(kReloadFavouritesButton);
  app.RunQueued();
  EXPECT_EQ(Shown(), kThreeShown);
  ListAddRow(kTitlesList, -1, "Metropolis\n4\nC");
  ListSelectRow(kTitlesList, 0, true);
  app.DiscardQueued();
  app.Click(kAddFavouriteButton);
  app.Click(kSaveFavouritesButton);
  app.RunQueued();
  EXPECT_TRUE(none.seen().empty());
  EXPECT_EQ(Bytes(file), kFour);
  EXPECT_EQ(program.favouritesChanged, 0);
}

}  // namespace
