// Numbered open files: line reading with every line end, writing with CR LF, opening that keeps
// or truncates, the file position between reads and writes, whole-file queries, and bad input
// (zero bytes, binary garbage, very long lines, folders, vanished files, unusable names).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "services/files/file_replace.h"
#include "services/files/files.h"
#include "services/text/text.h"

namespace {

namespace fs = std::filesystem;

// Every test runs in a new, empty working directory and closes whatever it left open.
class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    folder_ = fs::temp_directory_path() /
              ("cinevarta-files-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::current_path(folder_);
  }
  void TearDown() override {
    FileCloseAll();
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  static std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void Put(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  // The names in the working directory, sorted.
  static std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every line of the file, read as the favourites are loaded: until FileAtEnd.
  static std::vector<Text> ReadAll(const Text& name) {
    std::vector<Text> lines;
    if (FileOpenOrCreate(1, name) == 0) return lines;
    while (FileAtEnd(1) == 0) lines.push_back(FileReadLine(1));
    FileClose(1);
    return lines;
  }

 private:
  static inline int counter_ = 0;
  fs::path previous_, folder_;
};

using Lines = std::vector<Text>;

// The same lines from a file and from bytes read whole.
TEST_F(Files, LineEnds) {
  auto check = [](const std::string& content, const Lines& expected) {
    Put("in.txt", content);
    EXPECT_EQ(ReadAll("in.txt"), expected) << "content of " << content.size() << " bytes";
    Lines taken;
    for (std::string_view rest(content); !rest.empty();) taken.push_back(FileTakeLine(rest));
    EXPECT_EQ(taken, expected) << "bytes read whole, " << content.size() << " of them";
  };
  check("a\rb\nc", {"a", "b", "c"});
  check("a\r\n\r\n", {"a", ""});
  check("a\n\nb", {"a", "", "b"});
  check("a\r\rb", {"a", "", "b"});
  check("a\n\rb", {"a", "", "b"});  // LF then CR are two line ends, not one
  check("a\n\r\nb", {"a", "", "b"});
  check("\n", {""});
  check("\r", {""});
  check("\r\n", {""});
  check("x\n\r", {"x", ""});
  check("", {});
  check("abc", {"abc"});  // the last line needs no line end
  check("Amélie#tt0211915#I\r\nEl sur#12#C\r\n"_t, {"Amélie#tt0211915#I"_t, "El sur#12#C"});
  check("\xFF\xE9\x80\x9F\n\xFF", {"\xFF\xE9\x80\x9F", "\xFF"});  // 0xFF is a byte, not the end
  // A zero byte ends a line and is consumed.
  check(std::string("a\0b\n", 4), {"a", "b"});
  check(std::string("a\0\nb", 4), {"a", "", "b"});
  check(std::string("\0\0", 2), {"", ""});
  check(std::string("a\r\0b", 4), {"a", "", "b"});  // after CR the zero starts the next line
  check(std::string("ab\0", 3), {"ab"});
  // Line ends that meet the edges of the 4096-byte blocks.
  const std::string block(4095, 'a');
  check(block + "\r\nb", {block, "b"});
  check(block + "a\r\nb", {block + "a", "b"});
  check(block + "\r" + "b", {block, "b"});
  check(std::string(10000, 'z') + "\n" + std::string(9000, 'y'),
        {std::string(10000, 'z'), std::string(9000, 'y')});
}

TEST_F(Files, AtEndLooksAheadWithoutConsuming) {
  Put("in.txt", "a\rb\nc");
  ASSERT_NE(FileOpenOrCreate(1, "in.txt"), 0);
  EXPECT_EQ(FileAtEnd(1), 0);
  EXPECT_EQ(FileAtEnd(1), 0);
  EXPECT_EQ(FileReadLine(1), "a");
  EXPECT_EQ(FileAtEnd(1), 0);
  EXPECT_EQ(FileReadLine(1), "b");
  EXPECT_EQ(FileReadLine(1), "c");
  EXPECT_NE(FileAtEnd(1), 0);
  EXPECT_EQ(FileReadLine(1), "");  // reading at the end gives an empty line, again and again
  EXPECT_EQ(FileReadLine(1), "");
  EXPECT_NE(FileAtEnd(1), 0);
  FileClose(1);
}

TEST_F(Files, EmptyFileIsAtEndAtOnce) {
  Put("empty.txt", "");
  ASSERT_NE(FileOpenOrCreate(1, "empty.txt"), 0);
  EXPECT_NE(FileAtEnd(1), 0);
  EXPECT_EQ(FileReadLine(1), "");
  FileClose(1);
}

TEST_F(Files, WriteLineEndsWithCrLf) {
  ASSERT_NE(FileCreate(1, "out.txt"), 0);
  EXPECT_EQ(FileWriteLine(1, ""), 2);
  FileClose(1);
  EXPECT_EQ(Bytes("out.txt"), "\r\n");

  ASSERT_NE(FileCreate(1, "out.txt"), 0);
  EXPECT_EQ(FileWriteLine(1, "Amélie#tt0211915#I"_t), 20);
  EXPECT_EQ(FileWriteLine(1, "\x80\x9F\xFF"), 5);
  EXPECT_EQ(FileWriteLine(1, "a\nb"), 5);  // the text goes out as it is
  FileClose(1);
  // Raw Windows-1252 bytes, no byte-order mark.
  EXPECT_EQ(Bytes("out.txt"), "Am\xE9lie#tt0211915#I\r\n\x80\x9F\xFF\r\na\nb\r\n");
}

TEST_F(Files, LongWritesAndReadsPassThroughTheBuffer) {
  const std::string big(100000, 'q');
  ASSERT_NE(FileCreate(1, "out.txt"), 0);
  for (int i = 0; i < 3000; ++i) FileWriteLine(1, "line " + TextOfNumber(i));
  FileWriteLine(1, big);
  FileWriteLine(1, "end");
  FileClose(1);
  const Lines lines = ReadAll("out.txt");
  ASSERT_EQ(lines.size(), 3002u);
  EXPECT_EQ(lines[0], "line 0");
  EXPECT_EQ(lines[2999], "line 2999");
  EXPECT_EQ(lines[3000], big);
  EXPECT_EQ(lines[3001], "end");
}

TEST_F(Files, CreateTruncates) {
  Put("out.txt", std::string(100, 'o'));
  ASSERT_NE(FileCreate(1, "out.txt"), 0);
  EXPECT_EQ(FileSizeOf("out.txt"), 0);
  FileWriteLine(1, "new");
  FileClose(1);
  EXPECT_EQ(Bytes("out.txt"), "new\r\n");
}

TEST_F(Files, CreateCanReadBackWhatItWrote) {
  ASSERT_NE(FileCreate(1, "out.txt"), 0);
  FileWriteLine(1, "one");
  EXPECT_NE(FileAtEnd(1), 0);  // the position is after the written line
  FileClose(1);
  EXPECT_EQ(ReadAll("out.txt"), Lines{"one"});
}

TEST_F(Files, OpenOrCreateKeepsContentAndWritesFromTheStart) {
  std::string old;
  for (int i = 0; i < 100; ++i) old += static_cast<char>('A' + i % 26);
  Put("old.txt", old);
  ASSERT_NE(FileOpenOrCreate(1, "old.txt"), 0);
  EXPECT_EQ(FileWriteLine(1, "0123456789"), 12);
  FileClose(1);
  const std::string now = Bytes("old.txt");
  ASSERT_EQ(now.size(), 100u);
  EXPECT_EQ(now.substr(0, 12), "0123456789\r\n");
  EXPECT_EQ(now.substr(12), old.substr(12));
}

TEST_F(Files, OpenOrCreateMakesAMissingFile) {
  ASSERT_NE(FileOpenOrCreate(1, "new.txt"), 0);
  EXPECT_EQ(FileSizeOf("new.txt"), 0);
  EXPECT_NE(FileAtEnd(1), 0);
  FileWriteLine(1, "x");
  FileClose(1);
  EXPECT_EQ(Bytes("new.txt"), "x\r\n");
}

TEST_F(Files, AWriteAfterReadsLandsAfterTheLastByteRead) {
  auto check = [&](const std::string& content, int reads, bool lookAhead, const Text& line,
                   const std::string& expected) {
    Put("rw.txt", content);
    ASSERT_NE(FileOpenOrCreate(1, "rw.txt"), 0);
    for (int i = 0; i < reads; ++i) FileReadLine(1);
    if (lookAhead) {
      EXPECT_EQ(FileAtEnd(1), 0);
    }
    FileWriteLine(1, line);
    FileClose(1);
    EXPECT_EQ(Bytes("rw.txt"), expected)
        << reads << " reads" << (lookAhead ? " and a look ahead" : "") << " of " << content;
  };
  check("line1\nline2\nline3\n", 1, false, "XY", "line1\nXY\r\n2\nline3\n");
  check("line1\nline2\nline3\n", 1, true, "XY", "line1\nXY\r\n2\nline3\n");
  check("line1\nline2\nline3\n", 2, false, "", "line1\nline2\n\r\n" "ne3\n");
  check("a\rb\rc", 1, false, "Z", "a\rZ\r\n");  // the byte given back after CR is not consumed
  check("a\r\nbcdef", 1, false, "Z", "a\r\nZ\r\nef");
  check(std::string(5000, 'a') + "\n" + std::string(5000, 'b'), 1, true, "W",
        std::string(5000, 'a') + "\nW\r\n" + std::string(4997, 'b'));
}

TEST_F(Files, AReadAfterAWriteGoesOnAfterTheWrittenBytes) {
  Put("rw.txt", "abcdef\nghi\n");
  ASSERT_NE(FileOpenOrCreate(1, "rw.txt"), 0);
  FileWriteLine(1, "X");
  EXPECT_EQ(FileReadLine(1), "def");
  EXPECT_EQ(FileReadLine(1), "ghi");
  EXPECT_NE(FileAtEnd(1), 0);
  FileClose(1);
  EXPECT_EQ(Bytes("rw.txt"), "X\r\ndef\nghi\n");
}

TEST_F(Files, NumbersThatAreNotOpen) {
  for (const int number : {1, 0, 7, 16, 17, 1000, -1, INT_MIN, INT_MAX}) {
    EXPECT_EQ(FileReadLine(number), "") << number;
    EXPECT_NE(FileAtEnd(number), 0) << number;
    EXPECT_EQ(FileWriteLine(number, "x"), 0) << number;
    FileClose(number);  // ignored
  }
  EXPECT_TRUE(fs::is_empty(fs::current_path()));
}

TEST_F(Files, FailedOpensLeaveTheNumberClosed) {
  fs::create_directory("folder");
  Put("plain", "x");
  auto check = [](int opened, const char* what) {
    EXPECT_EQ(opened, 0) << what;
    EXPECT_EQ(FileReadLine(1), "") << what;
    EXPECT_NE(FileAtEnd(1), 0) << what;
    EXPECT_EQ(FileWriteLine(1, "x"), 0) << what;
  };
  check(FileCreate(1, ""), "create with an empty name");
  check(FileOpenOrCreate(1, ""), "open with an empty name");
  check(FileCreate(1, "missing/out.txt"), "create in a missing folder");
  check(FileOpenOrCreate(1, "missing/out.txt"), "open in a missing folder");
  check(FileCreate(1, "folder"), "create over a folder");
  check(FileOpenOrCreate(1, "folder"), "open a folder");
  check(FileOpenOrCreate(1, "plain/inside"), "open below a plain file");
  EXPECT_EQ(Bytes("plain"), "x");
  EXPECT_TRUE(fs::is_directory("folder"));
}

// Runs the file calls of a body as an ordinary user would: a root test process drops its file
// system identity (and with it the right to read every file) for the length of the body.
template <typename Body>
void AsOrdinaryUser(Body body) {
  const bool root = ::geteuid() == 0;
  if (root) {
    ::setfsgid(65534);
    ::setfsuid(65534);
  }
  body();
  if (root) {
    ::setfsuid(0);
    ::setfsgid(0);
  }
}

TEST_F(Files, FilesWithoutPermission) {
  Put("secret.txt", "hidden\n");
  fs::permissions("secret.txt", fs::perms::none);
  Put("writeonly.txt", "old content\n");
  fs::permissions("writeonly.txt", fs::perms::owner_write | fs::perms::others_write);
  fs::create_directory("locked");
  Put("locked/inside.txt", "x");
  fs::permissions("locked", fs::perms::none);
  fs::permissions(fs::current_path(), fs::perms::all);

  AsOrdinaryUser([] {
    EXPECT_EQ(FileOpenOrCreate(1, "secret.txt"), 0);
    EXPECT_EQ(FileReadLine(1), "");
    EXPECT_NE(FileAtEnd(1), 0);
    EXPECT_EQ(FileCreate(1, "secret.txt"), 0);
    EXPECT_EQ(FileSizeOf("secret.txt"), 7);  // its size is known even when its bytes are not
    EXPECT_EQ(FileCopy("secret.txt", "copy.txt"), 0);

    // A file that may be written but not read is still created anew, for writing only.
    EXPECT_EQ(FileOpenOrCreate(1, "writeonly.txt"), 0);
    ASSERT_NE(FileCreate(1, "writeonly.txt"), 0);
    EXPECT_EQ(FileWriteLine(1, "new"), 5);
    EXPECT_EQ(FileReadLine(1), "");
    FileClose(1);

    EXPECT_EQ(FileSizeOf("locked/inside.txt"), -1);  // a folder that cannot be searched
    EXPECT_EQ(FileOpenOrCreate(1, "locked/inside.txt"), 0);
  });
  fs::permissions("locked", fs::perms::owner_all);
  fs::permissions("secret.txt", fs::perms::owner_all);
  fs::permissions("writeonly.txt", fs::perms::owner_all);
  EXPECT_EQ(Bytes("secret.txt"), "hidden\n");
  EXPECT_EQ(Bytes("writeonly.txt"), "new\r\n");
  EXPECT_FALSE(fs::exists("copy.txt"));
}

TEST_F(Files, ReopeningANumberClosesTheOldFileFirst) {
  ASSERT_NE(FileCreate(1, "a.txt"), 0);
  FileWriteLine(1, "for a");
  ASSERT_NE(FileCreate(1, "b.txt"), 0);
  EXPECT_EQ(Bytes("a.txt"), "for a\r\n");  // flushed when the number was reused
  FileWriteLine(1, "for b");
  FileClose(1);
  EXPECT_EQ(Bytes("a.txt"), "for a\r\n");
  EXPECT_EQ(Bytes("b.txt"), "for b\r\n");

  // The same name under the same number: the new file sees the old one's last bytes.
  ASSERT_NE(FileCreate(1, "c.txt"), 0);
  FileWriteLine(1, "old");
  ASSERT_NE(FileOpenOrCreate(1, "c.txt"), 0);
  EXPECT_EQ(FileReadLine(1), "old");
  FileClose(1);
}

TEST_F(Files, CloseAllFlushesEveryNumber) {
  const std::vector<int> numbers = {0, 1, 15, 16, 40, 300};  // the table grows past 16
  for (const int n : numbers) {
    ASSERT_NE(FileCreate(n, "f" + TextOfNumber(n)), 0) << n;
    FileWriteLine(n, "number " + TextOfNumber(n));
  }
  FileCloseAll();
  for (const int n : numbers) {
    EXPECT_EQ(Bytes("f" + std::to_string(n)), "number " + std::to_string(n) + "\r\n") << n;
    EXPECT_EQ(FileWriteLine(n, "late"), 0) << n;
  }
  FileCloseAll();  // a second time does nothing
}

TEST_F(Files, TwoFilesOpenAtOnceStayApart) {
  Put("in.txt", "one\ntwo\n");
  ASSERT_NE(FileOpenOrCreate(1, "in.txt"), 0);
  ASSERT_NE(FileCreate(2, "out.txt"), 0);
  while (FileAtEnd(1) == 0) FileWriteLine(2, "[" + FileReadLine(1) + "]");
  FileClose(1);
  FileClose(2);
  EXPECT_EQ(Bytes("out.txt"), "[one]\r\n[two]\r\n");
  EXPECT_EQ(Bytes("in.txt"), "one\ntwo\n");
}

TEST_F(Files, NamesAreWindows1252TextsOnUtf8FileNames) {
  const Text name = "Películas Favoritas ñ €.txt"_t;
  ASSERT_NE(FileCreate(1, name), 0);
  FileWriteLine(1, "x");
  FileClose(1);
  EXPECT_TRUE(fs::exists(fs::path("Películas Favoritas ñ €.txt")));
  EXPECT_EQ(FileSizeOf(name), 3);
  EXPECT_EQ(ReadAll(name), Lines{"x"});
  EXPECT_NE(FileCopy(name, "copia ñ.txt"_t), 0);
  EXPECT_EQ(Bytes("copia ñ.txt"), "x\r\n");
  EXPECT_NE(FileDelete(name), 0);
  EXPECT_FALSE(fs::exists(fs::path("Películas Favoritas ñ €.txt")));
}

TEST_F(Files, SizeOf) {
  Put("empty", "");
  Put("ten", "0123456789");
  fs::create_directories("sub/deeper");
  fs::create_symlink("nowhere", "dangling");
  ::mkfifo("pipe", 0600);
  auto check = [](const Text& name, std::int64_t expected) {
    EXPECT_EQ(FileSizeOf(name), expected) << "FileSizeOf(\"" << name << "\")";
  };
  check("missing", -1);
  check("", -1);
  check("empty", 0);
  check("ten", 10);
  check("./ten", 10);
  check(fs::absolute("ten").string(), 10);
  check("sub", -2);
  check("sub/", -2);
  check("sub/deeper", -2);
  check(".", -2);
  check("/", -2);
  check("sub\\", -2);  // trailing backslashes are ignored
  check("sub\\\\\\", -2);
  check("ten\\", 10);
  check("ten/x", -1);  // below a plain file
  check("dangling", -1);
  check("pipe", -1);   // not a file with a size
  check("C:\\", -1);   // drive letters do not exist here
  check("\\\\server\\share", -1);
}

TEST_F(Files, SizeOfCutsNamesAt260Characters) {
  const std::string folder(200, 'd');
  const std::string file(59, 'f');
  const std::string name = folder + "/" + file;  // 260 characters
  ASSERT_EQ(name.size(), 260u);
  fs::create_directory(folder);
  Put(name, "12345");
  EXPECT_EQ(FileSizeOf(name), 5);
  EXPECT_EQ(FileSizeOf(name + "zzzz"), 5);
  EXPECT_EQ(FileSizeOf(name.substr(0, 259)), -1);
}

TEST_F(Files, DeleteAndCopy) {
  Put("a.bin", std::string("\x00\xFF\r\n\x80", 5));
  fs::create_directory("folder");

  EXPECT_NE(FileCopy("a.bin", "b.bin"), 0);
  EXPECT_EQ(Bytes("b.bin"), std::string("\x00\xFF\r\n\x80", 5));
  Put("c.bin", std::string(1000, 'c'));
  EXPECT_NE(FileCopy("a.bin", "c.bin"), 0);  // an existing target is replaced
  EXPECT_EQ(Bytes("c.bin"), std::string("\x00\xFF\r\n\x80", 5));

  EXPECT_EQ(FileCopy("missing", "c.bin"), 0);
  EXPECT_EQ(FileSizeOf("c.bin"), 5);  // a failed copy leaves the target alone
  EXPECT_EQ(FileCopy("a.bin", "missing/x"), 0);
  EXPECT_EQ(FileCopy("", "x"), 0);
  EXPECT_EQ(FileCopy("a.bin", ""), 0);
  EXPECT_EQ(FileCopy("folder", "x"), 0);
  EXPECT_FALSE(fs::exists("x"));

  EXPECT_NE(FileDelete("b.bin"), 0);
  EXPECT_FALSE(fs::exists("b.bin"));
  EXPECT_EQ(FileSizeOf("b.bin"), -1);
  FileDelete("b.bin");  // an absent file: harmless
  EXPECT_EQ(FileDelete(""), 0);
  EXPECT_EQ(FileDelete("folder"), 0);  // a folder is not a file
  EXPECT_TRUE(fs::is_directory("folder"));
}

TEST_F(Files, AFileThatVanishesWhileOpen) {
  Put("gone.txt", "one\ntwo\nthree\n");
  ASSERT_NE(FileOpenOrCreate(1, "gone.txt"), 0);
  EXPECT_EQ(FileReadLine(1), "one");
  fs::remove("gone.txt");
  EXPECT_EQ(FileSizeOf("gone.txt"), -1);
  EXPECT_EQ(FileReadLine(1), "two");  // the open file is still there for its reader
  EXPECT_EQ(FileReadLine(1), "three");
  EXPECT_NE(FileAtEnd(1), 0);
  FileWriteLine(1, "late");
  FileClose(1);
  EXPECT_FALSE(fs::exists("gone.txt"));
  EXPECT_NE(FileOpenOrCreate(2, "gone.txt"), 0);  // open again: a new empty file
  EXPECT_NE(FileAtEnd(2), 0);
  FileClose(2);
}

TEST_F(Files, AVeryLongLine) {
  const std::size_t size = 50u << 20;
  {
    std::ofstream out("long.txt", std::ios::binary);
    const std::string chunk(1 << 20, 'L');
    for (std::size_t i = 0; i < size / chunk.size(); ++i) out << chunk;
    out << "\r\nnext";
  }
  ASSERT_NE(FileOpenOrCreate(1, "long.txt"), 0);
  const Text line = FileReadLine(1);
  ASSERT_EQ(line.size(), size);
  EXPECT_EQ(line.find_first_not_of('L'), Text::npos);
  EXPECT_EQ(FileReadLine(1), "next");
  EXPECT_NE(FileAtEnd(1), 0);
  FileClose(1);
}

// Binary garbage reads as the lines a plain split at CR LF, LF, CR and the zero byte gives.
TEST_F(Files, BinaryGarbage) {
  std::mt19937 random(1252);
  std::string garbage(300000, '\0');
  for (char& c : garbage) {
    const auto r = random() % 64;
    c = r == 0 ? '\r' : r == 1 ? '\n' : r == 2 ? '\0' : static_cast<char>(random() & 0xFF);
  }
  Put("garbage.bin", garbage);

  Lines expected;
  Text line;
  bool pending = false;
  for (std::size_t i = 0; i < garbage.size(); ++i) {
    const char c = garbage[i];
    pending = true;
    if (c == '\0' || c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < garbage.size() && garbage[i + 1] == '\n') ++i;
      expected.push_back(line);
      line.clear();
      pending = false;
    } else {
      line += c;
    }
  }
  if (pending) expected.push_back(line);
  EXPECT_EQ(ReadAll("garbage.bin"), expected);
}

// A write cut short by the file-size limit, as a full disk cuts it: a replaced file keeps its
// old bytes and no new file is left; a hard-linked file, written in place, gets its old bytes
// back from the copy, and the copy goes.
TEST_F(Files, AReplaceCutShortKeepsTheOldBytesWhateverTheFileIs) {
  const std::string old(40, 'o');
  const std::string longer(100, 'n');
  Put("plain.ini", old);
  Put("linked.ini", old);
  fs::create_hard_link("linked.ini", "other-name.ini");
  fs::create_symlink("plain.ini", "link.ini");
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 60;
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int plain = FileReplaceContent("plain.ini", longer);
  const int linked = FileReplaceContent("linked.ini", longer);
  const int throughLink = FileReplaceContent("link.ini", longer);
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(plain, 0);
  EXPECT_EQ(linked, 0);
  EXPECT_EQ(throughLink, 0);
  EXPECT_EQ(Bytes("plain.ini"), old);
  EXPECT_EQ(Bytes("linked.ini"), old);
  EXPECT_EQ(Bytes("other-name.ini"), old);
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.ini", "linked.ini", "other-name.ini", "plain.ini"}));

  // Within the limit, the same calls succeed.
  EXPECT_EQ(FileReplaceContent("link.ini", longer), 1);
  EXPECT_TRUE(fs::is_symlink("link.ini"));
  EXPECT_EQ(FileReplaceContent("linked.ini", "short"), 1);
  EXPECT_EQ(Bytes("other-name.ini"), "short");
  EXPECT_EQ(Bytes("plain.ini"), longer);
}

// Two programs saving different lists at once, round after round, each told to start at the
// same moment: after every round the file is one of the two lists, whole; when one program was
// told its save failed, the file is the other's list, and when both were, the file is as it was.
// Nothing is left beside it. Once for a plain file (replaced by renaming), once for a file with
// a second name (written in place). The long list is long (1.2 MB) so that one program's write
// is still going when the other's comes: two writes in place tore the file within a few rounds.
TEST_F(Files, TwoProgramsSavingAtOnceEachPutTheirWholeListInPlaceOrFail) {
  constexpr int kRounds = 60;
  const auto list = [](const std::string& title, int films) {
    std::string lines;
    for (int i = 0; i < films; ++i) lines += title + std::to_string(i) + "#" + std::to_string(i) + "#C\r\n";
    return lines;
  };
  const std::string lists[2] = {list("Corta ", 3), list("Larga ", 60000)};
  for (const bool linked : {false, true}) {
    SCOPED_TRACE(linked ? "a file with two names" : "a plain file");
    Put("fav.ini", lists[0]);
    if (linked) fs::create_hard_link("fav.ini", "otro.ini");
    const std::vector<std::string> names = linked ? std::vector<std::string>{"fav.ini", "otro.ini"}
                                                  : std::vector<std::string>{"fav.ini"};
    // Each program reads "s" to start a save and answers with its result; "q" ends it.
    int go[2][2], done[2][2];
    pid_t programs[2];
    for (int p = 0; p < 2; ++p) {
      ASSERT_EQ(::pipe(go[p]), 0);
      ASSERT_EQ(::pipe(done[p]), 0);
      programs[p] = ::fork();
      ASSERT_GE(programs[p], 0);
      if (programs[p] == 0) {
        char start;
        while (::read(go[p][0], &start, 1) == 1 && start == 's') {
          const char saved = static_cast<char>(FileReplaceContent("fav.ini", lists[p]));
          if (::write(done[p][1], &saved, 1) != 1) break;
        }
        ::_exit(0);
      }
      ::close(go[p][0]);
      ::close(done[p][1]);
    }
    std::string was = lists[0];
    int saves[2] = {0, 0};
    for (int round = 0; round < kRounds && !HasFailure(); ++round) {
      for (int p = 0; p < 2; ++p) ASSERT_EQ(::write(go[p][1], "s", 1), 1);
      char saved[2];
      for (int p = 0; p < 2; ++p) ASSERT_EQ(::read(done[p][0], &saved[p], 1), 1);
      const std::string now = Bytes("fav.ini");
      if (saved[0] != 0 && saved[1] != 0) {
        EXPECT_TRUE(now == lists[0] || now == lists[1]) << "round " << round << ": " << now.size()
                                                         << " bytes";
      } else {
        const std::string& last = saved[0] != 0 ? lists[0] : saved[1] != 0 ? lists[1] : was;
        EXPECT_EQ(now, last) << "round " << round;
      }
      if (linked) {
        EXPECT_EQ(Bytes("otro.ini"), now) << "round " << round;
      }
      EXPECT_EQ(Names(), names) << "round " << round;
      for (int p = 0; p < 2; ++p) saves[p] += saved[p] != 0;
      was = now;
    }
    for (int p = 0; p < 2; ++p) {
      EXPECT_EQ(::write(go[p][1], "q", 1), 1);
      ::close(go[p][1]);
      ::close(done[p][0]);
      ::waitpid(programs[p], nullptr, 0);
    }
    // Each waits its turn on the other, so neither is refused while the other saves.
    EXPECT_EQ(saves[0], kRounds);
    EXPECT_EQ(saves[1], kRounds);
    fs::remove("otro.ini");
  }
}

// A load takes the lock the saves take: started while a save holds the file and has written
// half of it in place, it waits, and reads the new content whole.
TEST_F(Files, ALoadWaitsForASaveInPlaceToEnd) {
  const std::string half = "Alien#1#C\r\n", whole = half + "Blade Runner#2#I\r\n";
  Put("fav.ini", "Zoo#3#C\r\n");
  const int save = ::open("fav.ini", O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::flock(save, LOCK_EX), 0);
  ASSERT_EQ(::pwrite(save, half.data(), half.size(), 0), static_cast<ssize_t>(half.size()));
  std::string seen;
  int loaded = -2, putBack = -2;
  std::thread load([&] { loaded = FileReadContent("fav.ini", seen, putBack); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the unlocked load read here
  ASSERT_EQ(::pwrite(save, whole.data(), whole.size(), 0), static_cast<ssize_t>(whole.size()));
  ::close(save);
  load.join();
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(seen, whole);
  EXPECT_EQ(putBack, 0);
}

// A kept copy beside the file is what a save cut short leaves: a load puts the oldest one back
// (taken before any of those saves wrote) and all that such saves left goes.
TEST_F(Files, ALoadPutsBackTheOldestKeptCopy) {
  Put("fav.ini", "Alien#1#C\r\nBlade Run");
  Put("fav.ini.copia-Ab12Cd", "Alien#1#C\r\n");
  Put("fav.ini.copia-Zz99Yy", "Alien#1#C\r\nBlade Run");  // a later save, cut short too
  Put("fav.ini.nuevo-Qq00Ww", "Half");
  const auto now = fs::file_time_type::clock::now();
  fs::last_write_time("fav.ini.copia-Ab12Cd", now - std::chrono::minutes(2));
  fs::last_write_time("fav.ini.copia-Zz99Yy", now - std::chrono::minutes(1));
  std::string seen;
  int putBack = 0;
  EXPECT_EQ(FileReadContent("fav.ini", seen, putBack), 1);
  EXPECT_EQ(seen, "Alien#1#C\r\n");
  EXPECT_EQ(putBack, 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"fav.ini"});
  EXPECT_EQ(FileReadContent("fav.ini", seen, putBack), 1);
  EXPECT_EQ(putBack, 0);
}

}  // namespace
