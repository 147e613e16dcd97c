#pragma once
// Helpers of the favourites tests: a fresh working directory, a window holding the titles list
// and the favourites list as the program lays them out (the favourites list attached to the
// column sorter and sorted once, as at start-up), and the rows of a list as plain records.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/columnsort/columnsort.h"
#include "services/gui/gui.h"
#include "services/text/text.h"

namespace favtest {

// The working directory of one test: new and empty, removed again afterwards.
class WorkingFolder {
 public:
  WorkingFolder() : previous_(std::filesystem::current_path()) {
    path_ = std::filesystem::temp_directory_path() /
            ("cinevarta-fav-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~WorkingFolder() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::filesystem::path previous_, path_;
};

inline std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void PutFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// This thread's own mount namespace, made once, in which the tests may mount without touching
// the machine's mounts; false where that is not allowed (it needs root).
inline bool PrivateMountNamespace() {
  static const bool made = ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  return made;
}

// A small file system of its own as the working directory, made the way a user's machine fails:
// a tmpfs in this thread's private mount namespace, which can be remounted read-only (EROFS) or
// filled to the last byte (ENOSPC). `ok()` is false where mounting is not allowed; `why()` says
// what failed, so a test can skip with the reason.
class MountedFolder {
 public:
  explicit MountedFolder(const std::filesystem::path& where, const char* size = "64k")
      : previous_(std::filesystem::current_path()), path_(where) {
    std::filesystem::create_directories(path_);
    if (!PrivateMountNamespace()) {
      why_ = "no private mount namespace here (it needs root); the whole-program fault tests "
             "make this fault for an ordinary user too";
      return;
    }
    const std::string options = std::string("size=") + size;
    if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) != 0) {
      why_ = "tmpfs cannot be mounted here";
      return;
    }
    mounted_ = true;
    std::filesystem::current_path(path_);
  }
  ~MountedFolder() {
    std::filesystem::current_path(previous_);
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  MountedFolder(const MountedFolder&) = delete;
  MountedFolder& operator=(const MountedFolder&) = delete;

  bool ok() const { return mounted_; }
  const std::string& why() const { return why_; }
  bool SetReadOnly(bool readOnly) {
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return ::mount("tmpfs", path_.c_str(), "tmpfs", flags, nullptr) == 0;
  }
  // Fills the file system with a file of that name until no byte more fits.
  void Fill(const char* name) {
    std::FILE* filler = std::fopen(name, "wb");
    if (filler == nullptr) return;
    std::setvbuf(filler, nullptr, _IONBF, 0);
    const std::string block(512, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
    }
    while (std::fputc('f', filler) != EOF) {
    }
    std::fclose(filler);
  }

 private:
  std::filesystem::path previous_, path_;
  bool mounted_ = false;
  std::string why_;
};

struct Row {
  Text title, id, letter;
  bool operator==(const Row&) const = default;
};

inline void PrintTo(const Row& row, std::ostream* out) {
  *out << "{\"" << row.title << "\", \"" << row.id << "\", \"" << row.letter << "\"}";
}

inline std::vector<Row> ListRows(int list) {
  std::vector<Row> rows;
  const auto count = ListCount(list);
  for (int i = 0; i < count; ++i)
    rows.push_back({ListCellText(list, i, 0), ListCellText(list, i, 1), ListCellText(list, i, 2)});
  return rows;
}

inline std::vector<Row> FavouriteRows() { return ListRows(kFavouritesList); }

inline void AddHit(const Row& row) {
  ListAddRow(kTitlesList, -1, row.title + '\n' + row.id + '\n' + row.letter);
}

// Window 1 with the two lists where the program puts them, program variables as after start-up.
inline void MakeFavouritesWindow() {
  ResetProgramVariables();
  program.lineBreak = "\r\n";
  program.currentSource = kSourceCulturalia;
  WindowOpen(kMainWindow, 0, 0, 795, 560, "Cinevarta - v0.9.4.b"_t,
             kWindowCentre | kWindowTitleBar | kWindowSystemMenu);
  const int flags = kListFullRowSelect | kListGridLines | kListKeepSelection;
  GadgetCreateList(kTitlesList, 10, 110, 230, 200, "Títulos Encontrados"_t, 195, flags);
  ListAddColumn(kTitlesList, 1, "Indice"_t, 0);
  ListAddColumn(kTitlesList, 2, "bd"_t, 29);
  GadgetCreateList(kFavouritesList, 10, 350, 230, 160, "Películas Favoritas"_t, 160, flags);
  ListAddColumn(kFavouritesList, 1, "Indice"_t, 0);
  ListAddColumn(kFavouritesList, 2, "bd"_t, 29);
  ColumnSorterInit();
  if (ColumnSorterAttach(kFavouritesList, kHeaderMarkArrowLeft) == kSorterDone) {
    ColumnSorterSetKind(kFavouritesList, 0, kSortKindTextNoCase);
    ColumnSorterSortNow(kFavouritesList, 0, kSortAscending);
  }
}

inline void CloseFavouritesWindow() {
  WindowClose(kMainWindow);
  ResetProgramVariables();
}

// A test with its own working directory and a fresh favourites window.
class FavouritesTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeFavouritesWindow(); }
  void TearDown() override { CloseFavouritesWindow(); }
  WorkingFolder folder_;
};

}  // namespace favtest
