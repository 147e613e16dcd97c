#pragma once
// The one UTF-8 decoder of the system, constexpr so that the same checks hold for the source
// literals converted at compile time ("…"_t) and for UTF-8 met at run time (TextFromUtf8).
//
// It reads one character and says how many bytes it took. A sequence is broken when its first
// byte cannot start one (a lone continuation byte, 0xF8 and above), when a continuation byte is
// missing or the text ends inside it, when it is longer than its code point needs (an overlong
// form: "/" written as 0xC0 0xAF), when it stands for a surrogate (U+D800 to U+DFFF, which UTF-8
// never carries), or when it goes past U+10FFFF. A broken sequence takes one byte, so the reader
// goes on at the next. E.g. "é" (0xC3 0xA9) gives U+00E9 in 2 bytes; 0xED 0xA0 0x80 (a surrogate)
// is broken; 0xE2 0x82 followed by the end is broken.
//
// It does not map code points to Windows-1252 bytes; cp1252_literal.h does that.
#include <cstddef>
#include <string_view>

namespace utf8 {

struct Decoded {
  char32_t codePoint;  // meaningless when broken
  std::size_t length;  // 1 to 4
  bool broken;
};

constexpr Decoded DecodeAt(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return {lead, 1, false};
  std::size_t extra = 0;
  char32_t c = 0;
  char32_t least = 0;  // the smallest code point that needs this many bytes
  if ((lead & 0xE0) == 0xC0) {
    c = lead & 0x1F;
    extra = 1;
    least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    c = lead & 0x0F;
    extra = 2;
    least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    c = lead & 0x07;
    extra = 3;
    least = 0x10000;
  } else {
    return {0, 1, true};
  }
  if (extra >= text.size() - i) return {0, 1, true};  // cut off by the end
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return {0, 1, true};
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {0, 1, true};
  return {c, extra + 1, false};
}

}  // namespace utf8
