// Runs DecodeEntities and a plain reading of its rule side by side on texts up to 256 KB and stops
// at the first text where they differ. The plain reading does what the rule says, pass by pass,
// with the text primitives: the reference between the first "&#" and the first ";" after it,
// every copy of it replaced by the byte of its value, until the first "&#" starts no reference,
// each pass charged the length of the text it reads against the same budget; then the three
// percent escapes. Within the budget the two agree exactly. Past it, DecodeEntities keeps the
// references the passes have not reached, unless the field's references are all plain and it
// decoded them all in one reading, which leaves no "&#". The seeds of 256 KB set the largest
// text libFuzzer makes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/text/text.h"
#include "sources/extract.h"

namespace {

Text DecodeByTheRule(std::string_view text, bool& pastBudget) {
  Text t(text);
  std::int64_t left = kDecodePassBudget;
  for (;;) {
    pastBudget = TextLength(t) > left;
    if (pastBudget) break;
    left -= TextLength(t);
    const std::int64_t p = TextFind(t, "&#", 1);
    if (p == 0) break;
    const std::int64_t s = p + 2;
    const std::int64_t e = TextFind(t, ";", s);
    const Text n = TextMid(t, s, e - s);
    if (n.empty()) break;
    const Text c = TextOfCode(TextValue(n) & 0xFF);
    t = TextReplace(t, "&#" + n + ";", c);
  }
  t = TextReplace(t, "%20", " ");
  t = TextReplace(t, "%7B", "(");
  t = TextReplace(t, "%7D", ")");
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (256u << 10)) return 0;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));  // a text ends at a zero byte
  bool pastBudget = false;
  const Text byTheRule = DecodeByTheRule(text, pastBudget);
  const Text decoded = DecodeEntities(text);
  if (decoded != byTheRule && (!pastBudget || decoded.find("&#") != Text::npos)) __builtin_trap();
  return 0;
}
