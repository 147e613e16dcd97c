// The favourites at scale: loading a favoritos.ini of 100,000 lines into the list, and sorting a
// list of 100,000 rows, each beside the obvious baseline of the same work on plain texts (reading
// the lines with std::getline and sorting them with std::sort, case folded as the sorter does).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "favourites/favourites.h"
#include "services/columnsort/columnsort.h"
#include "services/gui/gui.h"

namespace {

constexpr int kRows = 100000;

std::vector<std::string> MakeTitles() {
  static const char* const words[] = {"Blade", "runner", "Alien", "zoo", "El", "sol", "Noche",
                                      "de", "la", "Ciudad", "perdida", "Amor", "Guerra", "mar"};
  std::mt19937 random(42);
  std::uniform_int_distribution<int> word(0, 13), count(1, 5);
  std::vector<std::string> titles;
  titles.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    std::string title;
    for (int n = count(random); n > 0; --n) title += std::string(words[word(random)]) + ' ';
    titles.push_back(title + std::to_string(random() % 100000));
  }
  return titles;
}

const std::vector<std::string>& Titles() {
  static const std::vector<std::string> titles = MakeTitles();
  return titles;
}

std::string FoldedKey(const std::string& text) {
  std::string key = text.substr(0, 255);
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

// A working folder holding favoritos.ini with one line per title, and the favourites list.
struct Scene {
  std::filesystem::path folder;
  Scene() {
    folder = std::filesystem::temp_directory_path() /
             ("cinevarta-bench-fav-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    std::ofstream out(kFavouritesFile, std::ios::binary);
    std::mt19937 random(7);
    for (const std::string& title : Titles())
      out << title << '#' << random() % 1000000 << '#' << ((random() & 1) ? 'C' : 'I') << "\r\n";
    out.close();
    ResetProgramVariables();
    program.lineBreak = "\r\n";
    WindowOpen(kMainWindow, 0, 0, 795, 560, "Cinevarta"_t, kWindowTitleBar);
    GadgetCreateList(kFavouritesList, 10, 350, 230, 160, "Películas Favoritas"_t, 160,
                     kListFullRowSelect | kListGridLines | kListKeepSelection);
    ListAddColumn(kFavouritesList, 1, "Indice"_t, 0);
    ListAddColumn(kFavouritesList, 2, "bd"_t, 29);
    ColumnSorterInit();
    ColumnSorterAttach(kFavouritesList, kHeaderMarkArrowLeft);
    ColumnSorterSetKind(kFavouritesList, 0, kSortKindTextNoCase);
  }
  ~Scene() {
    WindowClose(kMainWindow);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
  }
};

void BM_LoadFavourites(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    LoadFavourites();
    benchmark::DoNotOptimize(ListCount(kFavouritesList));
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_LoadFavourites)->Unit(benchmark::kMillisecond)->Iterations(3);

// Baseline: the same file read line by line into texts, split at its last two "#" and sorted.
void BM_ReadAndSortLinesBaseline(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    std::ifstream in(kFavouritesFile, std::ios::binary);
    std::vector<std::string> keys;
    for (std::string line; std::getline(in, line);) {
      const auto last = line.rfind('#');
      const auto before = line.rfind('#', last - 1);
      keys.push_back(FoldedKey(line.substr(0, before)));
    }
    std::sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ReadAndSortLinesBaseline)->Unit(benchmark::kMillisecond)->Iterations(3);

// Sorting by the titles after sorting by the unrelated ids, so each sort meets a shuffled list.
void BM_SortFavouritesList(benchmark::State& state) {
  Scene scene;
  LoadFavourites();
  ColumnSorterSetKind(kFavouritesList, 1, kSortKindTextNoCase);
  for (auto _ : state) {
    state.PauseTiming();
    ColumnSorterSortNow(kFavouritesList, 1, kSortAscending);
    state.ResumeTiming();
    ColumnSorterSortNow(kFavouritesList, 0, kSortAscending);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SortFavouritesList)->Unit(benchmark::kMillisecond)->Iterations(5);

// Baseline: std::sort of the same titles, folded the same way, from a shuffled order.
void BM_StdSortTitlesBaseline(benchmark::State& state) {
  std::vector<std::string> shuffled = Titles();
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
  for (auto _ : state) {
    std::vector<std::string> keys;
    keys.reserve(shuffled.size());
    for (const std::string& title : shuffled) keys.push_back(FoldedKey(title));
    std::sort(keys.begin(), keys.end());
    benchmark::DoNotOptimize(keys.data());
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_StdSortTitlesBaseline)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  benchmark::Initialize(&argc, argv);
  GuiInit();
  benchmark::RunSpecifiedBenchmarks();
  GuiShutdown();
  benchmark::Shutdown();
  return 0;
}
