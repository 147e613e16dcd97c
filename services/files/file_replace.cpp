// Whole-file replacement on POSIX: open(2) lets the kernel follow links (or refuse them), and
// /proc/self/fd names the file it opened; flock keeps the saves of one file one at a time; pwrite
// and fsync make the bytes durable; the xattr calls carry the ACL and the other attributes over
// to a new file; rename(2) switches it in; ftruncate ends an in-place write.
#include "services/files/file_replace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using std::chrono::steady_clock;

// How long a save waits for another program's save of the same file. A save takes a few
// milliseconds plus two syncs; one that holds the file longer is stuck, and this save fails.
constexpr auto kLockWait = std::chrono::seconds(2);
constexpr auto kLockPoll = std::chrono::milliseconds(10);

constexpr std::string_view kNewTag = ".nuevo";
constexpr std::string_view kCopyTag = ".copia";
constexpr std::size_t kUniqueLength = 6;  // "-" and these many letters or digits follow a tag

// A file system that cannot sync (some special ones answer EINVAL) still holds the bytes.
bool Sync(int fd) { return ::fsync(fd) == 0 || errno == EINVAL; }

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Makes a new or removed name in the file's folder durable. Failing here changes nothing for any
// reader: the rename or unlink is done already.
void SyncFolderOf(const fs::path& file) {
  const int fd = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

bool WriteAll(int fd, std::string_view bytes) {
  off_t at = 0;
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
    at += n;
  }
  return true;
}

