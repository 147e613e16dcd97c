// The common frame of ExtractFilmCard: a fresh card, the branch of the current source, the
// decoding of the eight texts, and the hand-over to the card display.
#include "sources/film_card.h"

#include "program/gadgets.h"
#include "program/variables.h"
#include "card/card.h"
#include "sources/extract.h"

void DecodeFilmCard(FilmCard& card) {
  card.title = DecodeEntities(card.title);
  card.genre = DecodeEntities(card.genre);
  card.nationality = DecodeEntities(card.nationality);
  card.director = DecodeEntities(card.director);
  card.moralRating = DecodeEntities(card.moralRating);
  card.rating = DecodeEntities(card.rating);
  card.actors = DecodeEntities(card.actors);
  card.synopsis = DecodeEntities(card.synopsis);
}

void ExtractFilmCard() {
  FilmCard card;  // every field empty, coverPath included
  if (program.currentSource == kSourceCulturalia)
    ExtractCulturaliaFilm(card);
  else
    ExtractImdbFilm(card);
  DecodeFilmCard(card);
  ShowFilmCard(card);
}
