// Start-up: from process start to the main window painted with the loop idle, for the program
// (its own start-up, as main runs it) against the floor of the toolkit, a Qt Widgets program that
// shows one window with one line of text. Both are child processes started afresh each iteration
// and timed until they say "ready". The program should stay within 1.25 times the floor, on the
// same platform in the same run.
//
// A second floor shows the main window's texts in their faces and sizes as plain labels: the
// share of start-up the toolkit spends on those fonts whatever the program's own gadgets cost,
// so that the ratio to it is the program's own.
//
// A third benchmark lets the program's loop wait for a second with nothing to do and reports the
// CPU it used meanwhile (idle_cpu_percent): waiting must not spin.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr double kTargetRatio = 1.25;

struct Child {
  pid_t pid = -1;
  int out = -1;  // the child's stdout
};

Child Spawn(const std::vector<std::string>& args) {
  Child child;
  int fds[2];
  if (pipe(fds) != 0) return child;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    child.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  child.out = fds[0];
  return child;
}

// One line of the child's output, without its line feed; empty at the end of the output.
std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

int Finish(Child& child) {
  close(child.out);
  int status = 0;
  if (child.pid > 0) waitpid(child.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path ScratchDirectory() {
  static const std::filesystem::path dir = [] {
    std::string templ = (std::filesystem::temp_directory_path() / "cinevarta-startup-XXXXXX").string();
    const char* made = mkdtemp(templ.data());
    return std::filesystem::path(made != nullptr ? made : ".");
  }();
  return dir;
}

// From process start to the child's "ready" line, in seconds; the child then finishes untimed.
// Negative when the child did not start up.
double TimeOneStartUp(const std::vector<std::string>& args) {
  const auto start = std::chrono::steady_clock::now();
  Child child = Spawn(args);
  const std::string line = ReadLine(child.out);
  const auto ready = std::chrono::steady_clock::now();
  while (!ReadLine(child.out).empty()) {
  }
  const int code = Finish(child);
  if (line != "ready" || code != 0) return -1;
  return std::chrono::duration<double>(ready - start).count();
}

std::vector<std::string> ProgramArgs() { return {STARTUP_PROGRAM, ScratchDirectory().string(), "0"}; }
std::vector<std::string> FloorArgs() { return {STARTUP_FLOOR}; }
std::vector<std::string> SameTextsFloorArgs() { return {STARTUP_FLOOR, "texts"}; }

void TimeStartUps(benchmark::State& state, const std::vector<std::string>& args) {
  for (auto _ : state) {
    const double seconds = TimeOneStartUp(args);
    if (seconds < 0) {
      state.SkipWithError("the child did not start up");
      return;
    }
    state.SetIterationTime(seconds);
  }
}

void BM_ProgramStartUp(benchmark::State& state) { TimeStartUps(state, ProgramArgs()); }
BENCHMARK(BM_ProgramStartUp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_MinimalQtWindow(benchmark::State& state) { TimeStartUps(state, FloorArgs()); }
BENCHMARK(BM_MinimalQtWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

// The three in turns, so that a machine busy with other work weighs on all alike; the ratio of
// their means is the figure to watch.
double ratio = 0;
double sameTextsRatio = 0;
double programMs = 0;
double floorMs = 0;
double sameTextsMs = 0;
void BM_StartUpAgainstFloor(benchmark::State& state) {
  double program = 0;
  double floor = 0;
  double sameTexts = 0;
  long long runs = 0;
  for (auto _ : state) {
    const double p = TimeOneStartUp(ProgramArgs());
    const double f = TimeOneStartUp(FloorArgs());
    const double t = TimeOneStartUp(SameTextsFloorArgs());
    if (p < 0 || f < 0 || t < 0) {
      state.SkipWithError("a child did not start up");
      return;
    }
    program += p;
    floor += f;
    sameTexts += t;
    ++runs;
    state.SetIterationTime(p);
  }
  if (runs == 0 || floor <= 0 || sameTexts <= 0) return;
  programMs = 1000 * program / static_cast<double>(runs);
  floorMs = 1000 * floor / static_cast<double>(runs);
  sameTextsMs = 1000 * sameTexts / static_cast<double>(runs);
  ratio = program / floor;
  sameTextsRatio = program / sameTexts;
  state.counters["program_ms"] = programMs;
  state.counters["floor_ms"] = floorMs;
  state.counters["same_texts_ms"] = sameTextsMs;
  state.counters["ratio"] = ratio;
  state.counters["ratio_same_texts"] = sameTextsRatio;
}
BENCHMARK(BM_StartUpAgainstFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ProgramIdle(benchmark::State& state) {
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    Child child = Spawn({STARTUP_PROGRAM, ScratchDirectory().string(), "1000"});
    const std::string ready = ReadLine(child.out);
    std::istringstream idle(ReadLine(child.out));
    std::string word;
    double c = -1;
    double w = 0;
    idle >> word >> c >> w;
    const int code = Finish(child);
    if (ready != "ready" || word != "idle" || code != 0) {
      state.SkipWithError("the child did not idle");
      return;
    }
    cpu += c;
    wall += w;
    state.SetIterationTime(w);
  }
  state.counters["idle_cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
}
BENCHMARK(BM_ProgramIdle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  // Headless unless there is a display: both children start on the same platform.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
      std::getenv("WAYLAND_DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (ratio > 0) {
    std::printf("start-up to a painted main window %.1f ms, minimal Qt window %.1f ms, in turns: "
                "ratio %.2f (target at most %.2f); a window of the same texts in the same faces "
                "%.1f ms: ratio %.2f, and that window alone %.2f times the minimal one\n",
                programMs, floorMs, ratio, kTargetRatio, sameTextsMs, sameTextsRatio,
                sameTextsMs / floorMs);
  }
  std::error_code ignored;
  std::filesystem::remove_all(ScratchDirectory(), ignored);
  return 0;
}
