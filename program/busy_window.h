#pragma once
// The busy window (window 2) that a long command shows while it waits for the network, and the
// flush of pending window events that goes with it: windows keep painting, but what the user
// clicked or typed meanwhile is dropped, so no second command can start in the middle of one.
//
// It does not fetch or wait by itself: the commands (searching, loading a film, showing the
// card) call it around their own waits.
#include "services/gui/gui.h"

// Shows (show 1) the busy window with the text, a line break and the current source's tag, and
// locks the main window against input; or (show 0) unlocks the main window and hides it again.
// Made anew each time it is shown.
void BusyMessage(unsigned char show, const Text& text);
// The current source's tag as the busy window shows it: "(CULTURALIA)" or "(IMDB)".
Text CurrentSourceTag();
// Hides (hide 1) or shows a window, then drops the events that are waiting.
void SetWindowShown(int window, unsigned char hide);
NativeHandle OpenBusyWindow();
// Takes every pending window event without dispatching it.
void FlushEvents();
