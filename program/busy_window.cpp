// The busy window: a caption-only window above all others that names the work being done and
// the source asked, while the main window is locked against input.
#include "program/busy_window.h"
#include "program/gadgets.h"
#include "program/variables.h"

NativeHandle OpenBusyWindow() {
  // Centred: the position asked for is ignored.
  NativeHandle window =
      WindowOpen(kBusyWindow, 80, 80, 400, 105, "Procesando..."_t, kWindowCentre | kWindowInvisible);
  if (window == nullptr) return nullptr;
  GadgetCreateLabel(kBusyLabel, 15, 30, 365, 600, "Text_Mensaje"_t, kLabelCentred);
  GadgetSetFont(kBusyLabel, FontLoad(kBusyLabel, "Arial"_t, 14, kFontBold));
  return window;
}

void SetWindowShown(int window, unsigned char hide) {
  WindowSetVisible(window, hide != 1);
  FlushEvents();
}

Text CurrentSourceTag() {
  return program.currentSource == kSourceCulturalia ? "(CULTURALIA)"_t : "(IMDB)"_t;
}

void BusyMessage(unsigned char show, const Text& text) {
  const Text message = text + program.lineBreak + CurrentSourceTag();
  if (show == 1) {
    GadgetSetEnabled(kTitlesList, false);
    OpenBusyWindow();
    SetWindowShown(kBusyWindow, 0);
    WindowSetEnabled(kMainWindow, false);
    WindowSetTopmost(kBusyWindow, true);
    GadgetSetText(kBusyLabel, message);
  } else {
    // The window first, then the list.
    WindowSetEnabled(kMainWindow, true);
    GadgetSetEnabled(kTitlesList, true);
    WindowSetTopmost(kBusyWindow, false);
    SetWindowShown(kBusyWindow, 1);
  }
}

void FlushEvents() {
  while (EventPoll().kind != kEventNone) {
  }
}
