// The IMDb branch of ExtractFilmCard: the fields of the film page, the cast table and its
// scratch file, and the synopsis from the film's plot-summary page.
#include <string_view>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/files/files.h"
#include "sources/extract.h"
#include "sources/film_card.h"
#include "sources/sources.h"
#include "sources/urls.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
// The line above and below each writer header.
const Text kSeparator(77, '-');

// The rest of t from position p (1-based, clamped like TextMid).
Text RestFrom(std::string_view t, std::int64_t p) { return TextMid(t, p, TextLength(t)); }

}  // namespace

Text ReadImdbCast(std::string_view castTable) {
  Text actors;
  std::int64_t q = 1;
  for (;;) {
    const std::int64_t a = TextFind(castTable, "<a href=", q);
    if (a == 0) break;
    const std::int64_t g = TextFind(castTable, ">", a);
    const std::int64_t e = TextFind(castTable, "</a>", g);
    if (g == 0 || e == 0) break;
    actors += TextMid(castTable, g + 1, e - g - 1);
    actors += kCrLf;
    q = e;
  }
  if (!actors.empty()) actors.resize(actors.size() - 2);
  return actors;
}

Text ReadImdbFilmPage(FilmCard& card) {
  card.title = ExtractBetween("<title>", "</title>");
  card.genre = ExtractBetween("/Sections/Genres/", "/");
  card.nationality = ExtractBetween("/Sections/Countries/", "/");

  // Only the first director: his link's text after the end of its opening tag.
  const Text d = ExtractBetween("Directed by</b><br>", "</a><br>");
  card.director = RestFrom(d, TextFind(d, ">", 1) + 1);

  card.moralRating = ExtractBetween("certificates=Spain:", "&&");

  // Without "<b>" the start is 3, so the text loses its first two characters.
  const Text r = ExtractBetween("rg/title-tease/rating-stars/title/", "</b>");
  card.rating = TextReplace(RestFrom(r, TextFind(r, "<b>", 1) + 3), "/", " de ");

  const Text cast = ExtractBetween(">Cast overview", "<td colspan");
  // The cast file is rewritten whole: opening it without truncation would leave the tail of a
  // longer, older table behind the new one, mixing two films' HTML.
  FileCreate(kAppFile, kCastFile);
  FileWriteLine(kAppFile, cast);
  FileClose(kAppFile);
  card.actors = ReadImdbCast(cast);

  return ExtractBetween(ImdbProTitleLink(), "/\">");
}

Text ReadImdbPlotSummary(std::string_view page) {
  constexpr std::string_view kParagraph = "class=\"plotpar\"";
  constexpr std::string_view kWriter = "href=\"/SearchPlotWriters?";
  Text synopsis;
  std::int64_t q = 1;
  // The writer link last found and the position its search started from: the next paragraph's
  // search gives the same link while that link still lies at or after the new start, so a page
  // of many paragraphs costs one pass for the writers rather than one per paragraph.
  std::int64_t writerFrom = -1, writerAt = 0;
  Text writer;
  while (synopsis.size() < kMaxSynopsisBytes) {
    const std::int64_t a = TextFind(page, kParagraph, q);
    if (a == 0) break;
    const std::int64_t g = TextFind(page, ">", a);
    const std::int64_t e = TextFind(page, "</p>", g);
    if (g == 0 || e == 0) break;
    const std::string_view paragraph = std::string_view(page).substr(g, e - g - 1);
    q = e;

    const bool sameAnswer = writerFrom >= 0 && (writerAt == 0 || writerAt >= q);
    if (!sameAnswer) {
      writerFrom = q;
      writerAt = TextFind(page, kWriter, q);
      writer.clear();
      if (writerAt != 0) {
        const std::int64_t s = writerAt + static_cast<std::int64_t>(kWriter.size());
        const std::int64_t t = TextFind(page, "\">", s);
        writer = TextMid(page, s, t - s);  // empty when no "\">" follows
      }
    }

    synopsis += kSeparator;
    synopsis += kCrLf;
    synopsis += "[AUTOR]: ";
    synopsis += writer;
    synopsis += kCrLf;
    synopsis += kSeparator;
    synopsis += kCrLf;
    synopsis += paragraph;
    synopsis += kCrLf;
    synopsis += kCrLf;
  }
  if (!synopsis.empty()) synopsis.resize(synopsis.size() - 2);
  return synopsis;
}

void ExtractImdbFilm(FilmCard& card) {
  const Text titleId = ReadImdbFilmPage(card);
  if (titleId.empty()) return;  // no second page: the synopsis stays empty
  FetchPage(ImdbPlotSummaryUrl(titleId));
  card.synopsis = ReadImdbPlotSummary(program.pageText);
  // An IMDb film has no cover picture: coverPath stays empty.
}
