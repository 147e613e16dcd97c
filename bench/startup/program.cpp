// The program for the start-up benchmark: the very start-up that main runs, up to the event
// loop, in a scratch working directory (given as the only argument). After it has told the
// parent that the main window is painted, it waits in the program's own event loop for a while
// and reports the CPU time it used meanwhile (the idle cost) before it shuts down as usual.
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "program/gadgets.h"
#include "program/variables.h"
#include "app/shell.h"
#include "bench/startup/first_paint.h"
#include "services/gui/gui_qt.h"

namespace {

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) std::filesystem::current_path(argv[1]);
  StartUp();
  startupbench::WaitForFirstPaintAndTell(GuiWindowClient(kMainWindow));

  // Idle: the loop waits for an event that comes only after the time set here.
  const int idleMilliseconds = argc > 2 ? std::atoi(argv[2]) : 0;
  const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  const double wall0 = Seconds(CLOCK_MONOTONIC);
  QTimer::singleShot(idleMilliseconds, [] {
    if (QWidget* main = GuiWindowClient(kMainWindow)) main->close();
  });
  RunEventLoop();
  const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  const double wall = Seconds(CLOCK_MONOTONIC) - wall0;
  std::printf("idle %.6f %.6f\n", cpu, wall);
  std::fflush(stdout);
  ShutDown();
  return 0;
}
