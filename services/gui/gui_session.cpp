// The desktop's ways of ending the program: the signals a logout, a terminal or a service
// manager sends, and the session manager's request to save before a logout.
//
// A signal arrives at any point of the program, between any two instructions, so its handler
// does nothing but write the signal's number into a pipe (write is async-signal-safe; errno is
// kept for the code it interrupted). The pipe's other end is watched by the event loop, which
// turns the byte into the end of the session in the GUI thread, with no hurry and no risk.
#include <QApplication>
#include <QDialog>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <functional>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

#include "services/gui/gui_internal.h"
#include "services/gui/gui_qt.h"

namespace {

int endPipe[2] = {-1, -1};
QSocketNotifier* endNotifier = nullptr;

// The signals that end the session, each with the action it had before the program caught it.
// One the program was started with ignored (nohup ignores SIGHUP) is left ignored: the person
// asked for the program to outlive that event. At the end each gets back what it had.
struct EndSignal {
  int number;
  struct sigaction before;
  bool caught;
};
EndSignal endSignals[] = {{SIGTERM, {}, false}, {SIGHUP, {}, false}, {SIGINT, {}, false}};

extern "C" void OnEndSignal(int signal) {
  const int saved = errno;
  const auto byte = static_cast<char>(signal);
  // A full pipe already holds an end to come; the byte is not needed then.
  [[maybe_unused]] const ssize_t written = write(endPipe[1], &byte, 1);
  errno = saved;
}

// The end of the session, in the GUI thread: EventWait hands it out next, and a dialog that is
// open is closed as its close box would close it (a Yes/No question answers No, a file or print
// dialog is cancelled), so that the command that opened it can end.
std::vector<std::function<void()>>& EndHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

void EndSession() {
  if (!gui::state().sessionEnding) {
    gui::state().sessionEnding = true;
    for (const auto& hook : EndHooks()) hook();
  }
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isVisible()) {
      dialog->reject();
    }
  }
  GuiWakeWait();
}

// The session manager's last word after a logout (Qt sends the application a Quit event then;
// the program itself never asks Qt to quit): the same end, instead of Qt closing the windows,
// which would only ask the question of the exit again. And once the session has ended, a dialog
// that a command still opens (the layer's own are not shown then; the print dialog is another
// service's) is closed as soon as its wait begins, so that no command waits for a person.
class QuitFilter : public QObject {
 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && gui::state().sessionEnding) {
      if (auto* dialog = qobject_cast<QDialog*>(object))
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
      return false;
    }
    if (object != qApp || event->type() != QEvent::Quit) return false;
    EndSession();
    return true;
  }
};
QuitFilter* quitFilter = nullptr;

}  // namespace

bool GuiSessionEnding() { return gui::state().sessionEnding; }

void GuiOnSessionEnd(std::function<void()> hook) { EndHooks().push_back(std::move(hook)); }

void SessionWatch(bool (*beforeLogout)()) {
  if (endPipe[0] >= 0 || pipe2(endPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  endNotifier = new QSocketNotifier(endPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(endNotifier, &QSocketNotifier::activated, [] {
    char bytes[16];
    while (read(endPipe[0], bytes, sizeof bytes) > 0) {
    }
    EndSession();
  });
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (EndSignal& end : endSignals) {
    end.caught = sigaction(end.number, nullptr, &end.before) == 0 &&
                 end.before.sa_handler != SIG_IGN && sigaction(end.number, &action, nullptr) == 0;
  }
  quitFilter = new QuitFilter;
  qApp->installEventFilter(quitFilter);

  // Before a logout the session manager may let the program ask its questions: then the
  // application's own (unsaved changes) is asked; a false answer keeps the session going.
  if (beforeLogout == nullptr) return;
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                   [beforeLogout](QSessionManager& manager) {
                     if (!manager.allowsInteraction()) return;
                     const bool goOn = beforeLogout();
                     manager.release();
                     if (!goOn) manager.cancel();
                   });
}

namespace gui {

void SessionStop() {
  if (endPipe[0] < 0) return;
  for (EndSignal& end : endSignals) {
    if (end.caught) sigaction(end.number, &end.before, nullptr);
    end.caught = false;
  }
  delete endNotifier;
  endNotifier = nullptr;
  delete quitFilter;
  quitFilter = nullptr;
  QObject::disconnect(qApp, &QGuiApplication::commitDataRequest, qApp, nullptr);
  close(endPipe[0]);
  close(endPipe[1]);
  endPipe[0] = endPipe[1] = -1;
}

}  // namespace gui
