// The GUI layer's core: its tables, windows, the event queue, shortcuts and fonts.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cmath>

#include "services/gui/gui_internal.h"
#include "services/text/qt_text.h"

namespace gui {

State& state() {
  static State s;
  return s;
}

GadgetEntry* Gadget(int number) {
  auto& g = state().gadgets;
  if (number < 0 || static_cast<std::size_t>(number) >= g.size()) return nullptr;
  GadgetEntry& e = g[static_cast<std::size_t>(number)];
  if (e.widget() == nullptr) return nullptr;
  return &e;
}

WindowEntry* Window(int number) {
  auto& w = state().windows;
  if (number < 0 || static_cast<std::size_t>(number) >= w.size()) return nullptr;
  WindowEntry& e = w[static_cast<std::size_t>(number)];
  return e.widget.isNull() ? nullptr : &e;
}

bool WindowTakesInput(int number) {
  const WindowEntry* w = Window(number);
  return w != nullptr && w->enabled;
}

void Free(GadgetEntry& e) {
  delete e.widget();
  e = GadgetEntry{};
}

QWidget* Register(int number, std::unique_ptr<GadgetKind> kind, int x, int y, int w, int h) {
  QWidget* widget = kind->AsWidget();
  if (number < 0) {
    delete widget;
    return nullptr;
  }
  GadgetEntry& e = Slot(state().gadgets, number);
  if (e.widget() != widget) Free(e);
  e.kind = std::move(kind);
  e.window = state().currentWindow;
  widget->setGeometry(x, y, w, h);
  widget->show();  // shown with its window; a hidden window keeps it hidden until then
  state().openOptionGroup.reset();  // any gadget but an option button ends a group
  e.kind->FitColours(WindowBack(e.window));
  return widget;
}

void QueueGadget(int number, int subtype) {
  const GadgetEntry* e = Gadget(number);
  GuiQueueEvent(Event{GadgetActivity, e != nullptr ? e->window : 0, number, subtype});
}

namespace {

// Places a window so that its outer frame stands in the middle of the primary screen; an outer
// size larger than the screen counts as the screen's size. For a window, Qt's move() places the
// frame's top-left corner.
void CentreFrame(QWidget* window, const QMargins& frame) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  const int outerW = std::min(window->width() + frame.left() + frame.right(), area.width());
  const int outerH = std::min(window->height() + frame.top() + frame.bottom(), area.height());
  window->move(area.x() + (area.width() - outerW) / 2, area.y() + (area.height() - outerH) / 2);
}

// The frame the window manager gave the last window it framed. A window is placed before it is
// mapped, when its own frame is not known yet: this one stands in for it, and the place is put
// right once the window is on screen (see ClientWindow).
QMargins& LastFrame() {
  static QMargins frame;
  return frame;
}

}  // namespace

// A top-level window: its whole inside is the client area. The close box only asks, and only
// while the window takes input; the window goes when the program closes it.
class ClientWindow : public QWidget {
 public:
  ClientWindow(int number, bool centre) : number_(number), centrePending_(centre) {
    fitLater_.setSingleShot(true);
    QObject::connect(&fitLater_, &QTimer::timeout, this, [this] { FitGadgets(); });
  }
  void SetBack(const QColor& c) {
    back_ = c;
    update();
    FitGadgets();
  }
  QColor Back() const { return back_; }
  void AllowClose() { closing_ = true; }

