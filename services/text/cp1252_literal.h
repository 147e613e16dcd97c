#pragma once
// Compile-time conversion of the system's UTF-8 source literals into Windows-1252 bytes.
//
// The program's own texts ("Películas Favoritas", "¿Incluir la imágen en la impresión?") are
// written in the source as they stand, in UTF-8, and must exist at run time as Windows-1252
// bytes. `"Películas"_t` converts at compile time and yields a `const Text&`; a character that
// has no Windows-1252 byte (say "€" works, as 0x80, but "Ω" does not) stops the compilation, and
// so does UTF-8 that the decoder of utf8.h calls broken (an overlong form, a surrogate).
// It does not convert run-time data: TextFromUtf8 and TextToUtf8 in text.h do that, with the
// same table and the same decoder.
#include <cstddef>
#include <string>
#include <string_view>

#include "services/text/utf8.h"

namespace cp1252 {

// The Unicode code points of the bytes 0x80-0x9F in Windows-1252. The five bytes the code page
// leaves unused (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same
// number, as the Windows conversion does, so that every byte survives a round trip.
inline constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The code point of a Windows-1252 byte.
constexpr char32_t CodePointOf(unsigned char b) {
  return (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : static_cast<char32_t>(b);
}

// The Windows-1252 byte of a code point, or -1 when it has none.
constexpr int ByteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == c) return 0x80 + i;
  return -1;
}

template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = s[i];
  }
};

template <std::size_t N>
struct Converted {
  char bytes[N]{};
  std::size_t size = 0;
};

// Not constexpr on purpose: reaching it during constant evaluation is the compile error.
void NoWindows1252ByteFor(char32_t);
void BrokenUtf8InLiteral();

template <std::size_t N>
consteval Converted<N> Convert(const Utf8Literal<N>& in) {
  Converted<N> out{};
  const std::string_view text(in.bytes, N - 1);  // without the terminating zero
  for (std::size_t i = 0; i < text.size();) {
    const utf8::Decoded d = utf8::DecodeAt(text, i);
    if (d.broken) BrokenUtf8InLiteral();
    const int byte = ByteOf(d.codePoint);
    if (byte < 0 || d.codePoint == 0) NoWindows1252ByteFor(d.codePoint);
    out.bytes[out.size++] = static_cast<char>(byte);
    i += d.length;
  }
  return out;
}

template <Utf8Literal L>
inline constexpr Converted<sizeof(L.bytes)> kConverted = Convert(L);

}  // namespace cp1252

// "Texto"_t: the Windows-1252 bytes of a UTF-8 source literal, converted at compile time.
template <cp1252::Utf8Literal L>
const std::string& operator""_t() {
  static const std::string text(cp1252::kConverted<L>.bytes, cp1252::kConverted<L>.size);
  return text;
}
