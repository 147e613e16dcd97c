// Placeholder bodies, replaced when this part is built.
#include "services/text/text.h"

std::int64_t TextLength(std::string_view t) { return static_cast<std::int64_t>(t.size()); }
std::int64_t TextFind(std::string_view, std::string_view, std::int64_t) { return 0; }
Text TextMid(std::string_view, std::int64_t, std::int64_t) { return {}; }
Text TextLeft(std::string_view, std::int64_t) { return {}; }
Text TextRight(std::string_view, std::int64_t) { return {}; }
Text TextTrim(std::string_view t) { return Text(t); }
std::int64_t TextValue(std::string_view) { return 0; }
Text TextOfNumber(std::int64_t n) { return std::to_string(n); }
Text TextOfCode(std::int64_t) { return {}; }
Text TextSpaces(std::int64_t) { return {}; }
Text TextReplace(std::string_view t, std::string_view, std::string_view, bool) { return Text(t); }
Text TextRemove(std::string_view t, std::string_view, bool) { return Text(t); }
Text TextField(std::string_view, std::int64_t, std::string_view) { return {}; }
std::int64_t TextCount(std::string_view, std::string_view) { return 0; }
bool TextEquals(std::string_view a, std::string_view b) { return a == b; }
std::filesystem::path TextToPath(std::string_view t) { return std::filesystem::path(std::string(t)); }
Text TextFromUtf8(std::string_view u) { return Text(u); }
std::string TextToUtf8(std::string_view t) { return std::string(t); }
