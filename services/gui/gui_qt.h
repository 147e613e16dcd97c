#pragma once
// The GUI layer's side door for the other services, which live on Qt as well: the web view,
// the column sorter, the image services and printing. The application never includes this.
#include <functional>

#include <QFont>
#include <QImage>
#include <QWidget>

#include "services/gui/gui.h"

class QTreeWidget;

// The client area of a window, or null. Gadgets are children of it.
QWidget* GuiWindowClient(int window);
// Whether mouse and keyboard input reach a window (WindowSetEnabled); false without a window.
// A window that takes none is painted as before, so its widgets' own enabled flags do not tell.
bool GuiWindowEnabled(int window);
// The client area that new gadgets go into (the most recently opened window), or null.
QWidget* GuiCurrentTarget();
int GuiCurrentTargetNumber();

// A gadget made by another service (the web view). The layer owns the widget from now on and
// calls the hooks for GadgetSetText and GadgetGetText on that number.
struct GadgetHooks {
  std::function<void(const Text&)> setText;
  std::function<Text()> getText;
};
void GuiAdoptGadget(int number, QWidget* widget, GadgetHooks hooks);

// The widget of a gadget, or null. Lists are QTreeWidget (report view, one top-level item a row).
QWidget* GuiGadgetWidget(int number);
QTreeWidget* GuiListWidget(int number);

// Rows of a list are renumbered (Qt::UserRole holds the row index) by the column sorter; the GUI
// layer calls this after it inserts or removes rows of a list, when a sorter has set it.
using ListRowsChanged = std::function<void(int number, bool cleared)>;
void GuiSetListRowsChangedHook(ListRowsChanged hook);

// Once SessionWatch's signals have ended the session: true, and each hook is called once, in
// the GUI thread (the web view stops its loads, so that no lookup holds the end back).
bool GuiSessionEnding();
void GuiOnSessionEnd(std::function<void()> hook);

// Queue an event for EventWait/EventPoll. Only this queue reaches the application.
void GuiQueueEvent(const Event& event);
// Ends a blocked EventWaitFor at once, with no event, so its caller looks again without waiting
// out the time (the web view calls it when a load ends). EventWait goes on waiting.
void GuiWakeWait();

// The objects behind the opaque handles.
inline const QImage* GuiImageOf(ImageHandle_t handle) { return static_cast<const QImage*>(handle); }
inline const QFont* GuiFontOf(FontHandle handle) { return static_cast<const QFont*>(handle); }
