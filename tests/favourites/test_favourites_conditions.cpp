// favoritos.ini in the conditions a user's disk puts it in: read-only, unreadable, a symbolic
// link, one of two hard links, a private or another user's file, a file with an ACL and other
// extended attributes, a file mounted on its own, a link planted by another user in a sticky
// folder, a file-size limit, and two line forms that were once misread. One row per condition,
// worked in the whole program with real clicks: the list shown after start-up, what "Salvar"
// (or the way out) then does, and the file's bytes, mode, owner, attributes and kind afterwards,
// with nothing else left in the folder. scripts/test.sh runs these as root and again as an
// unprivileged user, for whom permissions mean something.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "favourites/favourites.h"
#include "services/gui/gui.h"
#include "favourites_fixture.h"
#include "tests/support/app_fixture.h"
#include "tests/support/dialogs.h"
#include "tests/support/save_leftovers.h"

namespace {

namespace fs = std::filesystem;

const std::string kThree = "Alien#1#C\r\nBlade Runner#2#I\r\nZoo#3#C\r\n";
const std::string kFour = "Alien#1#C\r\nBlade Runner#2#I\r\nMetropolis#4#C\r\nZoo#3#C\r\n";
const std::vector<std::string> kThreeShown = {"Alien|1|C", "Blade Runner|2|I", "Zoo|3|C"};
const std::vector<std::string> kFourShown = {"Alien|1|C", "Blade Runner|2|I", "Metropolis|4|C",
                                             "Zoo|3|C"};

// Where the favourites really are when favoritos.ini is a link, the second name of a
// hard-linked file, and the file mounted on favoritos.ini.
const fs::path kLinkTarget = fs::path("sincronizada") / "favoritos-reales.ini";
const fs::path kSecondName = "copia-de-favoritos.ini";
const fs::path kMountedFile = fs::path("contenedor") / "favoritos.ini";
constexpr uid_t kNobody = 65534;

// setfacl -m u:nobody:rw on a 0644 file, as the kernel keeps it in "system.posix_acl_access":
// version 2, then (tag, permissions, id) sorted by tag: owner rw, nobody rw, group r, mask rw,
// others r. The mask shows as the mode's group bits: 0664.
std::string AclNobodyMayWrite() {
  constexpr std::uint32_t kNoId = 0xFFFFFFFF;
  struct Entry {
    std::uint16_t tag, permissions;
    std::uint32_t id;
  };
  const Entry entries[] = {{0x01, 6, kNoId}, {0x02, 6, kNobody}, {0x04, 4, kNoId},
                           {0x10, 6, kNoId}, {0x20, 4, kNoId}};
  const std::uint32_t version = 2;
  std::string acl(reinterpret_cast<const char*>(&version), sizeof version);
  acl.append(reinterpret_cast<const char*>(entries), sizeof entries);
  return acl;
}

// The file-size limit of the row that runs under one: above the old file, below the new.
constexpr rlim_t kSizeLimit = 50;

enum class Kind {
  kPlain, kSymlink, kHardLinked, kWithAttributes, kMountedOnItsOwn, kPlantedLink,
  kInAReadOnlyFolder  // a plain file in a folder the user may not write (no new file there)
};
// kSalvarPastSizeLimit: "Salvar" in a child process that starts with the system's default action
// for SIGXFSZ (the end of the process) under a file-size limit the new list does not fit.
enum class Then { kSalvar, kExitYesThenNo, kSalvarPastSizeLimit };
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
    {"AclAndAttributes", kThree, 0664, Kind::kWithAttributes, true, Then::kSalvar, kThreeShown,
     false, kFour},
    {"MountedOnItsOwn", kThree, 0644, Kind::kMountedOnItsOwn, true, Then::kSalvar, kThreeShown,
     false, kFour, Who::kRootOnly},
    // The kernel will not follow the link for the load, so the list starts empty; saving that
    // empty list once deleted the link's target, whose favourites were never shown.
    {"PlantedLinkInAStickyFolder", kThree, 0644, Kind::kPlantedLink, false, Then::kSalvar, {},
     true, kThree, Who::kRootOnly},
    {"WritableInAReadOnlyFolder", kThree, 0644, Kind::kInAReadOnlyFolder, true, Then::kSalvar,
     kThreeShown, false, kFour, Who::kUserOnly},
    {"FileSizeLimit", kThree, 0644, Kind::kHardLinked, true, Then::kSalvarPastSizeLimit,
     kThreeShown, true, kThree},
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
    names.push_back(entry.path().lexically_relative(dir).string());
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

// Every extended attribute of a file (the ACL among them), by name.
std::map<std::string, std::string> Attributes(const fs::path& file) {
  std::map<std::string, std::string> attributes;
  char names[4096];
  const ssize_t length = ::listxattr(file.c_str(), names, sizeof names);
  for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
    char value[4096];
    const ssize_t size = ::getxattr(file.c_str(), names + at, value, sizeof value);
    if (size >= 0) attributes[names + at].assign(value, static_cast<std::size_t>(size));
  }
  return attributes;
}

