// The search and load-film commands and the page fetch they share.
#include "program/gadgets.h"
#include "program/variables.h"
#include "program/busy_window.h"
#include "services/gui/gui.h"
#include "services/text/text.h"
#include "services/webview/webview.h"
#include "sources/film_card.h"
#include "sources/sources.h"
#include "sources/urls.h"

namespace {

// The search field's whole text selected and focused, so the next title is typed over it.
void ReadyForNextTitle() {
  TextFieldSelectAll(kSearchField);
  GadgetFocus(kSearchField);
}

}  // namespace

void FetchPage(const Text& url) {
  GadgetSetText(kWebView, url);
  // Window events keep being taken so the windows paint, but none is dispatched: a click made
  // meanwhile is lost. Each look blocks in Qt's loop for at most 10 ms instead of spinning.
  while (WebViewBusy(kWebView) == 1) {
    EventWaitFor(10);
  }
  program.pageText = WebViewSource(kWebView);
}

void SearchSource() {
  const Text text = TextTrim(GadgetGetText(kSearchField));
  FetchPage(program.currentSource == kSourceCulturalia ? CulturaliaSearchUrl(text)
                                                       : ImdbSearchUrl(text));
  if (!program.pageText.empty()) ParseSearchResults();
}

void RunSearch() {
  BusyMessage(1, "Buscando Posibles Títulos..."_t);
  SearchSource();
  BusyMessage(0, "");
  ReadyForNextTitle();
  // An empty search page (no network, unknown host) leaves the old titles in the list; loading
  // the first of them would show a film nobody searched for, so nothing is loaded then.
  if (program.pageText.empty()) return;
  if (ListCount(kTitlesList) >= 1) {
    ListSelectRow(kTitlesList, 0, true);
    program.pickList = kTitlesList;
    LoadFilm();
  }
}

void FetchFilmPage() {
  const int list = static_cast<int>(program.pickList);
  const int index = static_cast<int>(GadgetGetState(list));
  const Text id = ListCellText(list, index, 1);
  const Text letter = ListCellText(list, index, 2);
  Text url;
  if (TextEquals(letter, "C")) {
    url = CulturaliaFilmUrl(id);
    GadgetSetState(kCulturaliaOption, 1);
  } else {
    url = ImdbFilmUrl(id);
    GadgetSetState(kImdbOption, 1);
  }
  program.currentSource =
      GadgetGetState(kCulturaliaOption) == 1 ? kSourceCulturalia : kSourceImdb;
  FlushEvents();
  FetchPage(url);
  // The copy is the page this load brought, whole, written before anything reads the page; one
  // request serves both. A load that brought no document leaves no copy.
  WebViewSaveDocument(kWebView, kFilmPageCopy);
  if (!program.pageText.empty()) ExtractFilmCard();
}

void LoadFilm() {
  BusyMessage(1, "Cargando Datos de la Pelicula...");
  FetchFilmPage();
  BusyMessage(0, "");
  ReadyForNextTitle();
}
