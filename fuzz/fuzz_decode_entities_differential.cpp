// Runs DecodeEntities and a plain reading of its rule side by side on texts up to 4 KB and stops
// at the first text where they differ. The plain reading does what the rule says, pass by pass,
// with the text primitives: the reference between the first "&#" and the first ";" after it,
// every copy of it replaced by the byte of its value, until the first "&#" starts no reference;
// then the three percent escapes. It rereads the whole text on every pass, which is why it lives
// here and not in the program.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/text/text.h"
#include "sources/extract.h"

namespace {

Text DecodeByTheRule(std::string_view text) {
  Text t(text);
  for (;;) {
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
  if (size > 4096) return 0;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  text = text.substr(0, text.find('\0'));  // a text ends at a zero byte
  if (DecodeEntities(text) != DecodeByTheRule(text)) __builtin_trap();
  return 0;
}