bool ReadAll(int fd, std::string& bytes) {
  char block[65536];
  off_t at = 0;
  for (;;) {
    const ssize_t n = ::pread(fd, block, sizeof block, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.append(block, static_cast<std::size_t>(n));
    at += n;
  }
}

// The file's whole content becomes `bytes`, durably.
bool Rewrite(int fd, std::string_view bytes) {
  return WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && Sync(fd);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Creates "<file><tag>-XXXXXX" beside the file, a name no other file has (as mkstemp makes
// them, but with the mode asked for, which the umask or the folder's default ACL then cuts as
// for any new file). The descriptor is open for writing; -1 when no file could be made.
int CreateUnique(const fs::path& file, std::string_view tag, mode_t mode, fs::path& made) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = file.string();
    name.append(tag).push_back('-');
    for (std::size_t i = 0; i < kUniqueLength; ++i)
      name.push_back(kLetters[::arc4random_uniform(sizeof kLetters - 1)]);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      made = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// What a save cut short leaves beside `file`: its kept copies ("<name>.copia-XXXXXX") and its
// new files ("<name>.nuevo-XXXXXX", or "<name>.nuevo" from releases that used one fixed name).
struct Leftovers {
  std::vector<fs::path> copies, fresh;
  bool empty() const { return copies.empty() && fresh.empty(); }
};

Leftovers LeftoversOf(const fs::path& file) {
  Leftovers found;
  const std::string base = file.filename().string();
  const auto tagged = [&](const std::string& name, std::string_view tag, bool bareToo) {
    if (name.compare(0, base.size(), base) != 0) return false;
    const std::string_view rest = std::string_view(name).substr(base.size());
    if (rest.substr(0, tag.size()) != tag) return false;
    const std::string_view unique = rest.substr(tag.size());
    return (bareToo && unique.empty()) || (unique.size() == kUniqueLength + 1 && unique[0] == '-');
  };
  std::error_code error;
  for (fs::directory_iterator it(FolderOf(file), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (tagged(name, kCopyTag, false)) found.copies.push_back(it->path());
    if (tagged(name, kNewTag, true)) found.fresh.push_back(it->path());
  }
  return found;
}

// The path of the file open under `fd`, as the kernel names it; empty when it cannot say (no
// /proc) or when that path no longer leads to this very file.
fs::path KernelPath(int fd, const struct stat& st) {
  char target[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
  fs::path path(std::string(target, static_cast<std::size_t>(n)));
  struct stat now {};
  if (!path.is_absolute() || ::lstat(path.c_str(), &now) != 0 || !SameFile(now, st)) return {};
  return path;
}

// The file a name stands for, opened by the kernel for reading and writing and locked against
// other saves.
struct LockedFile {
  int fd = -1;
  struct stat st {};
  fs::path path;  // the kernel's name for it (empty when unknown)
  fs::path base;  // where its new files and kept copies go: beside `path`, or beside the name
  LockedFile() = default;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile() { Close(); }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

enum class Found { kFile, kMissing, kRefused };

bool WaitForLock(int fd, steady_clock::time_point deadline) {
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kLockPoll);
  }
}

// Opens and locks what `name` stands for. kMissing: nothing is there, or a link to nothing.
// kRefused: the kernel would not follow the link or open the file for writing, it is not a
// plain file, it has no write bit, or another save held it too long.
Found OpenLocked(const fs::path& name, LockedFile& file) {
  const auto deadline = steady_clock::now() + kLockWait;
  for (;;) {
    file.Close();
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return errno == ENOENT ? Found::kMissing : Found::kRefused;
    // The user's own protection counts for root too: a file without any write bit was made
    // read-only on purpose, and root would otherwise pass every permission check.
    if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      return Found::kRefused;
    file.fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0) return errno == ENOENT ? Found::kMissing : Found::kRefused;
    if (!WaitForLock(file.fd, deadline) || ::fstat(file.fd, &file.st) != 0 ||
        !S_ISREG(file.st.st_mode))
      return Found::kRefused;
    // Another save may have put a new file under the name, or deleted it, while this one
    // waited: the lock is worth something only on what the name stands for now.
    struct stat now {};
    if (::stat(name.c_str(), &now) == 0 && SameFile(now, file.st)) {
      file.path = KernelPath(file.fd, file.st);
      file.base = file.path.empty() ? name : file.path;
      return Found::kFile;
    }
    if (steady_clock::now() >= deadline) return Found::kRefused;
  }
}

// Removes what a save cut short left, after putting the oldest kept copy back (taken before any
// of those saves wrote, it holds a whole content). Runs under the file's lock, so no copy here
// belongs to a save still running. `putBack` tells whether a copy was put back; false when a
// copy could not be put back or something could not be removed.
bool Settle(const LockedFile& file, bool& putBack) {
  putBack = false;
  const Leftovers left = LeftoversOf(file.base);
  if (!left.copies.empty()) {
    fs::path oldest;
    struct timespec oldestTime {};
    for (const fs::path& copy : left.copies) {
      struct stat st {};
      if (::stat(copy.c_str(), &st) != 0) return false;
      const auto& t = st.st_mtim;
      if (oldest.empty() || t.tv_sec < oldestTime.tv_sec ||
          (t.tv_sec == oldestTime.tv_sec && t.tv_nsec < oldestTime.tv_nsec)) {
        oldest = copy;
        oldestTime = t;
      }
    }
    const int fd = ::open(oldest.c_str(), O_RDONLY | O_CLOEXEC);
    std::string bytes;
    const bool read = fd >= 0 && ReadAll(fd, bytes);
    if (fd >= 0) ::close(fd);
    if (!read || !Rewrite(file.fd, bytes)) return false;
    putBack = true;
  }
  bool removed = true;
  for (const auto* names : {&left.copies, &left.fresh})
    for (const fs::path& name : *names) removed = ::unlink(name.c_str()) == 0 && removed;
  if (!left.empty()) SyncFolderOf(file.base);
  return removed;
}

// The names and values of a file's extended attributes; false when they cannot be read. A file
// system without them has none, which is no failure.
using Attributes = std::map<std::string, std::string>;

bool ReadAttributes(int fd, Attributes& attributes) {
  std::string list;
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) return errno == ENOTSUP;
    list.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return false;  // ERANGE: the list grew meanwhile
  }
  for (std::size_t at = 0; at < list.size();) {
    const std::string name = list.c_str() + at;
    at += name.size() + 1;
    std::string value;
    for (;;) {
      const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
      if (size < 0) return false;
      value.resize(static_cast<std::size_t>(size));
      const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
      if (got >= 0) {
        value.resize(static_cast<std::size_t>(got));
        break;
      }
      if (errno != ERANGE) return false;
    }
    attributes[name] = std::move(value);
  }
  return true;
}

// Gives file `to` exactly the extended attributes of file `from`: what `to` got on its own (a
// folder's default ACL, a security label) and `from` lacks goes; what differs is set. A POSIX
// ACL is the attribute "system.posix_acl_access".
bool CopyAttributes(int from, int to) {
  Attributes had, has;
  if (!ReadAttributes(from, had) || !ReadAttributes(to, has)) return false;
  for (const auto& [name, value] : has)
    if (had.count(name) == 0 && ::fremovexattr(to, name.c_str()) != 0) return false;
  for (const auto& [name, value] : had) {
    const auto same = has.find(name);
    if (same != has.end() && same->second == value) continue;
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

enum class Outcome { kDone, kFailed, kInPlace };

// Writes the new content to a new file beside `target`, gives it what the old file is (`old`,
// null when there is no file yet), and renames it over `target`. kInPlace when the new file
// cannot be given the old one's owner, group or attributes, or cannot be renamed over it.
Outcome ReplaceByRename(const fs::path& target, std::string_view content, const LockedFile* old) {
  const mode_t mode = old != nullptr ? (old->st.st_mode & 07777) : 0666;
  fs::path fresh;
  const int fd = CreateUnique(target, kNewTag, mode, fresh);
  if (fd < 0) return Outcome::kFailed;
  Outcome outcome = Outcome::kDone;
  // The owner first, as changing it clears set-id bits and capabilities; then the attributes;
  // the mode last, which the umask cut and which agrees with the ACL it came with.
  if (old != nullptr && (::fchown(fd, old->st.st_uid, old->st.st_gid) != 0 ||
                         !CopyAttributes(old->fd, fd) || ::fchmod(fd, mode) != 0))
    outcome = Outcome::kInPlace;
  if (outcome == Outcome::kDone && !(WriteAll(fd, content) && Sync(fd))) outcome = Outcome::kFailed;
  if (::close(fd) != 0 && outcome == Outcome::kDone) outcome = Outcome::kFailed;
  if (outcome == Outcome::kDone) {
    if (::rename(fresh.c_str(), target.c_str()) == 0) {
      SyncFolderOf(target);
      return Outcome::kDone;
    }
    // A file mounted on its own cannot be renamed over.
    outcome = errno == EBUSY || errno == EXDEV ? Outcome::kInPlace : Outcome::kFailed;
  }
  ::unlink(fresh.c_str());
  return outcome;
}

// Writes the file where it is, keeping its inode (its other names, its owner, its attributes).
// A whole copy of the old content is made durable beside it first; a write that fails puts the
// old content back, and the copy goes only when the file holds a whole content again. When even
// that fails, the copy stays, and the next load or save puts it back.
bool ReplaceInPlace(const LockedFile& file, std::string_view content) {
  std::string before;
  if (!ReadAll(file.fd, before)) return false;
  fs::path copy;
  const int copyFd = CreateUnique(file.base, kCopyTag, 0600, copy);
  if (copyFd < 0) return false;
  bool stored = WriteAll(copyFd, before) && Sync(copyFd);
  stored = ::close(copyFd) == 0 && stored;
  if (!stored) {
    ::unlink(copy.c_str());
    return false;
  }
  SyncFolderOf(copy);
  // A copy left beside the new content would be put back over it at the next load: the new
  // content counts only once its copy is gone.
  const auto removeCopy = [&copy] { return ::unlink(copy.c_str()) == 0 || errno == ENOENT; };
  const bool written = Rewrite(file.fd, content) && removeCopy();
  if (!written && Rewrite(file.fd, before)) removeCopy();
  SyncFolderOf(copy);
  return written;
}

// What FileReplaceContent and FileDiscardContent write to, settled; kMissing leaves `file` closed.
Found OpenForSave(const Text& name, LockedFile& file) {
  if (name.empty()) return Found::kRefused;
  const Found found = OpenLocked(TextToPath(name), file);
  bool putBack = false;
  if (found == Found::kFile && !Settle(file, putBack)) return Found::kRefused;
  return found;
}

}  // namespace

int FileReplaceContent(const Text& name, std::string_view content) {
  const fs::path path = TextToPath(name);
  LockedFile file;
  Found found = OpenForSave(name, file);
  if (found == Found::kMissing) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
      return errno == ENOENT && ReplaceByRename(path, content, nullptr) == Outcome::kDone ? 1 : 0;
    // A link to nothing: the kernel makes its target (or refuses to), which is then written
    // like any file, so the link stays a link.
    const int made = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
    if (made < 0) return 0;
    ::close(made);
    found = OpenForSave(name, file);
  }
  if (found != Found::kFile) return 0;
  // A rename would part hard links, and would give another user's file to this process's user.
  const uid_t self = ::geteuid();
  const bool keepInode = file.path.empty() || file.st.st_nlink > 1 ||
                         (self != 0 && file.st.st_uid != self);
  if (!keepInode) {
    const Outcome outcome = ReplaceByRename(file.path, content, &file);
    if (outcome != Outcome::kInPlace) return outcome == Outcome::kDone ? 1 : 0;
  }
  return ReplaceInPlace(file, content) ? 1 : 0;
}

int FileDiscardContent(const Text& name) {
  LockedFile file;
  const Found found = OpenForSave(name, file);
  if (found != Found::kFile) return found == Found::kMissing ? 1 : 0;
  // Deleting one name of several would leave the others with the old content; a file mounted
  // on its own cannot be deleted.
  if (file.path.empty() || file.st.st_nlink > 1) return ReplaceInPlace(file, {}) ? 1 : 0;
  if (::unlink(file.path.c_str()) != 0)
    return (errno == EBUSY || errno == EXDEV) && ReplaceInPlace(file, {}) ? 1 : 0;
  SyncFolderOf(file.path);
  return 1;
}

int FilePutBackKeptCopy(const Text& name) {
  if (name.empty()) return 0;
  const fs::path path = TextToPath(name);
  // Looking costs no lock: only a save that holds the lock makes a copy, so no copy means that
  // nothing needs putting back nor waiting for.
  const int probe = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (probe < 0) return 0;
  struct stat st {};
  fs::path base = ::fstat(probe, &st) == 0 ? KernelPath(probe, st) : fs::path();
  ::close(probe);
  if (base.empty()) base = path;
  if (LeftoversOf(base).copies.empty()) return 0;
  LockedFile file;
  bool putBack = false;
  if (OpenLocked(path, file) == Found::kFile) Settle(file, putBack);
  return putBack ? 1 : 0;
}
