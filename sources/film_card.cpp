// Placeholder bodies, replaced when this part is built.
#include "sources/film_card.h"

void ExtractFilmCard() {}
void ExtractImdbFilm(FilmCard&) {}
void ExtractCulturaliaFilm(FilmCard&) {}
void DecodeFilmCard(FilmCard&) {}