 protected:
  void closeEvent(QCloseEvent* event) override {
    if (closing_) {
      event->accept();
      return;
    }
    event->ignore();
    if (WindowTakesInput(number_)) GuiQueueEvent(Event{CloseRequest, number_, 0, 0});
  }
  void paintEvent(QPaintEvent*) override {
    // Painted here rather than through the palette, so that no gadget inherits the colour.
    if (!back_.isValid()) return;
    QPainter p(this);
    p.fillRect(rect(), back_);
  }
  bool event(QEvent* e) override {
    if (e->type() == QEvent::Show && windowHandle() != nullptr && !watchingStates_) {
      // A title bar asks for a state through the window, before the window system has it.
      watchingStates_ = true;
      connect(windowHandle(), &QWindow::windowStateChanged, this, [this] { KeepNormalSize(); });
    }
    if (e->type() == QEvent::Show && centrePending_ && windowHandle() != nullptr)
      windowHandle()->installEventFilter(this);
    return QWidget::event(e);
  }
  void changeEvent(QEvent* e) override {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange) {
      // The desktop's palette has changed: the gadgets take their text colours anew once they
      // have all taken the new palette (they take it after their window).
      fitLater_.start(0);
    } else if (e->type() == QEvent::WindowStateChange) {
      KeepNormalSize();
    }
  }
  bool eventFilter(QObject* object, QEvent* e) override {
    // The first time the window is on screen its frame is known: a centred window is moved so
    // that the frame, not the client area, stands in the middle.
    if (object == windowHandle() && e->type() == QEvent::Expose && centrePending_ &&
        windowHandle()->isExposed()) {
      centrePending_ = false;
      windowHandle()->removeEventFilter(this);
      const QMargins frame = windowHandle()->frameMargins();
      if (!frame.isNull()) LastFrame() = frame;
      CentreFrame(this, frame);
    }
    return false;
  }

 private:
  void FitGadgets() {
    for (GadgetEntry& g : state().gadgets)
      if (g.window == number_ && g.widget() != nullptr) g.kind->FitColours(back_);
  }
  // A window of fixed size is never maximised or full screen. The window system may make it so
  // all the same: a title bar's maximise button (Qt's own on Wayland draws one whatever the
  // window's flags), a compositor's key, a window manager's menu. A Wayland compositor then
  // expects the next frame at the size it gave, and ends the connection (and so the program)
  // when a fixed-size window cannot draw one. The window goes off screen before it draws again
  // and comes back in its normal state, as a new window the compositor has agreed nothing with,
  // at its own size again if the window system had already given it the large one. It goes as
  // the title bar asks, before the compositor answers: once the compositor's answer is in, Qt
  // may draw a frame at once, before the window hears of its new state.
  void KeepNormalSize() {
    const Qt::WindowStates large = Qt::WindowMaximized | Qt::WindowFullScreen;
    QWindow* window = windowHandle();
    const Qt::WindowStates asked =
        windowState() | (window != nullptr ? window->windowStates() : Qt::WindowStates());
    if ((asked & large) == 0 || minimumSize() != maximumSize() || !isVisible()) return;
    hide();
    setWindowState(windowState() & ~large);
    if (window != nullptr) window->setWindowStates(window->windowStates() & ~large);
    resize(minimumSize());
    show();
  }

  int number_;
  QColor back_;
  bool closing_ = false;
  bool centrePending_ = false;
  bool watchingStates_ = false;
  QTimer fitLater_;
};

QColor WindowBack(int number) {
  WindowEntry* w = Window(number);
  return w != nullptr ? w->widget->Back() : QColor();
}

// What a screen reader is told a window of the layer is: a window (a plain widget is a "filler").
QAccessibleInterface* WindowAccessible(const QString& className, QObject* object) {
  if (className != QLatin1String("QWidget")) return nullptr;
  auto* window = dynamic_cast<ClientWindow*>(object);
  return window != nullptr ? new QAccessibleWidget(window, QAccessible::Window) : nullptr;
}

int WindowNumberOf(const QWidget* widget) {
  if (widget == nullptr) return 0;
  const QWidget* top = widget->window();
  auto& w = state().windows;
  for (std::size_t i = 0; i < w.size(); ++i)
    if (w[i].widget == top) return static_cast<int>(i);
  return 0;
}

QWidget* CurrentClient() {
  WindowEntry* w = Window(state().currentWindow);
  return w != nullptr ? w->widget.data() : nullptr;
}

