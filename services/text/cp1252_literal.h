#pragma once
// Compile-time conversion of the system's UTF-8 source literals into Windows-1252 bytes.
//
// The program's own texts ("Películas Favoritas", "¿Incluir la imágen en la impresión?") are
// written in the source as they stand, in UTF-8, and must exist at run time as Windows-1252
// bytes. `"Películas"_t` converts at compile time and yields a `const Text&`; a character that
// has no Windows-1252 byte (say "€" works, as 0x80, but "Ω" does not) stops the compilation.
// It does not convert run-time data: TextFromUtf8 and TextToUtf8 in text.h do that, with the
// same table.
#include <cstddef>
#include <string>

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
  std::size_t i = 0;
  while (i + 1 < N) {  // the last byte is the terminating zero
    auto b = static_cast<unsigned char>(in.bytes[i]);
    char32_t c = 0;
    std::size_t extra = 0;
    if (b < 0x80) { c = b; }
    else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; extra = 1; }
    else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; extra = 2; }
    else if ((b & 0xF8) == 0xF0) { c = b & 0x07; extra = 3; }
    else BrokenUtf8InLiteral();
    if (i + extra > N - 2) BrokenUtf8InLiteral();  // a sequence cut off by the end
    for (std::size_t k = 1; k <= extra; ++k) {
      auto cb = static_cast<unsigned char>(in.bytes[i + k]);
      if ((cb & 0xC0) != 0x80) BrokenUtf8InLiteral();
      c = (c << 6) | (cb & 0x3F);
    }
    int byte = ByteOf(c);
    if (byte < 0 || c == 0) NoWindows1252ByteFor(c);
    out.bytes[out.size++] = static_cast<char>(byte);
    i += extra + 1;
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
