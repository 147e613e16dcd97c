#pragma once
// The GUI layer's own tables, shared by its source files: windows, gadgets, fonts and the one
// event queue. Nothing outside services/gui includes this.
#include <QPointer>
#include <QWidget>

#include <deque>
#include <memory>
#include <vector>

#include "services/gui/gui_qt.h"

class QEventLoop;

namespace gui {

enum class Kind {
  None,
  Button,
  PictureButton,
  LineField,
  MultiLineField,
  Label,
  Frame,
  Option,
  List,
  Picture,
  Link,
  Adopted,
};

struct Shortcut {
  int key = 0;
  int number = 0;
};

struct WindowEntry {
  QPointer<QWidget> widget;  // the top-level window; its whole inside is the client area
  std::vector<Shortcut> shortcuts;
  bool centre = false;
  bool enabled = true;  // WindowSetEnabled: whether mouse and keyboard input reach the window
};

struct GadgetEntry {
  Kind kind = Kind::None;
  QPointer<QWidget> widget;
  int window = 0;
  int group = 0;              // option buttons: the number of the group's first option
  ImageHandle_t image = nullptr;
  Text labelText;             // labels: the text as given, line breaks and all
  GadgetHooks hooks;          // adopted gadgets
};

// Numbered tables grow in steps of 16 entries.
template <typename T>
T& Slot(std::vector<T>& table, int number) {
  if (static_cast<std::size_t>(number) >= table.size())
    table.resize((static_cast<std::size_t>(number) / 16 + 1) * 16);
  return table[static_cast<std::size_t>(number)];
}

struct State {
  std::vector<WindowEntry> windows;
  std::vector<GadgetEntry> gadgets;
  std::vector<std::unique_ptr<QFont>> fonts;
  std::deque<Event> queue;
  int currentWindow = 0;
  int lastCreatedNumber = -1;  // for option groups: the gadget created just before
  Kind lastCreatedKind = Kind::None;
  QEventLoop* waiting = nullptr;  // the loop EventWait/EventWaitFor blocks in, if any
  ListRowsChanged rowsChanged;
};

State& state();

// The gadget entry of a number when it holds a live widget, else null.
GadgetEntry* Gadget(int number);
WindowEntry* Window(int number);
int WindowNumberOf(const QWidget* widget);
// Whether a window of the table takes input; false for a number without a window.
bool WindowTakesInput(int number);

// Registers a freshly made gadget widget (as a child of the current window) under a number,
// freeing whatever was there, and places it. Answers the widget, or null without a window.
QWidget* Register(int number, Kind kind, QWidget* widget, int x, int y, int w, int h);
QWidget* CurrentClient();

void QueueGadget(int number, int subtype);

// The lists' side, in gui_lists.cpp.
QWidget* MakeList(QWidget* parent, int number);
void ListAfterRowsChanged(int number, bool cleared);

}  // namespace gui
