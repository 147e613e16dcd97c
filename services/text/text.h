#pragma once
// Texts and the string primitives every parser of the system is written with.
//
// A `Text` is a std::string of single Windows-1252 bytes that never holds the byte 0. Positions
// are 1-based; a search that finds nothing answers 0, and every operation clamps its arguments
// instead of failing, so parsers can do arithmetic on missing markers without care. E.g.
// TextMid("abcdef", 0, 2) is "ab" (a start below 1 counts as 1), TextMid("abcdef", 9, 2) is "",
// and TextFind(t, "", 1) is 0, not 1: an empty text is never found.
//
// These operations do not know HTML, files or the GUI; they work on whole texts in memory.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "services/text/cp1252_literal.h"

using Text = std::string;

std::int64_t TextLength(std::string_view t);
std::int64_t TextFind(std::string_view t, std::string_view what, std::int64_t start);
Text TextMid(std::string_view t, std::int64_t start, std::int64_t count);
Text TextLeft(std::string_view t, std::int64_t n);
Text TextRight(std::string_view t, std::int64_t n);
Text TextTrim(std::string_view t);  // spaces (byte 32) only; tabs stay
std::int64_t TextValue(std::string_view t);
Text TextOfNumber(std::int64_t n);
Text TextOfCode(std::int64_t c);  // the low 8 bits as one byte; empty for 0
Text TextSpaces(std::int64_t n);
Text TextReplace(std::string_view t, std::string_view what, std::string_view by,
                 bool ignoreCase = false);
Text TextRemove(std::string_view t, std::string_view what, bool ignoreCase = false);
Text TextField(std::string_view t, std::int64_t n, std::string_view separator);
std::int64_t TextCount(std::string_view t, std::string_view what);
bool TextEquals(std::string_view a, std::string_view b);

// Run-time conversions at the edges of the system. A text becomes a file name in UTF-8 for the
// operating system; a UTF-8 name (from a dialog) becomes a text, with "?" for every character
// that has no Windows-1252 byte.
std::filesystem::path TextToPath(std::string_view t);
Text TextFromUtf8(std::string_view utf8);
std::string TextToUtf8(std::string_view t);
