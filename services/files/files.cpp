// Numbered open files on stdio with a 4096-byte buffer, and whole-file queries.
#include "services/files/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 4096;
constexpr std::size_t kTableStep = 16;
constexpr std::size_t kMaxNameLength = 260;

struct OpenFile {
  std::FILE* stream = nullptr;
  bool reading = true;  // the last operation was a read (or nothing yet)
  bool failed = false;  // a write did not reach the stream whole, or a read met an error
  char buffer[kBufferSize];
};

std::vector<std::unique_ptr<OpenFile>> files;

OpenFile* Find(int number) {
  if (number < 0 || static_cast<std::size_t>(number) >= files.size()) return nullptr;
  return files[static_cast<std::size_t>(number)].get();
}

// Numbers are small by contract; a larger one fails like an open that failed, instead of
// growing the table without bound.
constexpr int kMostFileNumber = 4095;

// Frees the number for a new file (closing the file open under it, with its flush, before the
// new one is opened: reopening the same name must not receive the old file's last bytes).
bool ClearNumber(int number) {
  if (number < 0 || number > kMostFileNumber) return false;
  FileClose(number);
  return true;
}

// Opens a name as FileCreate does: for reading and writing, created or truncated; failing that,
// an existing file for writing only, truncated.
int CreateDescriptor(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  return fd;
}

// An open descriptor as a buffered file; null (and the descriptor closed) when that fails.
std::unique_ptr<OpenFile> Wrap(int fd, const char* mode = "r+b") {
  if (fd < 0) return nullptr;
  std::FILE* stream = ::fdopen(fd, mode);
  if (stream == nullptr) stream = ::fdopen(fd, "wb");  // the write-only second attempt
  if (stream == nullptr) {
    ::close(fd);
    return nullptr;
  }
  auto entry = std::make_unique<OpenFile>();
  entry->stream = stream;
  std::setvbuf(stream, entry->buffer, _IOFBF, kBufferSize);
  return entry;
}

// Puts an open descriptor under a cleared number.
int Adopt(int number, int fd, const char* mode = "r+b") {
  auto entry = Wrap(fd, mode);
  if (entry == nullptr) return 0;
  const auto slot = static_cast<std::size_t>(number);
  if (slot >= files.size()) files.resize((slot / kTableStep + 1) * kTableStep);
  files[slot] = std::move(entry);
  return 1;
}

// stdio needs a seek between reading and writing; seeking to the current position also puts a
// write right after the last byte actually consumed.
void SwitchTo(OpenFile& f, bool reading) {
  if (f.reading != reading) std::fseek(f.stream, 0, SEEK_CUR);
  f.reading = reading;
}

std::filesystem::path PathOf(const Text& name) { return TextToPath(name); }

// Bytes into the file's buffer; a write that does not go in whole marks the file as failed.
std::size_t Write(OpenFile& f, std::string_view bytes) {
  SwitchTo(f, false);
  const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f.stream);
  if (written != bytes.size()) f.failed = true;
  return written;
}

// Writes out the buffer and closes the stream; true when every byte reached the file.
bool Close(OpenFile& f) {
  bool ok = !f.failed;
  if (std::fflush(f.stream) != 0) ok = false;
  if (std::fclose(f.stream) != 0) ok = false;
  f.stream = nullptr;
  return ok;
}

}  // namespace

void FileServicesInit() { std::signal(SIGXFSZ, SIG_IGN); }

int FileCreate(int number, const Text& name) {
  if (!ClearNumber(number) || name.empty()) return 0;
  return Adopt(number, CreateDescriptor(PathOf(name)));
}

