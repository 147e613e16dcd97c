// The rename on POSIX: fsync of the file, rename(2) through std::filesystem, fsync of the folder.
#include "services/files/file_rename.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace {

// A failed fsync is no reason to refuse the rename: the bytes are in the system's cache and
// the rename is still atomic for every reader; only a power cut could tell the difference.
void SyncPath(const std::filesystem::path& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

int FileRename(const Text& from, const Text& to) {
  if (from.empty() || to.empty()) return 0;
  const std::filesystem::path source = TextToPath(from);
  const std::filesystem::path target = TextToPath(to);
  std::error_code error;
  if (!std::filesystem::is_regular_file(source, error)) return 0;
  SyncPath(source, O_RDONLY);
  std::filesystem::rename(source, target, error);
  if (error) return 0;
  std::filesystem::path folder = std::filesystem::absolute(target, error).parent_path();
  if (!error) SyncPath(folder, O_RDONLY | O_DIRECTORY);
  return 1;
}
