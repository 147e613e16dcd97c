#pragma once
// Asking the two film sources: the search and load-film commands, the page fetch they share,
// and reading the hits of a search page into the titles list.
#include "services/text/text.h"

void FetchPage(const Text& url);
void SearchSource();
void RunSearch();
void FetchFilmPage();
void LoadFilm();

void ParseSearchResults();
void ResetLookupView();
// The entry-selection steps for a left click on the titles list or the favourites list.
void SelectListEntry(int list);

// Where the film page copy goes: there is no drive C: here, so the working directory.
inline constexpr const char* kFilmPageCopy = "_SELECCIONADA.HTM";
