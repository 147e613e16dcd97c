#pragma once
// What the GUI layer's tests share: a fixture that gives every test a clean layer, and small
// helpers that take the queued events and click through a window as the window system would.
#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <QWindow>

#include <vector>

#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"

namespace guitest {

// Each test starts and ends with an empty layer: no windows, gadgets, fonts or events.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    GuiShutdown();
    GuiInit();
  }
};

// Opens a shown window with a close box and waits until the window system has it on screen.
inline QWidget* OpenShown(int number, int width = 400, int height = 300) {
  WindowOpen(number, 10, 10, width, height, "prueba"_t,
             kWindowTitleBar | kWindowSystemMenu | kWindowMinimiseBox);
  QWidget* w = GuiWindowClient(number);
  if (w != nullptr) {
    w->activateWindow();
    (void)QTest::qWaitForWindowExposed(w);
  }
  return w;
}

// Every event that is queued now, taken with EventPoll.
inline std::vector<Event> TakeAll() {
  std::vector<Event> events;
  for (Event e = EventPoll(); e.kind != kEventNone; e = EventPoll()) events.push_back(e);
  return events;
}

// The GadgetActivity subtypes among the events, in order.
inline std::vector<int> Subtypes(const std::vector<Event>& events, int gadget) {
  std::vector<int> out;
  for (const Event& e : events)
    if (e.kind == GadgetActivity && e.number == gadget) out.push_back(e.subtype);
  return out;
}

// A click at a point of a window's client area, delivered through the window as the window
// system would: the toolkit itself finds the gadget under the pointer.
inline void ClickWindowAt(QWidget* window, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  QTest::mouseClick(window->windowHandle(), button, Qt::NoModifier, at);
}

}  // namespace guitest
