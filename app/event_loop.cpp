// The event loop: one event at a time, handed to the command it stands for.
#include "program/gadgets.h"
#include "program/variables.h"
#include "app/shell.h"
#include "program/busy_window.h"
#include "card/card.h"
#include "favourites/favourites.h"
#include "sources/hosts.h"
#include "sources/sources.h"

namespace {

bool SearchTextGiven() { return !TextTrim(GadgetGetText(kSearchField)).empty(); }

// A left click on the titles list or the favourites list loads the entry clicked.
void SelectFromList(int list) {
  FlushEvents();
  SelectListEntry(list);
  SetWindowShown(kBusyWindow, 1);
}

void HandleGadget(const Event& event) {
  const int g = event.number;
  // Tested in this order; a gadget not named here does nothing.
  if (g == kSearchButton) {
    if (SearchTextGiven()) RunSearch();
  } else if (g == kTitlesList) {
    if (event.subtype == kListLeftClick) SelectFromList(kTitlesList);
  } else if (g == kCulturaliaOption) {
    program.currentSource = kSourceCulturalia;
  } else if (g == kImdbOption) {
    program.currentSource = kSourceImdb;
  } else if (g == kFavouritesList) {
    if (event.subtype == kListLeftClick) SelectFromList(kFavouritesList);
  } else if (g == kAddFavouriteButton) {
    AddFavourite();
  } else if (g == kRemoveFavouriteButton) {
    RemoveFavourite();
  } else if (g == kSaveFavouritesButton) {
    // Clears favouritesChanged only when the file was written whole.
    SaveFavouritesCommand();
  } else if (g == kReloadFavouritesButton) {
    ReloadFavourites();
  } else if (g == kPrintButton) {
    PrintCard();
  } else if (g == kExitButton) {
    program.quitRequested = 1;
  } else if (g == kCreditLink) {
    OpenWithShell(sourceHosts().authorPage);
  } else if (g == kSaveCoverButton) {
    SaveCover();
  }
}

// Enter is the window's one shortcut, so no gadget ever sees the key. In the search field it
// searches. On either list it opens the highlighted row, and on the credit link it opens the
// author's page, each as a left click there would: the arrow keys only move a list's highlight,
// so a lookup starts only when the person asks for it.
void HandleEnter() {
  if (GadgetHasFocus(kSearchField)) {
    if (SearchTextGiven()) RunSearch();
    return;
  }
  for (int g : {kTitlesList, kFavouritesList, kCreditLink})
    if (GadgetHasFocus(g)) HandleGadget(Event{GadgetActivity, kMainWindow, g, kListLeftClick});
}

}  // namespace

void HandleEvent(const Event& event) {
  program.pickList = event.number;
  if (event.kind == CloseRequest) {
    if (event.window == kMainWindow) program.quitRequested = 1;
  } else if (event.kind == ShortcutPressed) {
    if (event.number == kEnterShortcut) HandleEnter();
  } else if (event.kind == GadgetActivity) {
    HandleGadget(event);
  } else if (event.kind == SessionEnd) {
    // A logout, a service manager or Ctrl+C in a terminal: the program ends through its shutdown
    // as at exit, but asks nothing, since nobody may be there to answer.
    program.quitRequested = 1;
    program.sessionEnded = 1;
  }
}

void RunEventLoop() {
  do {
    HandleEvent(EventWait());
  } while (program.quitRequested == 0);
}
