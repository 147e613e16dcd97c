// Fuzzes the Culturalia branch of the film extraction and the decoding of the card's texts on
// an arbitrary film page.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "program/variables.h"
#include "sources/film_card.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view page(reinterpret_cast<const char*>(data), size);
  page = page.substr(0, page.find('\0'));  // a text ends at a zero byte
  program.pageText.assign(page);
  FilmCard card;
  ExtractCulturaliaFilm(card);
  // The director and the actors never keep a digit or a ">".
  if (card.director.find_first_of("0123456789>") != Text::npos) __builtin_trap();
  if (card.actors.find_first_of("0123456789>") != Text::npos) __builtin_trap();
  DecodeFilmCard(card);
  return 0;
}
