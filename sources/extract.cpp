// Fields cut out of the current page by markers, and the clean-up of references and escapes.
#include "sources/extract.h"

#include <cstring>
#include <optional>
#include <utility>

#include "program/variables.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The text between the first start in t and the next end after it.
Text Between(std::string_view t, std::string_view start, std::string_view end) {
  const std::int64_t p = TextFind(t, start, 1);
  if (p == 0) return {};
  const std::int64_t s = p + TextLength(start);
  const std::int64_t e = TextFind(t, end, s);
  return TextMid(t, s, e - s);
}

// The first "&#" in t at or after from, npos when none. A plain loop: references lie a few bytes
// apart, where a call to a search for each of them costs more than the bytes it reads.
std::size_t FindReference(std::string_view t, std::size_t from) {
  for (std::size_t i = from; i + 1 < t.size(); ++i)
    if (t[i] == '&' && t[i + 1] == '#') return i;
  return npos;
}

// The passes' result, in one reading, when every "&#" in t starts a plain reference (its text
// runs to the next ";", is not empty and holds no "&#") and putting each reference's byte in its
// place makes no "&#". Then every pass finds one of those references first and replaces its
// copies and nothing else, so the passes end with each reference replaced by its byte, however
// many passes that takes. Nothing for any other text. An "&#" can only be made where two pieces
// of the result meet, since the text between references holds none.
std::optional<Text> DecodePlainReferences(std::string_view t) {
  Text out;
  out.reserve(t.size());
  const auto put = [&out](std::string_view piece) {
    if (!piece.empty() && !out.empty() && out.back() == '&' && piece.front() == '#') return false;
    out.append(piece);
    return true;
  };
  std::size_t done = 0;  // t before done is in out
  for (std::size_t p = FindReference(t, 0); p != npos;) {
    const std::size_t e = t.find(';', p + 2);
    const std::size_t next = FindReference(t, p + 2);
    if (e == npos || e == p + 2 || next < e) return std::nullopt;
    if (!put(t.substr(done, p - done)) ||
        !put(TextOfCode(TextValue(t.substr(p + 2, e - p - 2)))))
      return std::nullopt;
    done = e + 1;
    p = next;
  }
  if (!put(t.substr(done))) return std::nullopt;
  return out;
}

// One pass, made in place: the reference from the first "&#" in t to the first ";" after it,
// every copy of it replaced by the byte of its value. False, with t unchanged, when that "&#"
// starts no reference (no ";" follows it, or one follows at once).
bool DecodeFirstReference(Text& t) {
  const std::size_t p = FindReference(t, 0);
  const std::size_t e = p == npos ? npos : t.find(';', p + 2);
  if (e == npos || e == p + 2) return false;
  const Text reference = t.substr(p, e + 1 - p);  // a copy: the pass writes over t
  const Text c = TextOfCode(TextValue(std::string_view(t).substr(p + 2, e - p - 2)));
  // A copy of the reference ends at the first ";" after its start, so it can only be the bytes
  // right before a ";" with no other ";" among them: one comparison per ";" finds every copy in
  // one reading of t, however long the reference is. Each copy shrinks to c, so the bytes kept
  // never overtake the bytes still to read.
  char* const bytes = t.data();
  std::size_t kept = p;   // bytes before kept are the pass's result so far
  std::size_t done = p;   // bytes from done on are still as they were
  std::size_t piece = p;  // where the text after the last ";" begins
  for (std::size_t i = e; i < t.size(); ++i) {
    if (bytes[i] != ';') continue;
    const std::size_t end = i + 1;
    if (end - piece >= reference.size() &&
        t.compare(end - reference.size(), reference.size(), reference) == 0) {
      const std::size_t start = end - reference.size();
      std::memmove(bytes + kept, bytes + done, start - done);
      kept += start - done;
      for (const char b : c) bytes[kept++] = b;
      done = end;
    }
    piece = end;
  }
  std::memmove(bytes + kept, bytes + done, t.size() - done);
  t.resize(kept + (t.size() - done));
  return true;
}

// The passes one by one, each charged the length of the text it reads, until the next would
// take them past the budget.
Text DecodeWithinBudget(std::string_view text) {
  Text t(text);
  std::int64_t left = kDecodePassBudget;
  while (TextLength(t) <= left) {
    left -= TextLength(t);
    if (!DecodeFirstReference(t)) break;
  }
  return t;
}

}  // namespace

Text ExtractBetween(std::string_view start, std::string_view end) {
  return Between(program.pageText, start, end);
}

Text DecodeEntities(std::string_view text) {
  std::optional<Text> plain = DecodePlainReferences(text);
  Text t = plain ? std::move(*plain) : DecodeWithinBudget(text);
  // Asked first, since TextReplace copies a text that holds no escape.
  for (const auto& [escape, byte] : {std::pair{"%20", " "}, {"%7B", "("}, {"%7D", ")"}})
    if (TextFind(t, escape, 1) != 0) t = TextReplace(t, escape, byte);
  return t;
}
