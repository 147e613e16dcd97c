// Placeholder bodies, replaced when this part is built.
#include "app/shell.h"

int RunProgram() { return 0; }
void StartUp() {}
void ShutDown() {}
NativeHandle BuildMainWindow() { return nullptr; }
void RunEventLoop() {}
void HandleEvent(const Event&) {}
void FlushEvents() {}
void BusyMessage(unsigned char, const Text&) {}
void SetWindowShown(int, unsigned char) {}
NativeHandle OpenBusyWindow() { return nullptr; }
