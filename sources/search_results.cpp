// Reading the hits of a search page into the titles list, the lists' set-up at start-up, and
// the selection of an entry by a click.
#include <algorithm>
#include <cstdint>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "services/text/text.h"
#include "sources/sources.h"

namespace {

const Text& Page() { return program.pageText; }

std::int64_t Find(std::string_view what, std::int64_t from) { return TextFind(Page(), what, from); }
Text Take(std::int64_t start, std::int64_t count) { return TextMid(Page(), start, count); }

// No title or id of a hit is longer than this. A page whose link texts all run on to one far "<"
// or "</a>" would otherwise copy the rest of the page into every hit: on a megabyte of links,
// gigabytes. The first characters are kept.
constexpr std::int64_t kLongestHitText = 255;
Text TakeHitText(std::int64_t start, std::int64_t count) {
  return Take(start, std::min(count, kLongestHitText));
}

// A search for one marker that remembers its last answer: the Culturalia loop looks for ">" and
// "<" from every hit, and on a page of many hits with no such character after them each plain
// search would run to the end of the page again. The answers are the plain search's answers.
class NextOf {
 public:
  explicit NextOf(std::string_view what) : what_(what) {}
  std::int64_t From(std::int64_t start) {
    if (start < 1) start = 1;
    if (known_ && start >= from_ && (found_ == 0 || found_ >= start)) return found_;
    from_ = start;
    found_ = Find(what_, start);
    known_ = true;
    return found_;
  }

 private:
  std::string_view what_;
  bool known_ = false;
  std::int64_t from_ = 0;
  std::int64_t found_ = 0;
};

// A CR or LF inside a title or id would split the row's text into more columns: each becomes a
// blank first.
Text OneLine(Text t) {
  for (char& c : t) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return t;
}

void AddHit(const Text& title, const Text& id, const char* letter) {
  ListAddRow(kTitlesList, -1, OneLine(title) + "\n" + OneLine(id) + "\n" + letter);
}

void ReadCulturaliaHits() {
  static constexpr std::string_view kLink = "href='../art/ver.php?art=";
  NextOf tagEnd(">");
  NextOf tagStart("<");
  std::int64_t p = 1;
  while ((p = Find(kLink, p)) != 0) {
    const std::int64_t s = p + static_cast<std::int64_t>(kLink.size());
    // The number read as a signed 32-bit integer: the low 32 bits of the value.
    const auto number =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(TextValue(Take(s, 10))));
    const Text id = TextOfNumber(number);
    const std::int64_t a = tagEnd.From(s) + 1;
    const std::int64_t b = tagStart.From(s);
    // One character fewer than the link text: the one just before "<" is not part of it.
    const Text title = TakeHitText(a, b - a - 1);
    AddHit(title, id, "C");
    p = p + 1;
  }
}

// The exact-match block: at most one hit, and none when one of its markers is missing after
// the heading (the arithmetic on a missing marker would cut a title out of unrelated text).
void ReadImdbExactMatch() {
  static constexpr std::string_view kHeading = "Titles (Exact Matches)</b> (Displaying";
  const std::int64_t h = Find(kHeading, 1);
  if (h == 0) return;
  const std::int64_t linkEnd = Find(")\">", h);
  if (linkEnd == 0) return;
  const std::int64_t a = linkEnd + 3;
  const std::int64_t titleEnd = Find("</a>", a);
  if (titleEnd == 0) return;
  const std::int64_t idMark = Find("set_args('", h);
  if (idMark == 0) return;
  const std::int64_t b = idMark + 10;
  const std::int64_t idEnd = Find("',", b);
  if (idEnd == 0) return;
  const Text title = TakeHitText(a, titleEnd - a);  // "&#34;" stays as it is here
  const Text id = TakeHitText(b, idEnd - b);
  if (TextFind(title, "(VG)", 1) == 0) AddHit(title, id, "I");
}

// The popular block: as many hits as the two characters after the heading announce, stopping
// at the first hit whose markers are missing.
void ReadImdbPopular() {
  static constexpr std::string_view kHeading = "<b>Popular Titles</b> (Displaying";
  std::int64_t p = Find(kHeading, 1);
  if (p == 0) return;
  const std::int64_t n = TextValue(Take(p + static_cast<std::int64_t>(kHeading.size()), 2));
  for (std::int64_t k = 1; k <= n; ++k) {
    const Text mark = ", " + TextOfNumber(k) + ")";
    const std::int64_t m = Find(mark, p);
    if (m == 0) return;
    const std::int64_t a = m + TextLength(mark) + 2;
    const std::int64_t titleEnd = Find("</a>", a);
    if (titleEnd == 0) return;
    const std::int64_t idMark = Find("set_args('", p);
    if (idMark == 0) return;
    const std::int64_t b = idMark + 10;
    const std::int64_t e = Find("',", b);
    if (e == 0) return;
    const Text title = TextReplace(TakeHitText(a, titleEnd - a), "&#34;", "\"", true);
    const Text id = TakeHitText(b, e - b);
    p = b + (e - b);
    if (TextFind(title, "(VG)", 1) == 0) AddHit(title, id, "I");
  }
}

}  // namespace

void ParseSearchResults() {
  ListClear(kTitlesList);
  if (program.currentSource == kSourceCulturalia) {
    ReadCulturaliaHits();
  } else {
    ReadImdbExactMatch();
    ReadImdbPopular();
  }
}

void ResetLookupView() {
  GadgetHide(kWebView, true);
  for (int field : {kTitleField, kGenreField, kNationalityField, kDirectorField, kActorsField,
                    kSynopsisText, kMoralRatingField, kRatingField}) {
    GadgetSetText(field, "...");
  }
  ListRemoveColumn(kTitlesList, 0);
  ListAddColumn(kTitlesList, 0, "TITULOS ENCONTRADOS", 160);
  ListAddColumn(kTitlesList, 1, "Indice", 0);
  ListAddColumn(kTitlesList, 2, "bd", 30);
  ListRemoveColumn(kFavouritesList, 0);
  ListAddColumn(kFavouritesList, 0, "Películas Favoritas"_t, 160);
  ListAddColumn(kFavouritesList, 1, "Indice", 0);
  ListAddColumn(kFavouritesList, 2, "bd", 29);
  GadgetSetEnabled(kSaveCoverButton, false);
  program.currentSource = kSourceCulturalia;
  GadgetSetState(kCulturaliaOption, 1);
}

void SelectListEntry(int list) {
  const auto index = GadgetGetState(list);
  // A click that leaves no entry selected changes nothing: the source stays as the user chose.
  if (index < 0) return;
  program.pickList = list;
  program.currentSource = TextEquals(ListCellText(list, static_cast<int>(index), 2), "C")
                              ? kSourceCulturalia
                              : kSourceImdb;
  LoadFilm();
}
