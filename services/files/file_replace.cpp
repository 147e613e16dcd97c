// Whole-file replacement on POSIX: lstat and readlink find the real file, pwrite and fsync make
// the bytes durable, rename(2) switches a new file in, ftruncate ends an in-place write.
#include "services/files/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// The kernel gives up on a chain of links at about this length too.
constexpr int kMostLinkHops = 40;

// The file a name stands for once symbolic links are followed (the last one need not exist
// yet); empty when a link cannot be read, the chain does not end, or the name cannot be looked
// at (a folder on the way that may not be searched).
fs::path RealFile(fs::path path) {
  for (int hop = 0; hop < kMostLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? path : fs::path();
    if (!S_ISLNK(st.st_mode)) return path;
    std::error_code error;
    fs::path target = fs::read_symlink(path, error);
    if (error || target.empty()) return {};
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return {};
}

// A file system that cannot sync (some special ones answer EINVAL) still holds the bytes.
bool Sync(int fd) { return ::fsync(fd) == 0 || errno == EINVAL; }

// Makes a new or removed name in the file's folder durable. Failing here changes nothing for any
// reader: the rename or unlink is done already.
void SyncFolderOf(const fs::path& file) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

// The user's own protection counts for root too: a file without any write bit was made
// read-only on purpose, and root would otherwise pass every permission check.
bool MayWrite(const fs::path& file, const struct stat& st) {
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

// Writes the new content to "<file>.nuevo" with the old file's owner and mode, then renames it
// over the file. `old` is null when there is no file yet.
bool ReplaceByRename(const fs::path& file, std::string_view content, const struct stat* old) {
  fs::path fresh = file;
  fresh += ".nuevo";
  // A leftover of a save cut short holds nothing that the file itself lacks.
  ::unlink(fresh.c_str());
  const mode_t mode = old != nullptr ? (old->st_mode & 07777) : 0666;
  const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  bool done = true;
  if (old != nullptr) {
    // The owner first, as changing it clears set-id bits; then the mode, which the umask cut.
    // Only root may give a file away; anyone may keep its group when they belong to it.
    // Keeping the owner is a courtesy: a file we could not hand back is still a whole save.
    [[maybe_unused]] const bool ownerKept =
        ::fchown(fd, old->st_uid, old->st_gid) == 0 ||
        ::fchown(fd, static_cast<uid_t>(-1), old->st_gid) == 0;
    done = ::fchmod(fd, mode) == 0;
  }
  done = done && WriteAll(fd, content) && Sync(fd);
  done = ::close(fd) == 0 && done;
  if (done && ::rename(fresh.c_str(), file.c_str()) == 0) {
    SyncFolderOf(file);
    return true;
  }
  ::unlink(fresh.c_str());
  return false;
}

// Writes the file where it is, keeping its inode (its other names, its owner). A whole copy of
// the old content is made durable beside it first; a write that fails puts the old content back,
// and the copy goes only when the file holds a whole content again. When even that fails, the
// copy stays for the user.
bool ReplaceInPlace(const fs::path& file, std::string_view content) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  std::string before;
  if (!ReadAll(fd, before)) {
    ::close(fd);
    return false;
  }
  std::string copy = file.string() + ".copia-XXXXXX";
  const int copyFd = ::mkostemp(copy.data(), O_CLOEXEC);
  if (copyFd < 0) {
    ::close(fd);
    return false;
  }
  bool stored = WriteAll(copyFd, before) && Sync(copyFd);
  stored = ::close(copyFd) == 0 && stored;
  if (!stored) {
    ::unlink(copy.c_str());
    ::close(fd);
    return false;
  }
  SyncFolderOf(file);
  const auto rewrite = [fd](std::string_view bytes) {
    return WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && Sync(fd);
  };
  const bool written = rewrite(content);
  const bool whole = written || rewrite(before);
  ::close(fd);
  if (whole) {
    ::unlink(copy.c_str());
    SyncFolderOf(file);
  }
  return written;
}

// What FileReplaceContent and FileDiscardContent may work on: the real file and, when it
// exists, its status. False when the name must be left alone.
struct Target {
  fs::path file;
  bool exists = false;
  struct stat st {};
};

bool FindTarget(const Text& name, Target& target) {
  if (name.empty()) return false;
  target.file = RealFile(TextToPath(name));
  if (target.file.empty()) return false;
  if (::lstat(target.file.c_str(), &target.st) != 0) return errno == ENOENT;
  target.exists = true;
  return S_ISREG(target.st.st_mode) && MayWrite(target.file, target.st);
}

}  // namespace

int FileReplaceContent(const Text& name, std::string_view content) {
  Target target;
  if (!FindTarget(name, target)) return 0;
  if (!target.exists) return ReplaceByRename(target.file, content, nullptr) ? 1 : 0;
  // A rename would part hard links, and would give another user's file to this process's user.
  const uid_t self = ::geteuid();
  const bool keepInode = target.st.st_nlink > 1 || (self != 0 && target.st.st_uid != self);
  if (keepInode) return ReplaceInPlace(target.file, content) ? 1 : 0;
  return ReplaceByRename(target.file, content, &target.st) ? 1 : 0;
}

int FileDiscardContent(const Text& name) {
  Target target;
  if (!FindTarget(name, target)) return 0;
  if (!target.exists) return 1;
  // Deleting one name of several would leave the others with the old content.
  if (target.st.st_nlink > 1) return ReplaceInPlace(target.file, {}) ? 1 : 0;
  if (::unlink(target.file.c_str()) != 0) return 0;
  SyncFolderOf(target.file);
  return 1;
}
