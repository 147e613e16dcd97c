// The string primitives on their edge rules (1-based positions, clamping of any 64-bit argument,
// wrapping arithmetic, ASCII-only ignore-case), the compile-time Windows-1252 literals, and the
// conversions to UTF-8, file names and QString.
#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

#include "services/text/cp1252_literal.h"
#include "services/text/qt_text.h"
#include "services/text/text.h"

namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// Every byte but 0, in order: the whole alphabet a text can hold.
Text AllBytes() {
  Text t;
  for (int b = 1; b < 256; ++b) t += static_cast<char>(b);
  return t;
}

TEST(TextLength, CountsBytes) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("abc"), 3);
  EXPECT_EQ(TextLength("Películas"_t), 9);  // one byte per accented letter
  EXPECT_EQ(TextLength(AllBytes()), 255);
}

TEST(TextFind, PositionsAndClamping) {
  auto check = [](std::string_view t, std::string_view what, std::int64_t start,
                  std::int64_t expected) {
    EXPECT_EQ(TextFind(t, what, start), expected)
        << "TextFind(\"" << t << "\", \"" << what << "\", " << start << ")";
  };
  check("abcb", "b", 3, 4);
  check("abcb", "b", 4, 4);  // a start on the last byte still finds it
  check("abcb", "b", 5, 0);
  check("abcb", "b", 0, 2);
  check("abcb", "b", -7, 2);
  check("abcb", "b", kMin, 2);
  check("abcb", "b", kMax, 0);
  check("abcb", "b", 1, 2);
  check("abcb", "", 1, 0);  // an empty text is never found
  check("", "a", 1, 0);
  check("", "", 1, 0);
  check("abc", "cd", 1, 0);  // an occurrence running past the end does not count
  check("abc", "abcd", 1, 0);
  check("abc", "abc", 1, 1);
  check("abc", "abc", 2, 0);
  check("aXbXc", "X", 3, 4);
  check("abAB", "AB", 1, 3);  // with letter case
  check("abAB", "Ab", 1, 0);
  check("Género: drama"_t, "é"_t, 1, 2);
  check("x\x80y\x80", "\x80", 3, 4);  // bytes above 127 are plain bytes
}

TEST(TextMid, ClampsStartAndCount) {
  auto check = [](std::string_view t, std::int64_t start, std::int64_t count,
                  std::string_view expected) {
    EXPECT_EQ(TextMid(t, start, count), expected)
        << "TextMid(\"" << t << "\", " << start << ", " << count << ")";
  };
  check("abcdef", 3, 2, "cd");
  check("abcdef", 0, 2, "ab");
  check("abcdef", 5, 10, "ef");
  check("abcdef", 9, 2, "");
  check("abcdef", 2, -1, "");
  check("abcdef", 2, 0, "");
  check("abcdef", 6, 1, "f");
  check("abcdef", 7, 1, "");
  check("abcdef", 1, 6, "abcdef");
  check("abcdef", kMin, 2, "ab");
  check("abcdef", kMin, kMax, "abcdef");
  check("abcdef", kMax, 1, "");
  check("abcdef", kMax, kMax, "");
  check("abcdef", 2, kMax, "bcdef");
  check("abcdef", 3, kMin, "");
  check("abcdef", kMin, kMin, "");
  check("", 1, 1, "");
  check("", kMin, kMax, "");
}

TEST(TextLeftRight, ClampTheCount) {
  auto left = [](std::string_view t, std::int64_t n, std::string_view expected) {
    EXPECT_EQ(TextLeft(t, n), expected) << "TextLeft(\"" << t << "\", " << n << ")";
  };
  auto right = [](std::string_view t, std::int64_t n, std::string_view expected) {
    EXPECT_EQ(TextRight(t, n), expected) << "TextRight(\"" << t << "\", " << n << ")";
  };
  left("abc", 5, "abc");
  left("abc", 2, "ab");
  left("abc", 0, "");
  left("abc", -1, "");
  left("abc", kMin, "");
  left("abc", kMax, "abc");
  left("", 3, "");
  right("abc", 2, "bc");
  right("abc", -1, "");
  right("abc", 3, "abc");
  right("abc", 5, "abc");
  right("abc", 0, "");
  right("abc", kMin, "");
  right("abc", kMax, "abc");
  right("", kMax, "");
}

