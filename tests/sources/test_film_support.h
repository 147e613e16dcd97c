#pragma once
// Helpers of the film-extraction tests: a fresh working directory, reading test pages, and the
// plain-text rendering of a card that the golden files hold.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "services/text/cp1252_literal.h"
#include "sources/film_card.h"

namespace filmtest {

// Runs a test inside a new empty directory (the cast file is written to the working directory).
class ScratchDirectory {
 public:
  ScratchDirectory() : previous_(std::filesystem::current_path()) {
    path_ = std::filesystem::temp_directory_path() /
            ("cinevarta-film-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::filesystem::path previous_, path_;
};

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::filesystem::path FilmsDir() { return std::filesystem::path(TEST_DATA_DIR) / "films"; }

// Windows-1252 bytes to UTF-8, so that the golden files read as plain text in any editor.
inline std::string Utf8Of(const std::string& cp1252Text) {
  std::string out;
  for (unsigned char b : cp1252Text) {
    char32_t c = b;
    if (b >= 0x80 && b < 0xA0) c = cp1252::kHighControls[b - 0x80] ? cp1252::kHighControls[b - 0x80] : U'?';
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// One field as "name: value" when it is one line, else as "name:" and one "| line" per line.
// CR LF ends a line; a lone CR or LF shows as <CR> or <LF>, so nothing is lost.
inline std::string RenderField(const std::string& name, const std::string& value) {
  std::string v;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
      v += '\n';
      ++i;
    } else if (value[i] == '\r') {
      v += "<CR>";
    } else if (value[i] == '\n') {
      v += "<LF>";
    } else {
      v += value[i];
    }
  }
  v = Utf8Of(v);
  if (v.find('\n') == std::string::npos) return name + ": " + v + "\n";
  std::string out = name + ":\n";
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = v.find('\n', start);
    out += "| " + v.substr(start, end == std::string::npos ? std::string::npos : end - start) + "\n";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

inline std::string RenderCard(const FilmCard& card) {
  return RenderField("title", card.title) + RenderField("genre", card.genre) +
         RenderField("nationality", card.nationality) + RenderField("director", card.director) +
         RenderField("moralRating", card.moralRating) + RenderField("rating", card.rating) +
         RenderField("actors", card.actors) + RenderField("synopsis", card.synopsis) +
         RenderField("coverPath", card.coverPath);
}

// Compares a rendering with its golden file; CINEVARTA_UPDATE_GOLDEN=1 rewrites the file instead,
// for a change that is meant (read the diff before committing it).
inline void ExpectGolden(const std::filesystem::path& golden, const std::string& rendering) {
  const char* update = std::getenv("CINEVARTA_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    WriteBytes(golden, rendering);
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(golden)) << "missing golden file " << golden;
  EXPECT_EQ(ReadBytes(golden), rendering) << "card differs from " << golden;
}

}  // namespace filmtest
