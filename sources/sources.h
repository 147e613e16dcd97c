#pragma once
// Asking the two film sources: the search and load-film commands, the page fetch they share,
// and reading the hits of a search page into the titles list.
//
// A search page or a film page that does not come (the site unreachable, an error status, a
// load that fails on the way) is told once, in an "Error" box after the busy window has gone,
// and changes nothing: the titles list and the card stay as they were. What is no failure stays
// silent: a search page without hits empties the list, an empty page changes nothing.
#include "services/text/text.h"
#include "services/webview/webview.h"

// Loads the page into pageText (empty when the load brought no document) and says how it ended.
WebViewOutcome FetchPage(const Text& url);
WebViewOutcome SearchSource();
void RunSearch();
WebViewOutcome FetchFilmPage();
void LoadFilm();

void ParseSearchResults();
void ResetLookupView();
// The entry-selection steps for a left click on the titles list or the favourites list.
void SelectListEntry(int list);

// Where the film page copy goes: there is no drive C: here, so the working directory.
inline constexpr const char* kFilmPageCopy = "_SELECCIONADA.HTM";