TEST(TextTrim, SpacesOnly) {
  auto check = [](std::string_view t, std::string_view expected) {
    EXPECT_EQ(TextTrim(t), expected) << "TextTrim(\"" << t << "\")";
  };
  check("  a b\t", "a b\t");  // the tab stays, and with it the spaces before it
  check("\t a \t", "\t a \t");
  check("   ", "");
  check("", "");
  check(" x ", "x");
  check("x", "x");
  check("\xA0x\xA0", "\xA0x\xA0");  // the no-break space of the code page is not a space
}

TEST(TextValue, ReadsTheLeadingNumber) {
  auto check = [](std::string_view t, std::int64_t expected) {
    EXPECT_EQ(TextValue(t), expected) << "TextValue(\"" << t << "\")";
  };
  check("  -42x", -42);
  check("$1F", 31);
  check("$1f", 31);
  check("%101", 5);
  check("x1", 0);
  check(" 5 Results", 5);
  check("12", 12);
  check("3'>", 3);
  check("&n", 0);
  check("", 0);
  check("\t\t7", 7);
  check("+8", 8);
  check("-$ff", -255);
  check("%102", 2);  // the first non-binary digit ends the number
  check("$g", 0);
  check("$", 0);
  check("-", 0);
  check("- 5", 0);  // no blanks between the sign and the digits
  check("--5", 0);
  check("+-5", 0);
  check("0x1F", 0);
  check("1e5", 1);
  check("007", 7);
  check("\xB9", 0);  // superscript one is not a digit
}

TEST(TextValue, WrapsIn64Bits) {
  auto check = [](std::string_view t, std::int64_t expected) {
    EXPECT_EQ(TextValue(t), expected) << "TextValue(\"" << t << "\")";
  };
  check("9223372036854775807", kMax);
  check("-9223372036854775808", kMin);
  check("9223372036854775808", kMin);
  check("18446744073709551615", -1);
  check("18446744073709551616", 0);
  check("18446744073709551617", 1);
  check("$FFFFFFFFFFFFFFFF", -1);
  check("$10000000000000000", 0);
  check("$123456789ABCDEF0123", 0x456789ABCDEF0123);  // only the low 64 bits remain
  check("%" + std::string(65, '1'), -1);
  check("-$8000000000000000", kMin);

  // A long run of digits wraps exactly as unsigned 64-bit arithmetic does.
  std::uint64_t wrapped = 0;
  std::string digits;
  for (int i = 0; i < 500; ++i) {
    const int d = (i * 7 + 3) % 10;
    digits += static_cast<char>('0' + d);
    wrapped = wrapped * 10 + static_cast<std::uint64_t>(d);
  }
  check(digits, static_cast<std::int64_t>(wrapped));
  check("-" + digits, static_cast<std::int64_t>(~wrapped + 1));
}

TEST(TextOfNumberCodeSpaces, Forms) {
  EXPECT_EQ(TextOfNumber(-5), "-5");
  EXPECT_EQ(TextOfNumber(0), "0");
  EXPECT_EQ(TextOfNumber(120), "120");
  EXPECT_EQ(TextOfNumber(kMin), "-9223372036854775808");
  EXPECT_EQ(TextOfNumber(kMax), "9223372036854775807");
  EXPECT_EQ(TextValue(TextOfNumber(kMin)), kMin);

  auto code = [](std::int64_t c, std::string_view expected) {
    EXPECT_EQ(TextOfCode(c), expected) << "TextOfCode(" << c << ")";
  };
  code(65, "A");
  code(233, "\xE9");
  code(128, "\x80");
  code(255, "\xFF");
  code(0, "");
  code(256, "");  // low 8 bits 0
  code(256 + 65, "A");
  code(-1, "\xFF");
  code(-23, "\xE9");
  code(kMin, "");
  code(kMax, "\xFF");

  EXPECT_EQ(TextSpaces(3), "   ");
  EXPECT_EQ(TextSpaces(0), "");
  EXPECT_EQ(TextSpaces(-1), "");
  EXPECT_EQ(TextSpaces(kMin), "");
}

