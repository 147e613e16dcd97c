// Placeholder bodies, replaced when this part is built.
#include "services/gui/gui_qt.h"

void GuiInit() {}
void GuiShutdown() {}
NativeHandle WindowOpen(int, int, int, int, int, const Text&, int) { return nullptr; }
void WindowClose(int) {}
void WindowSetVisible(int, bool) {}
void WindowSetEnabled(int, bool) {}
void WindowSetTopmost(int, bool) {}
void WindowSetTitle(int, const Text&) {}
void WindowSetBackColour(int, Rgb) {}
Event EventWait() { return {}; }
Event EventPoll() { return {}; }
Event EventWaitFor(int) { return {}; }
void ShortcutAdd(int, int, int) {}
FontHandle FontLoad(int, const Text&, int, int) { return nullptr; }
NativeHandle GadgetCreateButton(int, int, int, int, int, const Text&) { return nullptr; }
NativeHandle GadgetCreatePictureButton(int, int, int, int, int, ImageHandle_t) { return nullptr; }
NativeHandle GadgetCreateTextField(int, int, int, int, int, const Text&, int) { return nullptr; }
NativeHandle GadgetCreateLabel(int, int, int, int, int, const Text&, int) { return nullptr; }
NativeHandle GadgetCreateFrame(int, int, int, int, int, const Text&) { return nullptr; }
NativeHandle GadgetCreateOption(int, int, int, int, int, const Text&) { return nullptr; }
NativeHandle GadgetCreateList(int, int, int, int, int, const Text&, int, int) { return nullptr; }
NativeHandle GadgetCreatePicture(int, int, int, int, int, ImageHandle_t) { return nullptr; }
NativeHandle GadgetCreateLink(int, int, int, int, int, const Text&, Rgb) { return nullptr; }
void GadgetSetText(int, const Text&) {}
Text GadgetGetText(int) { return {}; }
void GadgetSetState(int, std::int64_t) {}
void GadgetSetState(int, ImageHandle_t) {}
std::int64_t GadgetGetState(int) { return 0; }
void GadgetSetFont(int, FontHandle) {}
void GadgetSetBackColour(int, Rgb) {}
void GadgetSetEnabled(int, bool) {}
void GadgetHide(int, bool) {}
void GadgetFocus(int) {}
bool GadgetHasFocus(int) { return false; }
void GadgetResize(int, int, int, int, int) {}
void TextFieldSelectAll(int) {}
void ListAddColumn(int, int, const Text&, int) {}
void ListRemoveColumn(int, int) {}
void ListAddRow(int, int, const Text&) {}
void ListRemoveRow(int, int) {}
void ListClear(int) {}
std::int64_t ListCount(int) { return 0; }
void ListSelectRow(int, int, bool) {}
Text ListCellText(int, int, int) { return {}; }
void ListSetColours(int, Rgb) {}
int MessageAsk(const Text&, const Text&, int) { return 0; }
Text SaveFileDialog(const Text&, const Text&, const Text&, int) { return {}; }
void OpenWithShell(const Text&) {}
QWidget* GuiWindowClient(int) { return nullptr; }
QWidget* GuiCurrentTarget() { return nullptr; }
int GuiCurrentTargetNumber() { return 0; }
void GuiAdoptGadget(int, QWidget* w, GadgetHooks) { delete w; }
QWidget* GuiGadgetWidget(int) { return nullptr; }
QTreeWidget* GuiListWidget(int) { return nullptr; }
void GuiSetListRowsChangedHook(ListRowsChanged) {}
void GuiQueueEvent(const Event&) {}