namespace {

// The window of the table that a receiver of input belongs to: a widget's top-level window, or
// the toolkit's own window object behind it. 0 for anything else (dialogs, the toolkit's menus).
int InputWindowOf(QObject* object) {
  if (object->isWidgetType()) return WindowNumberOf(static_cast<QWidget*>(object));
  if (auto* handle = qobject_cast<QWindow*>(object)) {
    auto& w = state().windows;
    for (std::size_t i = 0; i < w.size(); ++i)
      if (!w[i].widget.isNull() && w[i].widget->windowHandle() == handle) return static_cast<int>(i);
  }
  return 0;
}

// A person's input, in whatever form the toolkit hands it over: every event Qt marks as input
// (mouse, hover, wheel, keys and the shortcut check before a key, touch, tablet, context menus,
// gestures), and those that carry input without that mark: a drag over or dropped on the
// window, an input method's text, and a key that fired a gadget's shortcut.
bool IsInput(const QEvent* event) {
  return event->isInputEvent() || dynamic_cast<const QDropEvent*>(event) != nullptr ||
         event->type() == QEvent::InputMethod || event->type() == QEvent::Shortcut;
}

// Return and the keypad's Enter, without modifiers (the keypad's own mark aside).
bool IsEnterKey(const QKeyEvent* key) {
  const auto mods = key->modifiers() & ~Qt::KeypadModifier;
  return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
}

// Sees every event before its receiver does. Input to a window that WindowSetEnabled turned off
// goes nowhere, while the window and its gadgets keep being painted as they are: a locked window
// is not a greyed one. Then the windows' shortcut keys become events before any gadget sees them.
//
// This is where the window system's input enters the program, so the lock is sound only if no
// input waits elsewhere to be handed out later: the waits of the program process every event
// (none holds input back in the toolkit's queue, as QEventLoop::ExcludeUserInputEvents would),
// and unlocking a window first lets through what is still queued (WindowSetEnabled). A screen
// reader's way in is the other one, guarded in gui_accessible.cpp.
//
// Enter acts once per press, wherever it goes (the shortcut, a box's default button, a file
// dialog): a key held down repeats its press, and each repeat would be one more action, one
// more lookup of a site, for as long as the key stays down or the window system believes it
// does (a release that never came). So a repeat of Enter does nothing at all, and the shortcut
// fires only on a press of a key that was up: one whose last press Qt has seen released. The
// press that closed a box leaves the key down until its release, wherever that comes.
//
// A repeat is what Qt marks as one, and also a press that comes at the very moment of the
// release before it: an X server repeats a key as a release and a press with one time stamp,
// which Qt marks only when both are already queued as it reads the release; while a lookup
// keeps the program from reading, the press often comes after, and goes unmarked.
class InputFilter : public QObject {
 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    const auto type = event->type();
    if (type == QEvent::ApplicationStateChange &&
        QGuiApplication::applicationState() != Qt::ApplicationActive) {
      enterDown_ = false;  // its release goes to another program's window
    }
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
        type == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(event);
      const bool repeat = key->isAutoRepeat() || (type != QEvent::KeyRelease &&
                                                   key->timestamp() != 0 &&
                                                   key->timestamp() == releasedAt_);
      if (IsEnterKey(key) && repeat) {
        if (type == QEvent::ShortcutOverride) event->accept();
        return true;
      }
      // The key is up wherever its release goes, a window locked for a lookup included: a
      // person who lets go of Return once the search has begun presses it afresh next time.
      if (IsEnterKey(key) && type == QEvent::KeyRelease) {
        enterDown_ = false;
        releasedAt_ = key->timestamp();
      }
    }
    if (IsInput(event)) {
      const int window = InputWindowOf(object);
      if (window != 0 && !WindowTakesInput(window)) {
        // An accepted override keeps the toolkit's own shortcuts from firing on the key.
        if (type == QEvent::ShortcutOverride) event->accept();
        return true;
      }
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride) {
      return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (!IsEnterKey(key)) return false;
    if (type == QEvent::KeyRelease) return false;
    // A key goes to the toolkit's window object first, then to the focused widget: the press
    // is counted at the widget.
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return false;
    const bool wasDown = enterDown_;
    if (type == QEvent::KeyPress) enterDown_ = true;
    const int windowNumber = WindowNumberOf(widget);
    WindowEntry* w = Window(windowNumber);
    if (w == nullptr) return false;
    for (const Shortcut& s : w->shortcuts) {
      if (s.key != kKeyEnter) continue;
      if (type == QEvent::ShortcutOverride) {
        // Claim the key so that no QShortcut of a gadget takes it; the press comes next.
        event->accept();
        return true;
      }
      if (!wasDown) GuiQueueEvent(Event{ShortcutPressed, windowNumber, s.number, 0});
      return true;  // the key does not reach the focused gadget
    }
    return false;
  }

