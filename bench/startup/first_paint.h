#pragma once
// What both start-up children share: the moment a window has been painted for the first time
// and the event loop has nothing left to do, told to the parent as one line on stdout.
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>

namespace startupbench {

// Notes the first paint of a window.
class FirstPaint : public QObject {
 public:
  bool painted = false;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(object, event);
  }
};

// Lets Qt run until the window has been painted, then once more until nothing is pending, and
// tells the parent.
inline void WaitForFirstPaintAndTell(QWidget* window) {
  FirstPaint watch;
  if (window != nullptr) window->installEventFilter(&watch);
  while (window != nullptr && !watch.painted)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (window != nullptr) window->removeEventFilter(&watch);
  std::fputs("ready\n", stdout);
  std::fflush(stdout);
}

}  // namespace startupbench
