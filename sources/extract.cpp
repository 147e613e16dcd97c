// Fields cut out of the current page by markers, and the clean-up of references and escapes.
#include "sources/extract.h"

#include "program/variables.h"

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

// The rest of the references in one left-to-right pass: each "&#" up to the next ";" becomes its
// byte, and an empty reference ends the decoding, as it ends the passes.
static Text DecodeReferencesInOnePass(std::string_view t) {
  Text out;
  out.reserve(t.size());
  std::size_t at = 0;
  for (;;) {
    const std::size_t p = t.find("&#", at);
    const std::size_t e = p == std::string_view::npos ? p : t.find(';', p + 2);
    if (e == std::string_view::npos || e == p + 2) break;
    out.append(t.substr(at, p - at));
    out += TextOfCode(TextValue(t.substr(p + 2, e - p - 2)) & 0xFF);
    at = e + 1;
  }
  out.append(t.substr(at));
  return out;
}

Text DecodeEntities(std::string_view text) {
  Text t(text);
  // Each pass replaces one distinct reference everywhere, so t gets shorter and the loop ends.
  // A pass reads the whole text, so a text of thousands of distinct references would take
  // minutes; past this many bytes read, what is left is decoded in one pass instead. No real
  // field comes near it: a 64 KB synopsis would need over 4,000 distinct references.
  constexpr std::size_t kBytesReadForPasses = std::size_t{256} << 20;
  std::size_t bytesRead = 0;
  for (;;) {
    if (bytesRead > kBytesReadForPasses) {
      t = DecodeReferencesInOnePass(t);
      break;
    }
    bytesRead += t.size();
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
