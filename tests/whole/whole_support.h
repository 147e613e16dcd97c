#pragma once
// Helpers for the whole-program fault and soak tests: a disk of its own for the program's working
// folder, which a test can make read-only or full, and the process's resident memory and open
// descriptors.
//
// Faults are made the honest way, so the program meets the errors a user's machine gives. Where
// the test may mount (root with mount rights, in a private mount namespace made before any thread
// starts, so nothing stays mounted when the test ends), the disk is a tmpfs that is remounted
// read-only (EROFS) or filled to its last byte (ENOSPC). Elsewhere a read-only folder is a folder
// without write permission (which binds only a user that is not root) or, for root, a folder with
// the immutable attribute (where the file system has it), and a full disk is a file-size limit
// (EFBIG, with SIGXFSZ ignored). `Technique()` says which one a test used, and why none worked.
//
//   FaultDisk disk;                // TMPDIR points at it while it lives
//   AppSession app;                // so the program's working folder lies on it
//   ASSERT_TRUE(disk.SetReadOnly(app.dir(), true)) << disk.Technique();
#include <cstdint>
#include <filesystem>
#include <string>

namespace whole {

// True when this process has its own mount namespace and may mount there.
bool CanMount();

class FaultDisk {
 public:
  // A fresh folder, a tmpfs of `bytes` bytes where mounting is allowed; TMPDIR names it until
  // the disk goes, so folders made with temp_directory_path() (AppSession's) lie on it.
  explicit FaultDisk(std::uint64_t bytes = std::uint64_t{8} << 20);
  ~FaultDisk();
  FaultDisk(const FaultDisk&) = delete;
  FaultDisk& operator=(const FaultDisk&) = delete;

  const std::filesystem::path& path() const { return path_; }
  bool mounted() const { return mounted_; }

  // Makes `folder` (on this disk) read-only, or writable again. False, with the reason in
  // Technique(), when no honest way exists here.
  bool SetReadOnly(const std::filesystem::path& folder, bool readOnly);
  // Makes every later write on the disk fail: a tmpfs is filled to its last byte; elsewhere every
  // file the process writes is limited to `limit` bytes. Undone by Unfill (and the destructor).
  bool Fill(std::uint64_t limit);
  void Unfill();

  const std::string& Technique() const { return technique_; }

 private:
  std::filesystem::path path_;
  std::string previousTmpdir_;
  bool hadTmpdir_ = false;
  bool mounted_ = false;
  std::filesystem::path readOnlyFolder_;
  bool immutable_ = false;
  bool limited_ = false;
  std::uint64_t oldLimit_ = 0;
  std::string technique_;
};

// Resident memory of this process in bytes (from /proc/self/statm).
std::uint64_t ResidentBytes();
// Open file descriptors of this process (entries of /proc/self/fd).
int OpenDescriptors();
// The open descriptors' targets, one per line, for a message when their number changed.
std::string DescriptorList();

// The whole content of a file, or an empty text when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

// Built with AddressSanitizer: memory figures then measure the sanitizer's quarantine too.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace whole
