// The text and file layers at the sizes the program meets, each beside its plain baseline in the
// same run: TextFind and ExtractBetween over a 1 MB page whose marker sits at the end against
// std::string_view::find; DecodeEntities on a 64 KB synopsis and on 16 MB fields of ordinary and
// hostile shapes against one pass over the same field, with the time and the peak heap bytes of
// each call; and FileReadLine over a 50 MB file of short lines against std::getline.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
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

// The bytes the process holds on the heap now, and the most it held since the last ResetPeak:
// every allocation of this single-threaded program goes through the operators at the end of the
// file. A decoder's peak is what it held on top of its input.
std::int64_t liveBytes = 0;
std::int64_t peakBytes = 0;

void ResetPeak() { peakBytes = liveBytes; }

// Runs decode on field once per iteration and reports the time per call and, as counters, the
// field's size and the most bytes the call held at once beyond what was live before it.
template <typename Decode>
void MeasureDecode(benchmark::State& state, const Text& field, Decode decode) {
  std::int64_t peak = 0;
  for (auto _ : state) {
    const std::int64_t before = liveBytes;
    ResetPeak();
    benchmark::DoNotOptimize(decode(field));
    peak = std::max(peak, peakBytes - before);
  }
  const auto size = static_cast<std::int64_t>(field.size());
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["field_bytes"] = static_cast<double>(size);
  state.counters["peak_bytes"] = static_cast<double>(peak);
  state.counters["peak_per_field"] = static_cast<double>(peak) / static_cast<double>(size);
}

// A 64 KB synopsis with 1,000 distinct references spread through it, the real size of a long one.
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

// Fields of 16 MB, the most a page can hold. The first three are ordinary shapes that a few
// passes decode: one reference repeated, four references in turn, and Spanish prose with its
// accents written as references. The others are built to cost the rule a pass per few bytes: a
// chain of nested references ("&#38;#38;...#65;" gives "&", then "&#38;" again, one level per
// pass); distinct references, one pass each; stray "&#" pairs that all end with the same
// reference ("&#0x&#5;", "&#1x&#5;", ...); and distinct references followed by "&#;" spam, kept
// as it is once decoding stops at the first of them.
constexpr std::size_t kFieldBytes = std::size_t{16} << 20;

Text Repeated(std::string_view piece, std::size_t bytes = kFieldBytes) {
  Text t;
  t.reserve(bytes + piece.size());
  while (t.size() < bytes) t += piece;
  return t;
}

Text OneReference() { return Repeated("&#101;"); }

Text FourInTurn() { return Repeated("&#97;&#98;&#99;&#100;"); }

Text Accents() {
  return Repeated("Caf&#233; con leche antes de la sesi&#243;n de tarde: dos pel&#237;culas. ");
}

Text NestedChain() { return "&#38;" + Repeated("#38;", kFieldBytes - 9) + "#65;"; }

Text Distinct() {
  Text t;
  for (int i = 100000; t.size() < kFieldBytes; ++i) t += "&#" + TextOfNumber(i) + ";";
  return t;
}

Text StrayPairs() {
  Text t;
  for (int i = 0; t.size() < kFieldBytes; ++i) t += "&#" + TextOfNumber(i) + "x&#5;";
  return t;
}

Text EmptySpam() {
  Text t;
  for (int i = 100000; t.size() < kFieldBytes / 2; ++i) t += "&#" + TextOfNumber(i) + ";";
  return t + Repeated("&#;", kFieldBytes / 2);
}

template <Text (*Make)()>
void BM_DecodeEntities(benchmark::State& state) {
  MeasureDecode(state, Make(), [](const Text& field) { return DecodeEntities(field); });
}

// The baseline of every shape: one pass over the same field, a copy of it and a search for every
// "&#" in it with std::string_view::find. The rule cannot decode a field in less.
template <Text (*Make)()>
void BM_OnePassBaseline(benchmark::State& state) {
  MeasureDecode(state, Make(), [](const Text& field) {
    Text copy = field;
    std::size_t found = 0;
    for (auto p = std::string_view(copy).find("&#"); p != std::string_view::npos;
         p = std::string_view(copy).find("&#", p + 2))
      ++found;
    benchmark::DoNotOptimize(found);
    return copy;
  });
}

#define DECODE_BENCHMARKS(Make)                                                \
  BENCHMARK_TEMPLATE(BM_DecodeEntities, Make)->Unit(benchmark::kMillisecond); \
  BENCHMARK_TEMPLATE(BM_OnePassBaseline, Make)->Unit(benchmark::kMillisecond)
DECODE_BENCHMARKS(Synopsis);
DECODE_BENCHMARKS(OneReference);
DECODE_BENCHMARKS(FourInTurn);
DECODE_BENCHMARKS(Accents);
DECODE_BENCHMARKS(NestedChain);
DECODE_BENCHMARKS(Distinct);
DECODE_BENCHMARKS(StrayPairs);
DECODE_BENCHMARKS(EmptySpam);

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

// Heap accounting for the counters above: the allocation operators with malloc and free, each
// block counted at the size malloc gave it.
void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  liveBytes += static_cast<std::int64_t>(malloc_usable_size(p));
  peakBytes = std::max(peakBytes, liveBytes);
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  liveBytes -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove(LinesPath(), ignored);
  return 0;
}
