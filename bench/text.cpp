// The text and file layers at the sizes the program meets, each beside its plain baseline in the
// same run: TextFind and ExtractBetween over a 1 MB page whose marker sits at the end against
// std::string_view::find; DecodeEntities on a 64 KB field with 1,000 distinct references and on
// 16 MB hostile fields; and FileReadLine over a 50 MB file of short lines against std::getline.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "program/variables.h"
#include "services/files/files.h"
#include "services/text/text.h"
#include "sources/extract.h"

namespace {

constexpr std::string_view kStart = "<span itemprop=\"director\">";
constexpr std::string_view kEnd = "</span>";

// A 1 MB page of table markup (full of '<' and 's', so a search cannot skip far) with the
// director's marker only at its very end.
const Text& Page() {
  static const Text page = [] {
    Text t;
    const std::string row = "<tr><td class=\"s\"><span>Sin datos</span></td></tr>\n";
    while (t.size() < (1u << 20)) t += row;
    t += kStart;
    t += "Víctor Erice"_t;
    t += kEnd;
    return t;
  }();
  return page;
}

void BM_TextFind(benchmark::State& state) {
  const Text& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(TextFind(page, kStart, 1));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_TextFind);

void BM_StringViewFind(benchmark::State& state) {
  const std::string_view page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(page.find(kStart));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_StringViewFind);

void BM_ExtractBetween(benchmark::State& state) {
  program.pageText = Page();
  for (auto _ : state) benchmark::DoNotOptimize(ExtractBetween(kStart, kEnd));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Page().size()));
  program.pageText.clear();
}
BENCHMARK(BM_ExtractBetween);

void BM_ExtractBetweenBaseline(benchmark::State& state) {
  const std::string_view page = Page();
  for (auto _ : state) {
    Text field;
    const auto p = page.find(kStart);
    if (p != std::string_view::npos) {
      const auto s = p + kStart.size();
      const auto e = page.find(kEnd, s);
      if (e != std::string_view::npos) field = Text(page.substr(s, e - s));
    }
    benchmark::DoNotOptimize(field);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_ExtractBetweenBaseline);

// A 64 KB synopsis with 1,000 distinct references spread through it.
Text Synopsis() {
  Text t;
  const std::string words = "la historia de una familia en el norte, ";
  for (int i = 0; i < 1000; ++i) {
    t += words;
    t += "&#" + TextOfNumber(65 + i % 26 + (i / 26) * 256) + ";";
    if (i % 50 == 0) t += "%20";
  }
  while (t.size() < (64u << 10)) t += words;
  return t;
}

void BM_DecodeEntities(benchmark::State& state) {
  const Text field = Synopsis();
  for (auto _ : state) benchmark::DoNotOptimize(DecodeEntities(field));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(field.size()));
}
BENCHMARK(BM_DecodeEntities)->Unit(benchmark::kMillisecond);

// Hostile fields of 16 MB, the most a page can hold, each built to cost a pass of the rule per
// few bytes: a chain of nested references ("&#38;#38;...#65;" gives "&", then "&#38;" again, one
// level per pass); distinct references, one pass each; stray "&#" pairs that all end with the same
// reference ("&#a&#5;", "&#b&#5;", ...), which a decoder indexing fields by their last reference
// must tell apart; and distinct references followed by "&#;" spam, copied through once decoding
// stops at the first of them.
constexpr std::size_t kHostileBytes = std::size_t{16} << 20;

Text HostileChain() {
  Text t = "&#38;";
  while (t.size() < kHostileBytes) t += "#38;";
  return t + "#65;";
}

Text HostileDistinct() {
  Text t;
  for (int i = 0; t.size() < kHostileBytes; ++i)
    t += "&#" + TextOfNumber(65 + i % 26 + (i / 26) * 256) + ";";
  return t;
}

Text HostileStrayPairs() {
  Text t;
  for (int i = 0; t.size() < kHostileBytes; ++i) t += "&#" + TextOfNumber(i) + "x&#5;";
  return t;
}

Text HostileEmptySpam() {
  Text t;
  for (int i = 0; t.size() < kHostileBytes / 2; ++i)
    t += "&#" + TextOfNumber(65 + i % 26 + (i / 26) * 256) + ";";
  while (t.size() < kHostileBytes) t += "&#;";
  return t;
}

template <Text (*Make)()>
void BM_DecodeEntitiesHostile(benchmark::State& state) {
  const Text field = Make();
  for (auto _ : state) benchmark::DoNotOptimize(DecodeEntities(field));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(field.size()));
}
BENCHMARK_TEMPLATE(BM_DecodeEntitiesHostile, HostileChain)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_DecodeEntitiesHostile, HostileDistinct)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_DecodeEntitiesHostile, HostileStrayPairs)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_DecodeEntitiesHostile, HostileEmptySpam)->Unit(benchmark::kMillisecond);

// One plain pass over the same field, for scale: the cost of reading it once.
void BM_DecodeEntitiesOnePassBaseline(benchmark::State& state) {
  const Text field = Synopsis();
  for (auto _ : state) benchmark::DoNotOptimize(TextReplace(field, "%20", " "));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(field.size()));
}
BENCHMARK(BM_DecodeEntitiesOnePassBaseline)->Unit(benchmark::kMillisecond);

std::filesystem::path LinesPath() {
  return std::filesystem::temp_directory_path() /
         ("cinevarta-bench-lines-" + std::to_string(::getpid()) + ".txt");
}

// A 50 MB file of short CR LF lines, as favoritos.ini is written, made once per run.
const std::filesystem::path& LinesFile() {
  static const std::filesystem::path file = [] {
    const auto path = LinesPath();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string chunk;
    for (int i = 0; chunk.size() < (1u << 20); ++i)
      chunk += "Blade Runner#tt00" + std::to_string(83658 + i % 1000) + "#I\r\n";
    for (int i = 0; i < 50; ++i) out << chunk;
    return path;
  }();
  return file;
}

void BM_FileReadLine(benchmark::State& state) {
  const Text name = LinesFile().string();
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(LinesFile()));
  for (auto _ : state) {
    FileOpenOrCreate(1, name);
    std::int64_t lines = 0;
    while (FileAtEnd(1) == 0) {
      benchmark::DoNotOptimize(FileReadLine(1));
      ++lines;
    }
    FileClose(1);
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_FileReadLine)->Unit(benchmark::kMillisecond);

void BM_GetlineBaseline(benchmark::State& state) {
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(LinesFile()));
  for (auto _ : state) {
    std::ifstream in(LinesFile(), std::ios::binary);
    std::string line;
    std::int64_t lines = 0;
    while (std::getline(in, line)) {  // splits at LF only and keeps the CR: less work
      benchmark::DoNotOptimize(line);
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_GetlineBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove(LinesPath(), ignored);
  return 0;
}
