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

// The file's whole content becomes `bytes`, durably. A shorter content goes out in the same
// write as spaces up to the old length, cut off only afterwards: a program killed between the
// write and the cut leaves the new lines and a blank tail that a load does not see, never the
// new lines over the old ones' end. Cutting first would leave a short file instead.
bool Rewrite(int fd, std::string_view bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  std::string padded(bytes);
  if (static_cast<off_t>(padded.size()) < st.st_size)
    padded.resize(static_cast<std::size_t>(st.st_size), ' ');
  return WriteAll(fd, padded) && Sync(fd) &&
         ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && Sync(fd);
}

// The folder takes no new file, though the file in it may still be written: the user may not
// write the folder, or it is mounted read-only with the file mounted on its own.
bool FolderTakesNoFile(int error) { return error == EACCES || error == EPERM || error == EROFS; }

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
    unsigned char random[kUniqueLength];
    ::arc4random_buf(random, sizeof random);  // the slight lean of % does not matter to a name
    for (const unsigned char r : random) name.push_back(kLetters[r % (sizeof kLetters - 1)]);
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
  bool readOnly = false;  // opened for a load by a user who may only read it
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

bool WaitForLock(int fd, int kind, steady_clock::time_point deadline) {
  for (;;) {
    if (::flock(fd, kind | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kLockPoll);
  }
}

// Opens and locks what `name` stands for. kMissing: nothing is there, or a link to nothing.
// kRefused: the kernel would not follow the link or open the file for writing, it is not a
// plain file, it has no write bit, or another save held it too long. A load takes the same
// lock, so that it never reads half of a write in place; a user who may only read the file
// shares the lock with other readers, and opens it even without a write bit.
Found OpenLocked(const fs::path& name, LockedFile& file, bool forLoad = false) {
  const auto deadline = steady_clock::now() + kLockWait;
  for (;;) {
    file.Close();
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return errno == ENOENT ? Found::kMissing : Found::kRefused;
    // The user's own protection counts for root too: a file without any write bit was made
    // read-only on purpose, and root would otherwise pass every permission check.
    if (!S_ISREG(st.st_mode) || (!forLoad && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0))
      return Found::kRefused;
    constexpr int kFlags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    file.fd = ::open(name.c_str(), O_RDWR | kFlags);
    file.readOnly = file.fd < 0 && forLoad && errno != ENOENT;
    if (file.readOnly) file.fd = ::open(name.c_str(), O_RDONLY | kFlags);
    if (file.fd < 0) return errno == ENOENT ? Found::kMissing : Found::kRefused;
    if (!WaitForLock(file.fd, file.readOnly ? LOCK_SH : LOCK_EX, deadline) ||
        ::fstat(file.fd, &file.st) != 0 || !S_ISREG(file.st.st_mode))
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

// Removes the files, and makes their going durable; false when one could not be removed.
bool Remove(const std::vector<fs::path>& files) {
  bool removed = true;
  for (const fs::path& name : files) removed = ::unlink(name.c_str()) == 0 && removed;
  if (!files.empty()) SyncFolderOf(files.front());
  return removed;
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
  const bool copiesGone = Remove(left.copies);
  return Remove(left.fresh) && copiesGone;
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
  if (fd < 0) return FolderTakesNoFile(errno) ? Outcome::kInPlace : Outcome::kFailed;
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

// Makes `before` durable in "<file>.copia-XXXXXX" beside the file. It is written under a new
// file's name and takes the copy's name only once whole and synced, so that a copy under that
// name always holds a whole old content, safe to put back. When the folder takes no new file,
// `copy` stays empty and this is no failure: the file is then written in place without one.
bool KeepCopy(const fs::path& base, std::string_view before, fs::path& copy) {
  fs::path fresh;
  const int fd = CreateUnique(base, kNewTag, 0600, fresh);
  if (fd < 0) return FolderTakesNoFile(errno);
  bool stored = WriteAll(fd, before) && Sync(fd);
  stored = ::close(fd) == 0 && stored;
  std::string named = base.string();
  named.append(kCopyTag).append(fresh.string(), fresh.string().size() - kUniqueLength - 1);
  if (stored && ::rename(fresh.c_str(), named.c_str()) == 0) {
    SyncFolderOf(base);
    copy = named;
    return true;
  }
  ::unlink(fresh.c_str());
  return false;
}

// Writes the file where it is, keeping its inode (its other names, its owner, its attributes).
// A whole copy of the old content is made durable beside it first; a write that fails puts the
// old content back, and the copy goes only when the file holds a whole content again. When even
// that fails, the copy stays, and the next load or save puts it back.
bool ReplaceInPlace(const LockedFile& file, std::string_view content) {
  std::string before;
  fs::path copy;
  if (!ReadAll(file.fd, before) || !KeepCopy(file.base, before, copy)) return false;
  // A copy left beside the new content would be put back over it at the next load: the new
  // content counts only once its copy is gone.
  const auto removeCopy = [&copy] {
    return copy.empty() || ::unlink(copy.c_str()) == 0 || errno == ENOENT;
  };
  const bool written = Rewrite(file.fd, content) && removeCopy();
  if (!written && Rewrite(file.fd, before)) removeCopy();
  if (!copy.empty()) SyncFolderOf(copy);
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
    if (::lstat(path.c_str(), &st) != 0) {
      // A kept copy beside no file holds a list older than this one (its file went since): left
      // there, the next load would put it back over this save.
      if (errno != ENOENT || !Remove(LeftoversOf(path).copies)) return 0;
      return ReplaceByRename(path, content, nullptr) == Outcome::kDone ? 1 : 0;
    }
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

int FileReadContent(const Text& name, std::string& content, int& putBack) {
  content.clear();
  putBack = 0;
  if (name.empty()) return 0;
  LockedFile file;
  const Found found = OpenLocked(TextToPath(name), file, true);
  if (found != Found::kFile) return found == Found::kMissing ? 0 : -1;
  // A reader who may not write the file cannot put a copy back; it reads what is there. What
  // cannot be removed after a copy was put back stays, and the saves refuse to start beside it.
  bool put = false;
  if (!file.readOnly && !Settle(file, put) && !put && !LeftoversOf(file.base).copies.empty())
    return -1;
  putBack = put ? 1 : 0;
  return ReadAll(file.fd, content) ? 1 : -1;
}