 private:
  bool enterDown_ = false;  // a press of Enter seen, its release not yet
  quint64 releasedAt_ = 0;  // the time stamp of Enter's last release
};

}  // namespace
}  // namespace gui

using namespace gui;

void GuiInit() {
  if (QApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "cinevarta";
    static char* argv[] = {name, nullptr};
    // Kept for the whole process (reachable through this pointer); other services' objects
    // may outlive any point at which it could be deleted.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
  }
  QApplication::setQuitOnLastWindowClosed(false);
  static const bool once = [] {
    QAccessible::installFactory(WindowAccessible);
    LoadToolkitSpanish();
    return true;
  }();
  (void)once;
  static InputFilter* filter = nullptr;
  if (filter == nullptr) {
    filter = new InputFilter;
    qApp->installEventFilter(filter);
  }
  GuardAccessibleActions();
}

void GuiShutdown() {
  SessionStop();
  State& s = state();
  for (auto& g : s.gadgets) g = GadgetEntry{};
  for (auto& w : s.windows) {
    if (ClientWindow* cw = w.widget.data()) {
      cw->AllowClose();
      delete cw;
    }
    w = WindowEntry{};
  }
  s.fonts.clear();
  s.queue.clear();
  s.sessionEnding = false;
  s.currentWindow = 0;
  s.openOptionGroup.reset();
}

// --- Windows ------------------------------------------------------------------------------

NativeHandle WindowOpen(int number, int x, int y, int width, int height, const Text& title,
                        int flags) {
  if (number < 0 || width < 0 || height < 0) return nullptr;
  WindowClose(number);
  const bool centre = (flags & kWindowCentre) != 0;
  auto* w = new ClientWindow(number, centre);
  // The frame is asked of the window manager through these hints; some keep a close or minimise
  // button that the hints leave out (openbox), so the close box of a window without one is
  // ignored by the program all the same.
  Qt::WindowFlags f = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if ((flags & kWindowSystemMenu) != 0) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if ((flags & kWindowMinimiseBox) != 0) f |= Qt::WindowMinimizeButtonHint;
  w->setWindowFlags(f);
  w->setWindowTitle(TextToQString(title));
  w->setFixedSize(width, height);  // not resizable, so it cannot be maximised either
  WindowEntry& e = Slot(state().windows, number);
  e.widget = w;
  e.shortcuts.clear();
  e.centre = centre;
  e.enabled = true;
  if (centre) {
    CentreFrame(w, LastFrame());
  } else {
    w->move(x, y);
  }
  state().currentWindow = number;
  state().openOptionGroup.reset();
  if ((flags & kWindowInvisible) == 0) w->show();
  return w;
}

void WindowClose(int number) {
  WindowEntry* w = Window(number);
  if (w == nullptr) return;
  for (auto& g : state().gadgets)
    if (g.window == number) g = GadgetEntry{};
  ClientWindow* cw = w->widget.data();
  cw->AllowClose();
  cw->close();
  delete cw;
  *w = WindowEntry{};
}

void WindowSetVisible(int number, bool visible) {
  WindowEntry* w = Window(number);
  if (w == nullptr) return;
  if (!visible) {
    w->widget->hide();
    return;
  }
  w->widget->show();
  w->widget->raise();
  w->widget->activateWindow();
}

void WindowSetEnabled(int number, bool enabled) {
  // Only input stops (InputFilter): the window and its gadgets keep their look, and a gadget
  // turned off by GadgetSetEnabled stays the only one greyed.
  WindowEntry* w = Window(number);
  if (w == nullptr) return;
  if (enabled && !w->enabled) {
    // What a person did while the window was off may not have been handed out yet: the window
    // system's input is read on a thread of its own and delivered at the next pass of the loop.
    // That pass comes now, while the window is still off, so such input meets the lock and goes
    // nowhere; only what comes after this moment reaches the window.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    w = Window(number);
    if (w == nullptr) return;
  }
  w->enabled = enabled;
}

