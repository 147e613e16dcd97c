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

// Why a page did not come, in a person's words.
Text FailureReason(const WebViewOutcome& outcome) {
  switch (outcome.end) {
    case WebViewEnd::kHttpError:
      return "El sitio respondió con el error "_t + TextOfNumber(outcome.status) + ".";
    case WebViewEnd::kNoSite:
      return "No se encuentra el sitio: comprueba la conexión a Internet."_t;
    case WebViewEnd::kRefused:
      return "El sitio no acepta conexiones en este momento."_t;
    case WebViewEnd::kCutOff:
      return "La conexión con el sitio se cortó antes de terminar."_t;
    case WebViewEnd::kTimedOut:
      return "El sitio no respondió a tiempo."_t;
    case WebViewEnd::kTooBig:
      return "La página es demasiado grande."_t;
    case WebViewEnd::kRedirectRefused:
      return "El sitio redirigió la petición a una dirección no segura."_t;
    case WebViewEnd::kRedirectWithoutTarget:
      return "El sitio redirigió la petición sin indicar a qué dirección."_t;
    case WebViewEnd::kTooManyRedirects:
      return "El sitio redirigió la petición demasiadas veces."_t;
    case WebViewEnd::kNoSecureChannel:
      return "No se pudo establecer una conexión segura con el sitio."_t;
    case WebViewEnd::kBadAnswer:
      return "La respuesta del sitio llegó dañada."_t;
    case WebViewEnd::kBadAddress:
      return "La dirección de la página no es válida."_t;
    default:
      return "No se pudo cargar la página."_t;
  }
}

// Says once that a lookup's page did not come, naming the source as the busy window does:
// "No se pudo completar la búsqueda (IMDB).", a blank line, the reason.
void TellWhenFailed(const WebViewOutcome& outcome, const Text& what) {
  if (outcome.end == WebViewEnd::kDocument) return;
  MessageAsk("Error"_t,
             what + " " + CurrentSourceTag() + "." + program.lineBreak + program.lineBreak +
                 FailureReason(outcome),
             kAskOkError);
}

}  // namespace

WebViewOutcome FetchPage(const Text& url) {
  GadgetSetText(kWebView, url);
  // Window events keep being taken so the windows paint, but none is dispatched: a click made
  // meanwhile is lost. Each look blocks in Qt's loop for at most 10 ms instead of spinning.
  while (WebViewBusy(kWebView) == 1) {
    EventWaitFor(10);
  }
  program.pageText = WebViewSource(kWebView);
  return WebViewResult(kWebView);
}

WebViewOutcome SearchSource() {
  const Text text = TextTrim(GadgetGetText(kSearchField));
  const WebViewOutcome outcome = FetchPage(
      program.currentSource == kSourceCulturalia ? CulturaliaSearchUrl(text) : ImdbSearchUrl(text));
  if (!program.pageText.empty()) ParseSearchResults();
  return outcome;
}

void RunSearch() {
  BusyMessage(1, "Buscando Posibles Títulos..."_t);
  const WebViewOutcome outcome = SearchSource();
  BusyMessage(0, "");
  TellWhenFailed(outcome, "No se pudo completar la búsqueda"_t);
  ReadyForNextTitle();
  // A search page that did not come, or came empty, leaves the old titles in the list; loading
  // the first of them would show a film nobody searched for, so nothing is loaded then.
  if (program.pageText.empty()) return;
  if (ListCount(kTitlesList) >= 1) {
    ListSelectRow(kTitlesList, 0, true);
    program.pickList = kTitlesList;
    LoadFilm();
  }
}

WebViewOutcome FetchFilmPage() {
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
  const WebViewOutcome outcome = FetchPage(url);
  // The copy is the page this load brought, whole, written before anything reads the page; one
  // request serves both. A load that brought no document (an error page neither) leaves no copy.
  WebViewSaveDocument(kWebView, kFilmPageCopy);
  if (!program.pageText.empty()) ExtractFilmCard();
  return outcome;
}

void LoadFilm() {
  BusyMessage(1, "Cargando Datos de la Pelicula...");
  const WebViewOutcome outcome = FetchFilmPage();
  BusyMessage(0, "");
  TellWhenFailed(outcome, "No se pudieron cargar los datos de la película"_t);
  ReadyForNextTitle();
}