TEST(TextReplace, EveryOccurrenceLeftToRight) {
  auto check = [](std::string_view t, std::string_view what, std::string_view by, bool ignore,
                  std::string_view expected) {
    EXPECT_EQ(TextReplace(t, what, by, ignore), expected)
        << "TextReplace(\"" << t << "\", \"" << what << "\", \"" << by << "\", " << ignore << ")";
  };
  check("aaaa", "aa", "b", false, "bb");  // no overlap
  check("aaa", "aa", "b", false, "ba");
  check("AbAB", "ab", "x", true, "xx");
  check("AbAB", "ab", "x", false, "AbAB");
  check("a/b", "/", " de ", false, "a de b");
  check("aXa", "a", "aa", false, "aaXaa");  // a replacement is never scanned again
  check("abab", "ab", "", false, "");
  check("", "a", "b", false, "");
  check("xyz", "q", "b", false, "xyz");
  check("Drama / Comedia / Terror", " / ", ", ", false, "Drama, Comedia, Terror");
  check("<BR><br><Br>", "<br>", "\r\n", true, "\r\n\r\n\r\n");
  // The ignore-case flag folds A-Z and a-z only: never accented letters, and never the bytes
  // that differ from a letter by the case bit alone (@ and `, [ and {, 0xC0 and 0xE0).
  check("Él él"_t, "él"_t, "x", true, "Él x"_t);
  check("ÀLA àla"_t, "àla"_t, "x", true, "ÀLA x"_t);
  check("ÀLA àla"_t, "àLA"_t, "x", true, "ÀLA x"_t);
  check("@a`a", "`A", "x", true, "@ax");
  check("[{", "{", "x", true, "[x");
  check("\x8A\x9A", "\x9A", "x", true, "\x8Ax");  // S and s with caron stay apart
  // An empty text to find leaves the text as it is.
  check("abc", "", "x", false, "abc");
  check("abc", "", "x", true, "abc");
}

TEST(TextRemove, DropsEveryOccurrence) {
  auto check = [](std::string_view t, std::string_view what, bool ignore,
                  std::string_view expected) {
    EXPECT_EQ(TextRemove(t, what, ignore), expected)
        << "TextRemove(\"" << t << "\", \"" << what << "\", " << ignore << ")";
  };
  check("x</font>y</FONT>", "</font>", false, "xy</FONT>");
  check("x</font>y</FONT>", "</font>", true, "xy");
  check("x</FoNt>y", "</fOnT>", true, "xy");
  check("", "a", false, "");
  check("abc", "", false, "abc");
  check("aaaaa", "aa", false, "a");
  check("a<<b>>c", "<b>", false, "a<>c");  // what is left behind is not scanned again
  check("Ñandú ñandú"_t, "ñ"_t, true, "Ñandú andú"_t);
}

TEST(TextField, FieldsBetweenSeparators) {
  auto check = [](std::string_view t, std::int64_t n, std::string_view separator,
                  std::string_view expected) {
    EXPECT_EQ(TextField(t, n, separator), expected)
        << "TextField(\"" << t << "\", " << n << ", \"" << separator << "\")";
  };
  check("a#b##c", 1, "#", "a");
  check("a#b##c", 2, "#", "b");
  check("a#b##c", 3, "#", "");
  check("a#b##c", 4, "#", "c");
  check("a#b##c", 5, "#", "");
  check("a#b##c", 0, "#", "a");
  check("a#b##c", kMin, "#", "a");
  check("a#b##c", kMax, "#", "");
  check("#a", 1, "#", "");
  check("#a", 2, "#", "a");
  check("a#", 2, "#", "");
  check("", 1, "#", "");
  check("abc", 1, "", "abc");  // without a separator only the end of the text separates
  check("abc", 2, "", "");
  check("a#xb#c", 2, "#x", "xb");  // only the first byte of the separator counts
  check("Amélie#tt0211915#I"_t, 1, "#", "Amélie"_t);
  check("Amélie#tt0211915#I"_t, 3, "#", "I");
  check("a\nb\nc", 2, "\n", "b");
  check("a\xE9" "b", 2, "\xE9", "b");
}

