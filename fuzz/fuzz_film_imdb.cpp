// Fuzzes the IMDb branch of the film extraction: the input is a film page, and after its first
// zero byte (a text never holds one) the plot-summary page the title id would lead to. Runs the
// branch's two halves around the fetch, then the decoding of the card's texts; the cast file
// goes to the working directory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "program/variables.h"
#include "sources/film_card.h"
#include "sources/urls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.find('\0');
  const std::string_view filmPage = input.substr(0, zero);
  const std::string_view plotPage =
      zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);

  program.pageText.assign(filmPage);
  FilmCard card;
  const Text titleId = ReadImdbFilmPage(card);
  if (!titleId.empty()) {
    const Text url = ImdbPlotSummaryUrl(titleId);
    if (url.find(titleId) == Text::npos) __builtin_trap();
  }
  // The rest of the page after a zero byte would not reach a text; cut it the same way.
  program.pageText.assign(plotPage.substr(0, plotPage.find('\0')));
  card.synopsis = ReadImdbPlotSummary(program.pageText);
  DecodeFilmCard(card);
  if (!card.coverPath.empty()) __builtin_trap();  // IMDb cards never have a cover
  return 0;
}
