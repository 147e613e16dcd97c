#pragma once
// The GUI layer's own tables, shared by its source files: windows, gadgets, fonts and the one
// event queue. Nothing outside services/gui includes this.
//
// The tables keep each object with its own type: a window as the layer's top-level window, a
// gadget as its kind's adapter, which holds the widget as the widget's own class and answers
// the operations that differ by kind (text, state, back colour, selecting all). A new kind of
// gadget is one adapter and one creation operation; the operations on every gadget stay as
// they are. The adapters themselves live with their kinds (gui_gadgets.cpp, gui_lists.cpp).
#include <QPointer>
#include <QWidget>

class QHeaderView;

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <vector>

#include "services/gui/gui_qt.h"

class QEventLoop;

namespace gui {

// What one kind of gadget does with the operations whose meaning depends on the kind. The
// layer calls them only while the widget lives. An operation a kind does not have does
// nothing and answers 0 or an empty text, as on an empty number.
class GadgetKind {
 public:
  virtual ~GadgetKind() = default;
  virtual QWidget* AsWidget() const = 0;  // null once the toolkit has destroyed it

  virtual void SetText(const Text&) {}
  virtual Text GetText() const { return {}; }
  virtual void SetState(std::int64_t) {}
  virtual void SetPicture(ImageHandle_t) {}  // GadgetSetState with an image handle
  virtual std::int64_t GetState() const { return 0; }
  virtual void SetBackColour(const QColor&) {}
  virtual void SelectAll() {}
  // Gives the text the gadget draws on a colour the program fixed (its own back colour, or the
  // window's when it draws on the window) a colour that reads on it, whatever the desktop's
  // palette; and the selected text one that reads on the palette's selection colour. Called when
  // the gadget is made, when either back colour is set, and after the desktop's palette changes.
  virtual void FitColours(const QColor& /*windowBack: invalid for none*/) {}
  virtual void SetAccessibleName(const QString& name) {
    if (QWidget* w = AsWidget()) w->setAccessibleName(name);
  }
};

// The base of an adapter whose widget is of class W: it keeps the widget as a W, guarded, so
// that the layer sees when the toolkit has destroyed it.
template <typename W>
class GadgetOf : public GadgetKind {
 public:
  explicit GadgetOf(W* widget) : widget_(widget) {}
  QWidget* AsWidget() const final { return widget_.data(); }
  W* widget() const { return widget_.data(); }

 private:
  QPointer<W> widget_;
};

// The layer's top-level window, defined with the window operations in gui.cpp.
class ClientWindow;

struct Shortcut {
  int key = 0;
  int number = 0;
};

struct WindowEntry {
  QPointer<ClientWindow> widget;  // the top-level window; its whole inside is the client area
  std::vector<Shortcut> shortcuts;
  bool centre = false;
  bool enabled = true;  // WindowSetEnabled: whether mouse and keyboard input reach the window
};

struct GadgetEntry {
  std::unique_ptr<GadgetKind> kind;  // none: the number holds nothing
  int window = 0;
  QWidget* widget() const { return kind != nullptr ? kind->AsWidget() : nullptr; }
};

// Option buttons made one after another: selecting one clears the others.
struct OptionGroup;

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
  // The group that an option button made now joins: that of the gadget made just before, if
  // that was an option button in the current window; else none, and the option starts one.
  std::shared_ptr<OptionGroup> openOptionGroup;
  QEventLoop* waiting = nullptr;  // the loop EventWait/EventWaitFor blocks in, if any
  bool sessionEnding = false;     // the desktop has asked the program to end (SessionWatch)
};

State& state();

// The gadget entry of a number when it holds a live widget, else null.
GadgetEntry* Gadget(int number);
WindowEntry* Window(int number);
int WindowNumberOf(const QWidget* widget);
// Whether a window of the table takes input; false for a number without a window.
bool WindowTakesInput(int number);

// A window's back colour (WindowSetBackColour); invalid for none or no window.
QColor WindowBack(int number);
// Loads the toolkit's own Spanish texts, so that its dialogs (print, files) and standard buttons
// speak the program's language whatever the desktop's.
void LoadToolkitSpanish();

// Black or white, whichever reads better on the colour (the higher contrast ratio of the two).
QColor ReadableOn(const QColor& back);
// Sets the colour of the given roles for the widget's active and inactive states; a disabled
// gadget keeps the desktop's greyed look.
void SetTextColour(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles,
                   const QColor& colour);
// A list's header whose sections may be painted on the list's back colour: its labels read on it.
void FitHeader(QHeaderView* header, const QColor& back);
// Selected text black or white, whichever reads on the palette's selection colour.
void FitSelection(QWidget* widget);

// Registers a freshly made gadget (its widget a child of the current window) under a number,
// freeing whatever was there, and places it. Answers the widget, or null for a bad number.
QWidget* Register(int number, std::unique_ptr<GadgetKind> kind, int x, int y, int w, int h);
QWidget* CurrentClient();

void QueueGadget(int number, int subtype);

// Has every accessible interface of a widget of the layer's windows obey the window's lock
// (gui_accessible.cpp). Once, at GuiInit.
void GuardAccessibleActions();

// Undoes SessionWatch (gui_session.cpp): each signal gets back the action it had before. At
// GuiShutdown, when nothing is left to clean up.
void SessionStop();

}  // namespace gui
