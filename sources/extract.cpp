// Fields cut out of the current page by markers, and the clean-up of references and escapes.
#include "sources/extract.h"

#include "program/variables.h"
#include "sources/reference_passes.h"

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
  Text t = DecodeReferencePasses(text);
  t = TextReplace(t, "%20", " ");
  t = TextReplace(t, "%7B", "(");
  t = TextReplace(t, "%7D", ")");
  return t;
}
