// Fields cut out of the current page by markers, and the clean-up of references and escapes.
#include "sources/extract.h"

#include "app/globals.h"

namespace {

// The text between the first start in t and the next end after it.
Text Between(std::string_view t, std::string_view start, std::string_view end) {
  const std::int64_t p = TextFind(t, start, 1);
  if (p == 0) return {};
  const std::int64_t s = p + TextLength(start);
  const std::int64_t e = TextFind(t, end, s);
  return TextMid(t, s, e - s);
}

}  // namespace

Text ExtractBetween(std::string_view start, std::string_view end) {
  return Between(program.pageText, start, end);
}

Text DecodeEntities(std::string_view text) {
  Text t(text);
  // Each pass replaces one distinct reference everywhere, so t gets shorter and the loop ends.
  for (;;) {
    const Text n = Between(t, "&#", ";");
    if (n.empty()) break;
    const Text c = TextOfCode(TextValue(n) & 0xFF);
    Text reference = "&#";
    reference += n;
    reference += ";";
    t = TextReplace(t, reference, c);
  }
  t = TextReplace(t, "%20", " ");
  t = TextReplace(t, "%7B", "(");
  t = TextReplace(t, "%7D", ")");
  return t;
}