bool GuiWindowEnabled(int window) { return WindowTakesInput(window); }

void WindowSetTopmost(int number, bool on) {
  WindowEntry* w = Window(number);
  if (w == nullptr) return;
  QWidget* widget = w->widget;
  const Qt::WindowFlags flags = on ? widget->windowFlags() | Qt::WindowStaysOnTopHint
                                   : widget->windowFlags() & ~Qt::WindowStaysOnTopHint;
  if (QWindow* handle = widget->windowHandle()) {
    // Told to the window system on the window as it is: changing a shown widget's flags would
    // make a new native window, unmapped and placed anew.
    widget->overrideWindowFlags(flags);
    handle->setFlags(flags);
    return;
  }
  widget->setWindowFlags(flags);  // no native window yet: it is made with these
}

void WindowSetTitle(int number, const Text& title) {
  if (WindowEntry* w = Window(number)) w->widget->setWindowTitle(TextToQString(title));
}

void WindowSetBackColour(int number, Rgb colour) {
  if (WindowEntry* w = Window(number)) w->widget->SetBack(QColor(colour.r, colour.g, colour.b));
}

QWidget* GuiWindowClient(int window) {
  WindowEntry* w = Window(window);
  return w != nullptr ? w->widget.data() : nullptr;
}

QWidget* GuiCurrentTarget() { return CurrentClient(); }
int GuiCurrentTargetNumber() { return state().currentWindow; }

// --- Events -------------------------------------------------------------------------------

void GuiQueueEvent(const Event& event) {
  state().queue.push_back(event);
  if (state().waiting != nullptr) state().waiting->quit();
}

void GuiWakeWait() {
  if (state().waiting != nullptr) state().waiting->quit();
}

namespace {

Event Take() {
  Event e = state().queue.front();
  state().queue.pop_front();
  return e;
}

// Blocks in a Qt event loop until an event is queued or the time (if any) has passed.
void Block(int milliseconds) {
  QEventLoop loop;
  QTimer timer;
  if (milliseconds >= 0) {
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
  }
  QEventLoop* outer = state().waiting;
  state().waiting = &loop;
  loop.exec();
  state().waiting = outer;
}

}  // namespace

Event EventWait() {
  while (state().queue.empty() && !state().sessionEnding) Block(-1);
  if (state().sessionEnding) return Event{SessionEnd, 0, 0, 0};
  return Take();
}

Event EventPoll() {
  if (state().queue.empty()) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  if (state().queue.empty()) return Event{};
  return Take();
}

Event EventWaitFor(int milliseconds) {
  if (state().queue.empty()) Block(std::max(0, milliseconds));
  if (state().queue.empty()) return Event{};
  return Take();
}

void ShortcutAdd(int window, int key, int number) {
  WindowEntry* w = Window(window);
  if (w == nullptr) return;
  for (Shortcut& s : w->shortcuts) {
    if (s.key == key) {
      s.number = number;
      return;
    }
  }
  w->shortcuts.push_back(Shortcut{key, number});
}

// --- Fonts --------------------------------------------------------------------------------

FontHandle FontLoad(int number, const Text& face, int points, int style) {
  if (number < 0) return nullptr;
  auto& slot = Slot(state().fonts, number);
  slot.reset();
  auto font = std::make_unique<QFont>(TextToQString(face));
  if (points > 0) {
    // The height in pixels is taken as the character (em) height: points at the screen's dpi.
    double dpi = 96;
    if (QScreen* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInchY();
    font->setPixelSize(std::max(1, static_cast<int>(std::lround(points * dpi / 72.0))));
  }
  font->setWeight((style & kFontBold) != 0 ? QFont::Bold : QFont::Normal);
  font->setItalic((style & kFontItalic) != 0);
  font->setUnderline((style & kFontUnderline) != 0);
  font->setStrikeOut((style & kFontStrikeOut) != 0);
  if ((style & kFontHighQuality) != 0) font->setStyleStrategy(QFont::PreferQuality);
  slot = std::move(font);
  return slot.get();
}
