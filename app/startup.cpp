// Start-up and shutdown: what exists before the first event is taken, and the way out.
#include "app/embedded_pictures.h"
#include "program/gadgets.h"
#include "program/variables.h"
#include "app/shell.h"
#include "favourites/favourites.h"
#include "services/columnsort/columnsort.h"
#include "services/files/files.h"
#include "services/images/images.h"
#include "sources/sources.h"

void StartUp() {
  ResetProgramVariables();
  FileServicesInit();
  GuiInit();
  ColumnSorterInit();
  program.coverImageNumber = kNoCoverNumber;
  program.lineBreak = "\r\n";
  // The decoder comes first: two of the three pictures are JPEG.
  RegisterJpegDecoder();
  const EmbeddedPicture printer = PrinterIconPicture();
  ImageFromMemory(kPrinterIconImage, printer.data, printer.size);
  const EmbeddedPicture power = PowerIconPicture();
  ImageFromMemory(kPowerIconImage, power.data, power.size);
  const EmbeddedPicture noCover = NoCoverPicture();
  ImageFromMemory(kNoCoverImage, noCover.data, noCover.size);
  BuildMainWindow();
  ShortcutAdd(kMainWindow, kKeyEnter, kEnterShortcut);
  WindowSetTitle(kMainWindow, "Cinevarta - v0.9.4.b"_t);
  if (ColumnSorterAttach(kFavouritesList, kHeaderMarkArrowLeft) == kSorterDone) {
    ColumnSorterSetKind(kFavouritesList, 0, kSortKindTextNoCase);
    ColumnSorterSortNow(kFavouritesList, 0, kSortAscending);
  }
  ResetLookupView();
  WindowSetBackColour(kMainWindow, kCream);
  LoadFavourites();
  program.favouritesChanged = 0;
  GadgetFocus(kSearchField);
  TextFieldSelectAll(kSearchField);
  program.quitRequested = 0;
}

bool ShutDown() {
  // A Yes whose save failed would lose the films the user has just asked to keep: the program
  // stays open with them (the save has told why), and the next exit asks again. When the
  // desktop ends the program nothing is asked and favoritos.ini stays as it is on disk; a logout
  // that let the program ask has asked already (SaveBeforeLogout).
  if (program.sessionEnded == 0 && program.favouritesChanged == 1 && AskSaveFavourites() &&
      !SaveFavourites()) {
    program.quitRequested = 0;
    return false;
  }
  WindowClose(kMainWindow);
  FileDelete("portada.jpg"_t);
  // The services last: every window still open (the busy window too), every font, image and
  // open file, and the sorter's pictures.
  GuiShutdown();
  ImageFreeAll();
  FileCloseAll();
  ColumnSorterRelease();
  return true;
}

// Before a logout that allows a question: the question of the exit. A Yes whose save failed
// keeps the session going, as it keeps the program open at exit.
bool SaveBeforeLogout() {
  if (program.favouritesChanged == 1 && AskSaveFavourites()) {
    if (!SaveFavourites()) return false;
    program.favouritesChanged = 0;
  }
  return true;
}

int RunProgram() {
  StartUp();
  SessionWatch(SaveBeforeLogout);
  do {
    RunEventLoop();
  } while (!ShutDown());
  return 0;
}