int FileOpenOrCreate(int number, const Text& name) {
  if (!ClearNumber(number) || name.empty()) return 0;
  return Adopt(number, ::open(PathOf(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
}

int FileOpenRead(int number, const Text& name) {
  if (!ClearNumber(number) || name.empty()) return 0;
  return Adopt(number, ::open(PathOf(name).c_str(), O_RDONLY | O_CLOEXEC), "rb");
}

Text FileReadLine(int number) {
  OpenFile* f = Find(number);
  if (f == nullptr) return {};
  SwitchTo(*f, true);
  Text line;
  for (;;) {
    const int c = getc_unlocked(f->stream);
    if (c == EOF) {
      if (std::ferror(f->stream) != 0) f->failed = true;
      break;
    }
    if (c == 0 || c == '\n') break;
    if (c == '\r') {
      const int next = getc_unlocked(f->stream);
      if (next == EOF && std::ferror(f->stream) != 0) f->failed = true;
      if (next != '\n' && next != EOF) std::ungetc(next, f->stream);
      break;
    }
    line.push_back(static_cast<char>(c));
  }
  return line;
}

Text FileTakeLine(std::string_view& bytes) {
  const std::size_t end = bytes.find_first_of(std::string_view("\r\n\0", 3));
  Text line(bytes.substr(0, end));
  if (end == std::string_view::npos) {
    bytes = {};
  } else {
    const bool crLf = bytes[end] == '\r' && bytes.substr(end + 1, 1) == "\n";
    bytes.remove_prefix(end + (crLf ? 2 : 1));
  }
  return line;
}

int FileAtEnd(int number) {
  OpenFile* f = Find(number);
  if (f == nullptr) return 1;
  SwitchTo(*f, true);
  const int c = getc_unlocked(f->stream);
  if (c == EOF) {
    if (std::ferror(f->stream) != 0) f->failed = true;
    return 1;
  }
  std::ungetc(c, f->stream);
  return 0;
}

std::int64_t FileWriteLine(int number, const Text& text) {
  OpenFile* f = Find(number);
  if (f == nullptr) return 0;
  const std::size_t written = Write(*f, text) + Write(*f, "\r\n");
  return static_cast<std::int64_t>(written);
}

int FileClose(int number) {
  OpenFile* f = Find(number);
  if (f == nullptr) return 0;
  const bool ok = Close(*f);
  files[static_cast<std::size_t>(number)].reset();
  return ok ? 1 : 0;
}

void FileCloseAll() {
  for (std::size_t i = 0; i < files.size(); ++i)
    if (files[i]) FileClose(static_cast<int>(i));
  files.clear();
}

std::int64_t FileSizeOf(const Text& name) {
  Text cut = name.substr(0, std::min(name.size(), kMaxNameLength));
  while (cut.size() > 1 && cut.back() == '\\') cut.pop_back();
  if (cut.empty()) return -1;
  std::error_code error;
  const auto path = PathOf(cut);
  const auto status = std::filesystem::status(path, error);
  if (error) return -1;
  if (std::filesystem::is_directory(status)) return -2;
  if (!std::filesystem::is_regular_file(status)) return -1;
  const auto size = std::filesystem::file_size(path, error);
  return error ? -1 : static_cast<std::int64_t>(size);
}

int FileDelete(const Text& name) {
  if (name.empty()) return 0;
  std::error_code error;
  const auto path = PathOf(name);
  if (std::filesystem::is_directory(std::filesystem::symlink_status(path, error))) return 0;
  return std::filesystem::remove(path, error) && !error ? 1 : 0;
}

int FileCopy(const Text& source, const Text& target) {
  if (source.empty() || target.empty()) return 0;
  std::error_code error;
  const bool copied = std::filesystem::copy_file(
      PathOf(source), PathOf(target), std::filesystem::copy_options::overwrite_existing, error);
  return copied && !error ? 1 : 0;
}

int FileWriteWhole(const Text& name, std::string_view bytes) {
  if (name.empty()) return 0;
  const std::unique_ptr<OpenFile> f = Wrap(CreateDescriptor(PathOf(name)));
  if (f == nullptr) return 0;
  Write(*f, bytes);
  if (Close(*f)) return 1;
  // A file cut short (a full disk) would pass for a whole one with callers that judge by size.
  FileDelete(name);
  return 0;
}