TEST(TextCount, NonOverlapping) {
  auto check = [](std::string_view t, std::string_view what, std::int64_t expected) {
    EXPECT_EQ(TextCount(t, what), expected) << "TextCount(\"" << t << "\", \"" << what << "\")";
  };
  check("aaaa", "aa", 2);
  check("aaa", "aa", 1);
  check("aaaaa", "aa", 2);
  check("", "a", 0);
  check("a", "", 0);
  check("", "", 0);
  check("abAB", "ab", 1);  // with letter case
  check("abc", "abcd", 0);
  check("<tr><tr><tr>", "<tr>", 3);
}

TEST(TextEquals, ByteForByte) {
  EXPECT_FALSE(TextEquals("C", "c"));
  EXPECT_TRUE(TextEquals(std::string_view{}, ""));  // an absent text equals the empty one
  EXPECT_TRUE(TextEquals("é"_t, "\xE9"));
  EXPECT_FALSE(TextEquals("ab", "abc"));
  EXPECT_FALSE(TextEquals("\xC9", "\xE9"));
  EXPECT_TRUE(TextEquals(AllBytes(), AllBytes()));
}

// --- The literals ---------------------------------------------------------------------------

static_assert(std::is_same_v<decltype("x"_t), const std::string&>);
// The characters of the literals are known at compile time; a character outside the code page
// has no byte and so stops the compilation of a literal that holds it.
static_assert(cp1252::ByteOf(U'\u20AC') == 0x80);
static_assert(cp1252::ByteOf(U'\u03A9') == -1);
static_assert(cp1252::ByteOf(U'\u0100') == -1);
static_assert(cp1252::kConverted<"é">.size == 1 && cp1252::kConverted<"é">.bytes[0] == '\xE9');

TEST(TextLiteral, TheSystemsTextsBecomeWindows1252) {
  EXPECT_EQ("Películas Favoritas"_t, "Pel\xED" "culas Favoritas");
  EXPECT_EQ("'titulo3'>Género:</font><br>"_t, "'titulo3'>G\xE9nero:</font><br>");
  EXPECT_EQ("¿Incluir la imágen en la impresión?"_t, "\xBFIncluir la im\xE1gen en la impresi\xF3n?");
  EXPECT_EQ("Buscando Posibles Títulos..."_t, "Buscando Posibles T\xEDtulos...");
  EXPECT_EQ("ÁÉÍÓÚÜÑáéíóúüñ¡¿ºª"_t,
            "\xC1\xC9\xCD\xD3\xDA\xDC\xD1\xE1\xE9\xED\xF3\xFA\xFC\xF1\xA1\xBF\xBA\xAA");
  EXPECT_EQ("plain ASCII"_t, "plain ASCII");
  EXPECT_EQ(""_t, "");
}

TEST(TextLiteral, TheBytes0x80To0x9F) {
  EXPECT_EQ("€"_t, "\x80");
  EXPECT_EQ("Precio: 5 €"_t, "Precio: 5 \x80");
  EXPECT_EQ("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ"_t,
            "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97"
            "\x98\x99\x9A\x9B\x9C\x9E\x9F");
  // The five unused bytes stand for the control characters of the same number.
  EXPECT_EQ("\u0081\u008D\u008F\u0090\u009D"_t, "\x81\x8D\x8F\x90\x9D");
}

TEST(TextLiteral, OneObjectPerLiteral) {
  const Text& a = "Películas Favoritas"_t;
  const Text& b = "Películas Favoritas"_t;
  EXPECT_EQ(&a, &b);
}

// --- Conversions at the edges ---------------------------------------------------------------