// Why this machine cannot make the condition; empty when it can.
std::string WhyNot(const Condition& c) {
  const bool root = ::geteuid() == 0;
  if (c.who == Who::kUserOnly && root)
    return "root reads and writes whatever the mode says; scripts/test.sh checks this condition "
           "again as an unprivileged user";
  if (c.who == Who::kRootOnly && !root) {
    if (c.kind == Kind::kMountedOnItsOwn) return "only root may mount a file";
    if (c.kind == Kind::kPlantedLink) return "only root may plant a link owned by another user";
    return "only root may give a file to another user";
  }
  if (c.kind == Kind::kMountedOnItsOwn && !favtest::PrivateMountNamespace())
    return "no private mount namespace here, so no file can be mounted";
  if (c.kind == Kind::kPlantedLink && Bytes("/proc/sys/fs/protected_symlinks") != "1\n")
    return "fs.protected_symlinks is not 1 here: the kernel follows a planted link for the load "
           "too, so there is no refusal to agree with";
  return {};
}

void PrintTo(const Condition& c, std::ostream* out) { *out << c.id; }

// The row worked in the program: start-up on the prepared folder, the clicks, the checks.
void RunCondition(const Condition& c) {
  struct stat before {};
  std::map<std::string, std::string> attributesBefore;
  AppSession app([&](const fs::path& dir) {
    fs::path real = dir / "favoritos.ini";
    if (c.kind == Kind::kSymlink || c.kind == Kind::kPlantedLink) {
      fs::create_directory(dir / kLinkTarget.parent_path());
      real = dir / kLinkTarget;
      fs::create_symlink(kLinkTarget, dir / "favoritos.ini");
    }
    if (c.kind == Kind::kMountedOnItsOwn) {
      fs::create_directory(dir / kMountedFile.parent_path());
      std::ofstream(dir / kMountedFile, std::ios::binary) << c.bytes;
      std::ofstream(real, std::ios::binary).flush();
      ASSERT_EQ(::mount((dir / kMountedFile).c_str(), real.c_str(), nullptr, MS_BIND, nullptr), 0)
          << std::strerror(errno);
    } else {
      std::ofstream(real, std::ios::binary) << c.bytes;
    }
    if (c.kind == Kind::kHardLinked) fs::create_hard_link(real, dir / kSecondName);
    if (c.otherOwner) {
      ASSERT_EQ(::chown(real.c_str(), kNobody, kNobody), 0);
    }
    if (c.kind == Kind::kPlantedLink) {
      // Another user's link in a folder anyone may write, as /tmp is.
      ASSERT_EQ(::lchown((dir / "favoritos.ini").c_str(), kNobody, kNobody), 0);
      fs::permissions(dir, fs::perms::all | fs::perms::sticky_bit);
    }
    ASSERT_EQ(::chmod(real.c_str(), c.mode), 0);
    if (c.kind == Kind::kWithAttributes) {
      const std::string acl = AclNobodyMayWrite();
      const std::string origin = "sincronizada";
      if (::setxattr(real.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
          ::setxattr(real.c_str(), "user.cinevarta.origen", origin.data(), origin.size(), 0) != 0) {
        if (errno == ENOTSUP) GTEST_SKIP() << "this file system keeps no ACL or attributes";
        FAIL() << std::strerror(errno);
      }
    }
    before = StatOf(real);
    attributesBefore = Attributes(real);
    if (c.kind == Kind::kInAReadOnlyFolder)
      fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
  });
  // The folder is made writable again before it goes.
  struct Writable {
    fs::path at;
    ~Writable() {
      if (!at.empty()) fs::permissions(at, fs::perms::owner_write, fs::perm_options::add);
    }
  } writable{c.kind == Kind::kInAReadOnlyFolder ? app.dir() : fs::path()};
  const fs::path file = app.dir() / "favoritos.ini";
  // The mount goes before the folder does.
  struct Unmount {
    fs::path at;
    ~Unmount() {
      if (!at.empty()) ::umount2(at.c_str(), MNT_DETACH);
    }
  } unmount{c.kind == Kind::kMountedOnItsOwn ? file : fs::path()};
  if (::testing::Test::HasFatalFailure() || ::testing::Test::IsSkipped()) return;
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
  if (c.then != Then::kExitYesThenNo) {
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

  const bool linked = c.kind == Kind::kSymlink || c.kind == Kind::kPlantedLink;
  const fs::path real = linked ? app.dir() / kLinkTarget : file;
  const struct stat after = StatOf(real);
  EXPECT_EQ(after.st_mode & 07777, c.mode);
  if ((c.mode & S_IRUSR) == 0) ::chmod(real.c_str(), c.mode | S_IRUSR);  // so that the test reads it
  EXPECT_EQ(Bytes(real), c.bytesAfter);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(Attributes(real), attributesBefore);
  EXPECT_EQ(S_ISLNK(StatOf(file, false).st_mode), linked);
  if (c.kind == Kind::kHardLinked) {
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(StatOf(app.dir() / kSecondName).st_ino, after.st_ino);
  }
  if (c.kind == Kind::kMountedOnItsOwn) {
    EXPECT_EQ(StatOf(app.dir() / kMountedFile).st_ino, after.st_ino);
  }
  EXPECT_EQ(Names(app.dir()), namesBefore) << "a new file or a copy was left behind";
}

// The row in the process of a death test, whose SIGXFSZ does what the system does by default:
// end the process at the first write past the limit. Exits 0 when every check passed.
[[noreturn]] void RunPastSizeLimit(const Condition& c) {
  std::signal(SIGXFSZ, SIG_DFL);
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(2);
  const rlim_t unlimited = limit.rlim_cur;
  limit.rlim_cur = kSizeLimit;
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(2);
  RunCondition(c);
  // The child's failures reach the parent through stderr, which the death test keeps in a file.
  limit.rlim_cur = unlimited;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  const ::testing::TestResult& result =
      *::testing::UnitTest::GetInstance()->current_test_info()->result();
  for (int i = 0; i < result.total_part_count(); ++i) {
    const ::testing::TestPartResult& part = result.GetTestPartResult(i);
    if (part.failed())
      std::fprintf(stderr, "%s:%d: %s\n", part.file_name(), part.line_number(), part.message());
  }
  std::exit(result.Failed() ? 1 : 0);
}

class FavouritesFileConditions : public ::testing::TestWithParam<Condition> {};

TEST_P(FavouritesFileConditions, KeepWhatTheFileIsAndTellAFailedSave) {
  const Condition& c = GetParam();
  if (const std::string why = WhyNot(c); !why.empty()) GTEST_SKIP() << why;
  if (c.then != Then::kSalvarPastSizeLimit) return RunCondition(c);
  // The program itself must turn a write past the limit into a failed write; the threadsafe
  // style starts the test program anew for the child, so nothing of this process is inherited.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RunPastSizeLimit(c), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(, FavouritesFileConditions, ::testing::ValuesIn(kConditions),
                         [](const ::testing::TestParamInfo<Condition>& info) { return info.param.id; });

// A save cut short (the program killed while it wrote the file in place) left the file half
// written beside the copy of the list it had: the next start puts that list back, says so, and
// leaves nothing beside the file.
TEST(FavouritesKeptCopy, IsPutBackAtStartUpAndTheUserTold) {
  DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
  AppSession app([](const fs::path& dir) {
    std::ofstream(dir / "favoritos.ini", std::ios::binary) << kFour.substr(0, 50);
    std::ofstream(dir / "favoritos.ini.copia-Ab12Cd", std::ios::binary) << kThree;
  });
  ASSERT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(answers.seen()[0].caption, QString::fromUtf8("Favoritos recuperados"));
  EXPECT_EQ(answers.seen()[0].text,
            QString::fromUtf8("La última vez, la lista de favoritos no se terminó de guardar.\n"
                              "Se ha recuperado la lista tal como estaba antes de aquel guardado."
                              "\n\nfavoritos.ini"));
  EXPECT_EQ(answers.seen()[0].icon, QMessageBox::Information);
  EXPECT_EQ(Shown(), kThreeShown);
  EXPECT_EQ(Bytes(app.dir() / "favoritos.ini"), kThree);
  EXPECT_EQ(testsupport::SaveLeftovers(app.dir()), std::vector<std::string>{});
}

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
