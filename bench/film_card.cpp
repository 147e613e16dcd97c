// ExtractFilmCard over film pages of 500 KB, against one plain pass over the same page (a
// search for a marker that is not in it): the extraction costs a few such passes per field.
// The pages are the test pages with 500 KB of ordinary HTML put before their fields, so every
// marker search runs through the whole page.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "sources/film_card.h"

namespace {

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The page with filler before "<body" until it is at least 500 KB long.
std::string Padded(const std::string& page) {
  std::string filler;
  const std::string row =
      "<tr><td class=\"ad\"><a href=\"/news/ni0001/\">Noticias del cine</a> <span>12 "
      "comentarios</span> <img src=\"/img/dot.gif\" width=1 height=1></td></tr>\n";
  while (filler.size() + page.size() < 500 * 1024) filler += row;
  std::string out = page;
  const auto body = out.find("<body");
  out.insert(body == std::string::npos ? 0 : body, "<table>" + filler + "</table>");
  return out;
}

const std::filesystem::path kFilms = std::filesystem::path(TEST_DATA_DIR) / "films";

void BM_OnePassOverPage(benchmark::State& state) {
  const std::string page = Padded(ReadFile(kFilms / "culturalia" / "el_sur.html"));
  for (auto _ : state) benchmark::DoNotOptimize(page.find("<no such marker>"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

void BM_CulturaliaBranch(benchmark::State& state) {
  program.pageText = Padded(ReadFile(kFilms / "culturalia" / "el_sur.html"));
  for (auto _ : state) {
    FilmCard card;
    ExtractCulturaliaFilm(card);
    DecodeFilmCard(card);
    benchmark::DoNotOptimize(card);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * program.pageText.size()));
}

void BM_ImdbFilmPage(benchmark::State& state) {
  const auto dir = std::filesystem::temp_directory_path() / "cinevarta-bench-film";
  std::filesystem::create_directories(dir);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);  // for the cast file
  program.pageText = Padded(ReadFile(kFilms / "imdb" / "blade_runner.html"));
  for (auto _ : state) {
    FilmCard card;
    benchmark::DoNotOptimize(ReadImdbFilmPage(card));
    DecodeFilmCard(card);
    benchmark::DoNotOptimize(card);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * program.pageText.size()));
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(dir);
}

void BM_ImdbPlotSummary(benchmark::State& state) {
  const std::string page = Padded(ReadFile(kFilms / "imdb" / "blade_runner.plot.html"));
  for (auto _ : state) benchmark::DoNotOptimize(ReadImdbPlotSummary(page));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}

// The whole command on a Culturalia page without a cover: extraction, decoding and the eight
// texts set on real card gadgets.
void BM_ExtractFilmCard(benchmark::State& state) {
  static bool window = [] {
    GuiInit();
    WindowOpen(kMainWindow, 0, 0, 800, 600, "bench", kWindowInvisible);
    for (int g : {kTitleField, kGenreField, kNationalityField, kDirectorField, kMoralRatingField,
                  kRatingField})
      GadgetCreateTextField(g, 10, 10, 200, 20, "...", kTextFieldReadOnly);
    GadgetCreateTextField(kActorsField, 10, 40, 200, 100, "...", kTextFieldMultiLine);
    GadgetCreateTextField(kSynopsisText, 10, 150, 300, 100, "...", kTextFieldMultiLine);
    GadgetCreatePicture(kCoverBox, 575, 250, 200, 275, nullptr);
    GadgetCreateButton(kSaveCoverButton, 10, 300, 100, 20, "Guardar la Imagen");
    return true;
  }();
  (void)window;
  std::string page = ReadFile(kFilms / "culturalia" / "sin_portada.html");
  program.currentSource = kSourceCulturalia;
  const std::string padded = Padded(page);
  for (auto _ : state) {
    program.pageText = padded;
    ExtractFilmCard();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * padded.size()));
}

// A hostile page: its synopsis is made of distinct character references, state.range(0) bytes
// of them. Decoding rescans the text once per distinct reference.
void BM_ReferencesInSynopsis(benchmark::State& state) {
  std::string refs;
  for (int code = 1; refs.size() < static_cast<std::size_t>(state.range(0)); ++code)
    refs += "&#" + std::to_string(code) + ";";
  program.pageText = "<b>Sinopsis:</b>" + refs + "<br><br>";
  for (auto _ : state) {
    FilmCard card;
    ExtractCulturaliaFilm(card);
    DecodeFilmCard(card);
    benchmark::DoNotOptimize(card);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * refs.size()));
}

}  // namespace

BENCHMARK(BM_OnePassOverPage);
BENCHMARK(BM_ReferencesInSynopsis)->Arg(5 << 10)->Arg(50 << 10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CulturaliaBranch);
BENCHMARK(BM_ImdbFilmPage);
BENCHMARK(BM_ImdbPlotSummary);
BENCHMARK(BM_ExtractFilmCard);
BENCHMARK_MAIN();
