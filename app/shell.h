#pragma once
// The top of the program: start-up, the main window, the event loop and shutdown. What the
// commands share below it (the program-wide variables, the gadget numbers, the busy window) is
// in program/.

#include "services/gui/gui.h"

// The whole life of the program: start-up, the event loop, shutdown. Answers the exit code (0).
int RunProgram();
void StartUp();    // steps 1 to 16, up to the event loop
// After the loop has ended. False when the user's Yes to saving the favourites could not be
// saved: then nothing is closed, quitRequested is 0 again and the loop is to go on.
bool ShutDown();
// Asked by the desktop's session manager before a logout: false keeps the session going.
bool SaveBeforeLogout();

NativeHandle BuildMainWindow();
void RunEventLoop();
void HandleEvent(const Event& event);  // one pass of the loop's tests for one event
