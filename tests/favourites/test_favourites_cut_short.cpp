// A save of favoritos.ini killed after each of its steps in turn, in the spirit of SQLite's crash
// tests. A child program (save_child/) loads the file and saves a new list under strace, which
// kills it with SIGKILL on entry to the Nth call of one system call, that is right after the
// step before it; every call of every kind that the load and the save make is a kill point.
// After each kill the next start's load shows the old list or the new one, whole: never a mix,
// a short list, or an older list a kept copy held. One row per way a save goes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "favourites/favourites.h"
#include "favourites_fixture.h"
#include "tests/support/dialogs.h"

namespace {

namespace fs = std::filesystem;
using favtest::FavouriteRows;
using favtest::PutFile;
using favtest::Row;

const std::string kOld = "Alien#1#C\r\nBlade Runner#2#I\r\nMetropolis#4#C\r\nZoo#3#C\r\n";
const std::vector<Row> kOldRows = {
    {"Alien", "1", "C"}, {"Blade Runner", "2", "I"}, {"Metropolis", "4", "C"}, {"Zoo", "3", "C"}};
// Shorter than the old list, so that a write in place must also cut the file.
const std::string kNew = "Alien#1#C\r\nSolaris#5#I\r\n";
const std::vector<Row> kNewRows = {{"Alien", "1", "C"}, {"Solaris", "5", "I"}};
const std::string kOlder = "Nosferatu#9#C\r\n";  // a kept copy left by a save cut short long ago

enum class Setup {
  kPlain,                // replaced by a new file renamed over it
  kHardLinked,           // written in place after a kept copy
  kReadOnlyFolder,       // written in place without a copy: the saver may not write the folder
  kNoFileBesideACopy,    // no file, and a kept copy of an older list beside its name
};

struct Way {
  const char* what;
  Setup setup;
  std::string before, list;  // the file before the save (none without a file), the list saved
  std::vector<Row> oldRows, newRows;
};

const Way kWays[] = {
    {"a plain file, renamed over", Setup::kPlain, kOld, kNew, kOldRows, kNewRows},
    {"a file with a second name, in place", Setup::kHardLinked, kOld, kNew, kOldRows, kNewRows},
    {"an empty list, a file with a second name", Setup::kHardLinked, kOld, "", kOldRows, {}},
    {"a folder the saver may not write", Setup::kReadOnlyFolder, kOld, kNew, kOldRows, kNewRows},
    {"no file, an older list kept beside it", Setup::kNoFileBesideACopy, "", kNew, {}, kNewRows},
};

// Reachable by anyone: the child runs as nobody in one row.
constexpr auto kOpenToAll = static_cast<fs::perms>(0755);

class FavouritesCutShort : public favtest::FavouritesTest {
 protected:
  void SetUp() override {
    FavouritesTest::SetUp();
    fs::permissions(folder_.path(), kOpenToAll);
    child_ = folder_.path() / "save_child";
    fs::copy_file(SAVE_CHILD, child_);
    work_ = folder_.path() / "lista";
  }

  void TearDown() override {
    fs::current_path(folder_.path());
    fs::permissions(work_, fs::perms::owner_all, fs::perm_options::add);
    FavouritesTest::TearDown();
  }

  // The folder as the row has it before the save; the test's own working directory.
  void Prepare(const Way& way) {
    fs::current_path(folder_.path());
    if (fs::exists(work_)) fs::permissions(work_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(work_);
    fs::create_directory(work_);
    fs::permissions(work_, kOpenToAll);
    fs::current_path(work_);
    if (way.setup == Setup::kNoFileBesideACopy) {
      PutFile("favoritos.ini.copia-Ab12Cd", kOlder);
      return;
    }
    PutFile(kFavouritesFile, way.before);
    if (way.setup == Setup::kHardLinked) fs::create_hard_link(kFavouritesFile, "otro-nombre.ini");
    if (way.setup == Setup::kReadOnlyFolder) {
      // Root may write any folder: the child then saves as nobody, to whom this folder and the
      // file are another user's. An ordinary user takes the write bit off their own folder.
      if (::geteuid() == 0)
        fs::permissions(kFavouritesFile, static_cast<fs::perms>(0666));
      else
        fs::permissions(work_, fs::perms::owner_write, fs::perm_options::remove);
    }
  }

  // Runs the child under strace with these options, saving or only starting; its wait status.
  int RunChild(const Way& way, const std::vector<std::string>& options, bool save) const {
    std::vector<std::string> args = {"strace", "-qq"};
    if (way.setup == Setup::kReadOnlyFolder && ::geteuid() == 0)
      args.insert(args.end(), {"-u", "nobody"});
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(child_.string());
    if (save) args.push_back(way.list);
    // Made before the fork: the child of a process with threads may not allocate.
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execvp("strace", argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
  }

  // How many calls of each system call the child makes, starting and ending or loading and
  // saving too; false when it did not end well.
  bool Calls(const Way& way, bool save, std::map<std::string, int>& calls) {
    const fs::path log = folder_.path() / "calls.log";
    Prepare(way);
    const int status = RunChild(way, {"-o", log.string()}, save);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      ADD_FAILURE() << (save ? "the save failed" : "the child did not start") << ": " << status;
      return false;
    }
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
      const std::size_t open = line.find('(');
      if (open != std::string::npos && open > 0 && line[0] != '-' && line[0] != '+')
        ++calls[line.substr(0, open)];
    }
    return true;
  }

  // A fresh start's load, answering the box that says a kept copy was put back.
  std::vector<Row> Load() {
    fs::current_path(work_);
    ListClear(kFavouritesList);
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    LoadFavourites();
    return FavouriteRows();
  }

  fs::path child_, work_;
};

TEST_F(FavouritesCutShort, AfterAKillAtAnyStepTheNextLoadShowsTheOldListOrTheNewOne) {
  int killPoints = 0;
  for (const Way& way : kWays) {
    SCOPED_TRACE(way.what);
    std::map<std::string, int> starting, saving;
    ASSERT_TRUE(Calls(way, false, starting) && Calls(way, true, saving));
    EXPECT_EQ(Load(), way.newRows) << "after a save that was not cut";
    int oldSeen = 0, newSeen = 0;
    for (const auto& [call, count] : saving) {
      const auto started = starting.find(call);
      for (int n = started == starting.end() ? 1 : started->second + 1; n <= count; ++n) {
        SCOPED_TRACE("killed on entry to " + call + " number " + std::to_string(n));
        Prepare(way);
        const std::string inject = "inject=" + call + ":signal=SIGKILL:when=" + std::to_string(n);
        const int status = RunChild(way, {"-o", "/dev/null", "-e", inject}, true);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
        const std::vector<Row> shown = Load();
        if (shown == way.oldRows) ++oldSeen;
        else if (shown == way.newRows) ++newSeen;
        else ADD_FAILURE() << "a list that is neither the old nor the new one, "
                           << shown.size() << " rows";
        ++killPoints;
      }
    }
    // The kills fell on both sides of the moment the new list takes over.
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(newSeen, 0);
    std::printf("%s: %d kills left the old list, %d the new one\n", way.what, oldSeen, newSeen);
  }
  std::printf("%d kill points\n", killPoints);
}

}  // namespace
