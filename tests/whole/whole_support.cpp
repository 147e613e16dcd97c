#include "tests/whole/whole_support.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace whole {
namespace {

// A private mount namespace must be made while the process has one thread, so before main();
// mounts made in it disappear with the process, even when a test crashes.
const bool kPrivateMounts = [] {
  if (geteuid() != 0) return false;
  if (unshare(CLONE_NEWNS) != 0) return false;
  return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}();

std::string Errno() { return std::strerror(errno); }

// Sets or clears the immutable attribute of a folder: no entry can then be made, removed or
// renamed in it, by root too. Answers false where the file system has no such attribute.
bool SetImmutable(const fs::path& folder, bool on) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

}  // namespace

bool CanMount() { return kPrivateMounts; }

FaultDisk::FaultDisk(std::uint64_t bytes) {
  std::string pattern = (fs::temp_directory_path() / "cinevarta-whole-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::fprintf(stderr, "mkdtemp: %s\n", Errno().c_str());
    std::abort();
  }
  path_ = pattern;
  if (CanMount()) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      technique_ = "tmpfs mount failed: " + Errno();
    }
  }
  if (const char* tmpdir = std::getenv("TMPDIR")) {
    hadTmpdir_ = true;
    previousTmpdir_ = tmpdir;
  }
  setenv("TMPDIR", path_.c_str(), 1);
}

FaultDisk::~FaultDisk() {
  Unfill();
  if (!readOnlyFolder_.empty()) SetReadOnly(readOnlyFolder_, false);
  if (hadTmpdir_) {
    setenv("TMPDIR", previousTmpdir_.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  std::error_code ec;
  if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  fs::remove_all(path_, ec);
}

bool FaultDisk::SetReadOnly(const fs::path& folder, bool readOnly) {
  readOnlyFolder_ = readOnly ? folder : fs::path();
  if (mounted_) {
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    if (mount("tmpfs", path_.c_str(), "tmpfs", flags, nullptr) != 0) {
      technique_ = "remount failed: " + Errno();
      return false;
    }
    technique_ = "tmpfs remounted read-only";
    return true;
  }
  if (geteuid() != 0) {
    if (chmod(folder.c_str(), readOnly ? 0555 : 0755) != 0) {
      technique_ = "chmod failed: " + Errno();
      return false;
    }
    technique_ = "folder without write permission";
    return true;
  }
  // Root passes every permission check; only the immutable attribute stops it.
  if (readOnly || immutable_) {
    if (!SetImmutable(folder, readOnly)) {
      technique_ = "root without mount rights on a file system without the immutable attribute (" +
                   Errno() + "): nothing makes a folder read-only for root here";
      return false;
    }
    immutable_ = readOnly;
    technique_ = "immutable folder";
  }
  return true;
}

bool FaultDisk::Fill(std::uint64_t limit) {
  if (mounted_) {
    // Write until the file system refuses: then every later write meets ENOSPC.
    std::FILE* filler = std::fopen((path_ / ".filler").c_str(), "wb");
    if (filler == nullptr) {
      technique_ = "filler: " + Errno();
      return false;
    }
    std::setvbuf(filler, nullptr, _IONBF, 0);
    static const char block[4096] = {};
    std::size_t chunk = sizeof block;
    while (chunk > 0) {
      if (std::fwrite(block, 1, chunk, filler) != chunk) chunk /= 2;
    }
    std::fclose(filler);
    technique_ = "tmpfs filled to its last byte";
    return true;
  }
  rlimit current{};
  getrlimit(RLIMIT_FSIZE, &current);
  oldLimit_ = current.rlim_cur;
  rlimit small = current;
  small.rlim_cur = limit;
  // A write past the limit then fails with EFBIG instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
    technique_ = "setrlimit: " + Errno();
    return false;
  }
  limited_ = true;
  technique_ = "file-size limit of " + std::to_string(limit) + " bytes";
  return true;
}

void FaultDisk::Unfill() {
  if (limited_) {
    rlimit current{};
    getrlimit(RLIMIT_FSIZE, &current);
    current.rlim_cur = oldLimit_;
    setrlimit(RLIMIT_FSIZE, &current);
    limited_ = false;
  }
  std::error_code ec;
  fs::remove(path_ / ".filler", ec);
}

std::uint64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

int OpenDescriptors() {
  int count = 0;
  std::error_code ec;
  for (auto it = fs::directory_iterator("/proc/self/fd", ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    ++count;
  }
  return count - 1;  // the iterator's own descriptor on /proc/self/fd
}

std::string DescriptorList() {
  std::ostringstream list;
  std::error_code ec;
  for (auto it = fs::directory_iterator("/proc/self/fd", ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code linkError;
    list << it->path().filename().string() << " -> "
         << fs::read_symlink(it->path(), linkError).string() << "\n";
  }
  return list.str();
}

std::string ReadFileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace whole
