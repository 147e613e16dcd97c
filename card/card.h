#pragma once
// The film card: showing a card with its cover, printing it on one page, saving the cover.
#include <cstdint>

#include "sources/film_card.h"

inline constexpr const char* kCoverFile = "portada.jpg";

void ShowFilmCard(FilmCard& card);
void PrintCard();
void SaveCover();

// Page units to printer pixels by the printable width W (both axes use the width).
std::int64_t PageXToPixels(double x, std::int64_t printableWidth);
std::int64_t PageYToPixels(double y, std::int64_t printableWidth);
