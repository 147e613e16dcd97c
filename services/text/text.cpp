// The string primitives: 1-based positions, clamped arguments, byte-for-byte comparison.
#include "services/text/text.h"

#include <string.h>

#include <algorithm>
#include <utility>

namespace {

constexpr unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool SameIgnoringCase(char a, char b) {
  return Lower(static_cast<unsigned char>(a)) == Lower(static_cast<unsigned char>(b));
}

// Position (0-based) of the first occurrence of what in t at or after from, npos when none.
// The search is glibc's memmem, which skips ahead on the text's own bytes and falls back to the
// linear two-way search for long texts to find. std::string_view::find calls memchr and memcmp
// at every copy of the first byte of what, some twenty times slower on a text full of that byte
// (a page of "%" or "&"), and quadratic for a long what in a text that repeats its start.
std::size_t FindFrom(std::string_view t, std::string_view what, std::size_t from,
                     bool ignoreCase) {
  if (from > t.size()) return std::string_view::npos;
  if (what.empty()) return from;
  if (what.size() > t.size() - from) return std::string_view::npos;
  if (!ignoreCase) {
    const void* hit = ::memmem(t.data() + from, t.size() - from, what.data(), what.size());
    return hit == nullptr ? std::string_view::npos
                          : static_cast<std::size_t>(static_cast<const char*>(hit) - t.data());
  }
  const auto hit = std::search(t.begin() + static_cast<std::ptrdiff_t>(from), t.end(),
                               what.begin(), what.end(), SameIgnoringCase);
  return hit == t.end() ? std::string_view::npos : static_cast<std::size_t>(hit - t.begin());
}

// Every non-overlapping occurrence of what, left to right, replaced by by.
Text ReplaceAll(std::string_view t, std::string_view what, std::string_view by, bool ignoreCase) {
  if (t.empty() || what.empty()) return Text(t);
  std::size_t p = FindFrom(t, what, 0, ignoreCase);
  if (p == std::string_view::npos) return Text(t);
  Text out;
  out.reserve(t.size());
  std::size_t done = 0;
  while (p != std::string_view::npos) {
    out.append(t.substr(done, p - done));
    out.append(by);
    done = p + what.size();
    p = FindFrom(t, what, done, ignoreCase);
  }
  out.append(t.substr(done));
  return out;
}

// A start and count clamped to the text: [begin, begin + length) always lies inside t.
Text Slice(std::string_view t, std::int64_t begin, std::int64_t length) {
  const auto size = static_cast<std::int64_t>(t.size());
  begin = std::clamp<std::int64_t>(begin, 0, size);
  length = std::clamp<std::int64_t>(length, 0, size - begin);
  return Text(t.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(length)));
}

}  // namespace

std::int64_t TextLength(std::string_view t) { return static_cast<std::int64_t>(t.size()); }

std::int64_t TextFind(std::string_view t, std::string_view what, std::int64_t start) {
  if (t.empty() || what.empty()) return 0;
  if (start < 1) start = 1;
  if (start > TextLength(t)) return 0;
  const std::size_t p = FindFrom(t, what, static_cast<std::size_t>(start - 1), false);
  return p == std::string_view::npos ? 0 : static_cast<std::int64_t>(p) + 1;
}

Text TextMid(std::string_view t, std::int64_t start, std::int64_t count) {
  if (count <= 0) return {};
  if (start < 1) start = 1;
  if (start > TextLength(t)) return {};
  return Slice(t, start - 1, count);
}

Text TextLeft(std::string_view t, std::int64_t n) { return Slice(t, 0, n); }

Text TextRight(std::string_view t, std::int64_t n) {
  n = std::clamp<std::int64_t>(n, 0, TextLength(t));
  return Slice(t, TextLength(t) - n, n);
}

Text TextTrim(std::string_view t) {
  const auto first = t.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = t.find_last_not_of(' ');
  return Text(t.substr(first, last - first + 1));
}

std::int64_t TextValue(std::string_view t) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  unsigned base = 10;
  if (i < t.size() && t[i] == '$') { base = 16; ++i; }
  else if (i < t.size() && t[i] == '%') { base = 2; ++i; }
  // Unsigned arithmetic wraps in 64 bits without undefined behaviour.
  std::uint64_t value = 0;
  for (; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    unsigned digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  if (negative) value = ~value + 1;
  return static_cast<std::int64_t>(value);
}

Text TextOfNumber(std::int64_t n) { return std::to_string(n); }

Text TextOfCode(std::int64_t c) {
  const auto byte = static_cast<char>(static_cast<std::uint64_t>(c) & 0xFF);
  if (byte == 0) return {};
  return Text(1, byte);
}

Text TextSpaces(std::int64_t n) {
  return Text(static_cast<std::size_t>(std::max<std::int64_t>(n, 0)), ' ');
}

Text TextReplace(std::string_view t, std::string_view what, std::string_view by,
                 bool ignoreCase) {
  return ReplaceAll(t, what, by, ignoreCase);
}

Text TextRemove(std::string_view t, std::string_view what, bool ignoreCase) {
  return ReplaceAll(t, what, {}, ignoreCase);
}

Text TextField(std::string_view t, std::int64_t n, std::string_view separator) {
  if (n < 1) n = 1;
  if (separator.empty()) return n == 1 ? Text(t) : Text();
  const char sep = separator[0];
  std::size_t begin = 0;
  for (std::int64_t field = 1; field < n; ++field) {
    const std::size_t p = t.find(sep, begin);
    if (p == std::string_view::npos) return {};
    begin = p + 1;
  }
  const std::size_t end = t.find(sep, begin);
  return Text(t.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

std::int64_t TextCount(std::string_view t, std::string_view what) {
  if (t.empty() || what.empty()) return 0;
  std::int64_t count = 0;
  for (std::size_t p = FindFrom(t, what, 0, false); p != std::string_view::npos;
       p = FindFrom(t, what, p + what.size(), false))
    ++count;
  return count;
}

bool TextEquals(std::string_view a, std::string_view b) { return a == b; }

// --- Conversions at the edges ------------------------------------------------------------

std::string TextToUtf8(std::string_view t) {
  std::string out;
  out.reserve(t.size() + t.size() / 4);
  for (const char ch : t) {
    const char32_t c = cp1252::CodePointOf(static_cast<unsigned char>(ch));
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {  // every code point of the table lies below 0x10000
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Text TextFromUtf8(std::string_view bytes) {
  Text out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const utf8::Decoded d = utf8::DecodeAt(bytes, i);
    i += d.length;
    if (d.broken) {  // a broken sequence has no byte
      out += '?';
      continue;
    }
    if (d.codePoint == 0) break;  // a text never holds the byte 0: it ends there
    const int byte = cp1252::ByteOf(d.codePoint);
    out += byte < 0 ? '?' : static_cast<char>(byte);
  }
  return out;
}

std::filesystem::path TextToPath(std::string_view t) { return std::filesystem::path(TextToUtf8(t)); }