TEST(TextUtf8, EveryByteSurvivesTheRoundTrip) {
  const Text all = AllBytes();
  const std::string utf8 = TextToUtf8(all);
  EXPECT_EQ(TextFromUtf8(utf8), all);
  EXPECT_EQ(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).size(), 255);
}

TEST(TextUtf8, Conversions) {
  auto to = [](std::string_view t, std::string_view expected) {
    EXPECT_EQ(TextToUtf8(t), expected);
  };
  to("\x80", "\xE2\x82\xAC");
  to("\xE9", "\xC3\xA9");
  to("\x9F", "\xC5\xB8");
  to("\x81", "\xC2\x81");
  to("abc", "abc");
  to("", "");

  auto from = [](std::string_view utf8, std::string_view expected) {
    EXPECT_EQ(TextFromUtf8(utf8), expected) << "TextFromUtf8(\"" << utf8 << "\")";
  };
  from("Películas", "Películas"_t);
  from("5 €", "5 \x80");
  from("Ω", "?");                    // no byte in the code page
  from("日本", "??");                 // one "?" per character, not per byte
  from("a\xF0\x9F\x8E\xAC" "b", "a?b");  // outside the basic plane
  from("a\xC3" "b", "a?b");           // a sequence cut short
  from("\xE9", "?");                 // a Windows-1252 byte is not UTF-8
  from("\xED\xA0\x80", "???");       // an encoded surrogate is broken
  from("\xC3", "?");
  from("\xC0\xAF", "??");            // "/" in an overlong form is no slash
  from("\xF4\x90\x80\x80", "????");  // past U+10FFFF
  from(std::string_view("ab\0cd", 5), "ab");  // a text ends at a zero
}

TEST(TextPath, FileNamesAreUtf8) {
  EXPECT_EQ(TextToPath("Películas.txt"_t).native(), "Pel\xC3\xAD" "culas.txt");
  EXPECT_EQ(TextToPath("favoritos.ini").native(), "favoritos.ini");
  EXPECT_EQ(TextToPath("sub/portada.jpg").native(), "sub/portada.jpg");
}

TEST(TextQString, ToQString) {
  EXPECT_EQ(TextToQString("Películas Favoritas"_t), QString::fromUtf8("Películas Favoritas"));
  EXPECT_EQ(TextToQString("\x80"), QString(QChar(0x20AC)));
  EXPECT_EQ(TextToQString("\x9F"), QString(QChar(0x0178)));
  EXPECT_EQ(TextToQString("\x81"), QString(QChar(0x0081)));
  EXPECT_EQ(TextToQString(""), QString());
  EXPECT_EQ(TextToQString(AllBytes()).size(), 255);
}

TEST(TextQString, FromQString) {
  auto check = [](const QString& s, std::string_view expected) {
    EXPECT_EQ(TextFromQString(s), expected) << s.toStdString();
  };
  check(QString::fromUtf8("¿Incluir la imágen en la impresión?"),
        "¿Incluir la imágen en la impresión?"_t);
  check(QString::fromUtf8("a€b"), "a\x80" "b");
  check(QString::fromUtf8("Ω"), "?");
  check(QString::fromUtf8("Ωmega ŁÓDŹ"), "?mega ?\xD3" "D?");
  check(QString::fromUtf8("\xF0\x9F\x8E\xAC"), "?");  // a surrogate pair is one character
  check(QString(QChar(0xD800)), "?");                 // a lone surrogate
  check(QString(QChar(0xDC00)) + "x", "?x");
  check(QString::fromUtf8("ab\0cd", 5), "ab");        // a text ends at a zero
  check(QString(), "");
}

TEST(TextQString, EveryByteSurvivesTheRoundTrip) {
  const Text all = AllBytes();
  EXPECT_EQ(TextFromQString(TextToQString(all)), all);
  for (int b = 1; b < 256; ++b) {
    const Text one(1, static_cast<char>(b));
    EXPECT_EQ(TextToQString(one), QString::fromUtf8(TextToUtf8(one).c_str())) << "byte " << b;
  }
}

}  // namespace
