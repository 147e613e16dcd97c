#pragma once
// The application shell: start-up, the main window, the event loop and the busy window.

#include "services/gui/gui.h"

// The whole life of the program: start-up, the event loop, shutdown. Answers the exit code (0).
int RunProgram();
void StartUp();    // steps 1 to 16, up to the event loop
// After the loop has ended. False when the user's Yes to saving the favourites could not be
// saved: then nothing is closed, quitRequested is 0 again and the loop is to go on.
bool ShutDown();

NativeHandle BuildMainWindow();
void RunEventLoop();
void HandleEvent(const Event& event);  // one pass of the loop's tests for one event
void FlushEvents();

void BusyMessage(unsigned char show, const Text& text);
void SetWindowShown(int window, unsigned char hide);
NativeHandle OpenBusyWindow();
