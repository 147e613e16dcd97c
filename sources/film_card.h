#pragma once
// A film's data as the card shows it, and reading it out of the film page in pageText.
#include "services/text/text.h"

struct FilmCard {
  Text title, genre, nationality, director, moralRating, rating, actors, synopsis;
  Text coverPath;  // path of the cover below "/imatges/articulos/" on the Culturalia host
};

// Fills a card from pageText by the current source's markers, decodes it, and shows it.
void ExtractFilmCard();
void ExtractImdbFilm(FilmCard& card);
void ExtractCulturaliaFilm(FilmCard& card);
// The eight text fields through DecodeEntities, in card order.
void DecodeFilmCard(FilmCard& card);

inline constexpr const char* kCastFile = "_actores.htm";
