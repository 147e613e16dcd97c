#pragma once
// A film's data as the card shows it, and reading it out of the film page held in pageText.
//
// ExtractFilmCard fills a fresh FilmCard by the fixed text markers of the current source's film
// page, decodes its eight texts with DecodeEntities and hands it to ShowFilmCard (card/). A
// marker that is missing only leaves its field empty; nothing here reports an error.
//
// The IMDb branch does more than read one page: it writes the raw cast table to the cast file
// "_actores.htm" (whole, each time) and, when the page names the film's title id in a link to
// the professional site, it fetches the plot-summary page with FetchPage, which replaces
// pageText, and builds the synopsis from its paragraphs:
//
//   -----...-----            (77 hyphens)
//   [AUTOR]: Jane%20Doe       (the writer link's query text, decoded later to "Jane Doe")
//   -----...-----
//   first paragraph
//                            (empty line between paragraphs; one CR LF after the last)
//
// The Culturalia branch reads one page only and is the one that finds a cover: coverPath is the
// image path below "/imatges/articulos/" on the Culturalia host; card/ downloads it.
//
// Fetching pages (sources.h), the text primitives and ExtractBetween/DecodeEntities belong to
// others; the two branches are also split into their halves so that tests and fuzzers can run
// them on a page without the web view.
#include <string_view>

#include "services/text/text.h"

struct FilmCard {
  Text title, genre, nationality, director, moralRating, rating, actors, synopsis;
  Text coverPath;  // path of the cover below "/imatges/articulos/" on the Culturalia host
};

// Fills a card from pageText by the current source's markers, decodes it, and shows it.
void ExtractFilmCard();
// The IMDb branch, steps 1 to 12: the film page, the cast file, and the plot-summary page.
void ExtractImdbFilm(FilmCard& card);
// The Culturalia branch, steps 1 to 9, on pageText.
void ExtractCulturaliaFilm(FilmCard& card);
// The eight text fields through DecodeEntities, in card order; coverPath stays as it is.
void DecodeFilmCard(FilmCard& card);

// The halves of the IMDb branch. ReadImdbFilmPage does steps 1 to 8 on pageText (fields, cast
// file, actors) and answers the title id, "" when the page names none; its plot-summary page is
// ImdbPlotSummaryUrl (urls.h). ReadImdbPlotSummary builds the synopsis (steps 10 and 11) from a
// plot-summary page's HTML.
Text ReadImdbFilmPage(FilmCard& card);
Text ReadImdbPlotSummary(std::string_view page);
// The link loop of the cast table: every anchor's text, one a line, CR LF between them.
Text ReadImdbCast(std::string_view castTable);

inline constexpr const char* kCastFile = "_actores.htm";

// A synopsis stops taking plot paragraphs once it has grown past this size. A real one is a few
// kilobytes; without a bound, a page of many empty paragraphs before one huge writer link would
// repeat that writer once per paragraph, quadratic in the page's size.
inline constexpr std::size_t kMaxSynopsisBytes = 4u << 20;
