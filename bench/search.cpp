// A whole search with the automatic film load, through the program's own commands, against an
// in-process server of the sample site; the same requests made by a bare Qt Network client in the
// same iterations are the baseline ("vs_plain" is the program's time over theirs). The same
// lookup over a network's distance (BM_LookupOverLatency, through a latency relay) against the
// least any client needs. Then parsing search pages of both recipes at four sizes, against a bare
// scan for the hits' marker.
#include <benchmark/benchmark.h>

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <QByteArray>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "bench/support/latency_relay.h"
#include "services/gui/gui.h"
#include "services/images/images.h"
#include "sources/hosts.h"
#include "sources/sources.h"
#include "tests/support/app_fixture.h"
#include "tests/support/test_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The program on its real main window, and the sample site it asks.
struct World {
  testsupport::TestServer server;
  std::unique_ptr<AppSession> app;
};
World* world = nullptr;

struct SearchCase {
  const char* name;
  unsigned char source;
  const char* title;
};
// An IMDb search costs the search page, the film page and the plot-summary page; a Culturalia
// one the search page, the film page and the cover.
constexpr SearchCase kSearches[] = {
    {"imdb:blade runner", kSourceImdb, "Blade Runner"},
    {"culturalia:blade runner", kSourceCulturalia, "Blade Runner"},
};

void Search(const SearchCase& c) {
  GadgetSetState(c.source == kSourceCulturalia ? kCulturaliaOption : kImdbOption, 1);
  program.currentSource = c.source;
  GadgetSetText(kSearchField, c.title);
  RunSearch();
}

// A plain client: one session for all its requests, as a browser keeps one. It asks for pages
// uncompressed, as the fetcher does, so the server does the same work for both (the test server
// would spend milliseconds compressing each page with brotli for a client that offered it).
class PlainClient {
 public:
  std::int64_t Get(const std::string& url) { return static_cast<std::int64_t>(Body(url).size()); }

  QByteArray Body(const std::string& url) {
    QNetworkRequest request(QUrl::fromEncoded(QByteArray::fromStdString(url)));
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = session_.get(request);
    if (!reply->isFinished()) {
      QEventLoop loop;
      QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
      loop.exec();
    }
    QByteArray body = reply->readAll();
    delete reply;
    return body;
  }

 private:
  QNetworkAccessManager session_;
};

void BM_SearchAndFilmLoad(benchmark::State& state) {
  const SearchCase& c = kSearches[state.range(0)];
  testsupport::TestServer& server = world->server;
  // The requests one search makes, as the program made them.
  server.ClearRequests();
  Search(c);
  const std::vector<std::string> targets = server.Targets();
  if (ListCount(kTitlesList) < 1 || GadgetGetText(kTitleField) == "..." || targets.size() < 3) {
    state.SkipWithError("the search found no film on the sample site");
    return;
  }
  std::vector<std::string> urls;
  urls.reserve(targets.size());
  for (const std::string& t : targets) urls.push_back(server.Url(t));
  PlainClient plain;
  double programTime = 0;
  double plainTime = 0;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    server.ClearRequests();
    const auto t0 = Clock::now();
    Search(c);
    const auto t1 = Clock::now();
    for (const std::string& url : urls) bytes += plain.Get(url);
    const auto t2 = Clock::now();
    state.SetIterationTime(Seconds(t1 - t0));
    programTime += Seconds(t1 - t0);
    plainTime += Seconds(t2 - t1);
    if (server.RequestCount() != 2 * targets.size()) {
      state.SkipWithError("a search made other requests than the first one");
      return;
    }
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["requests"] = static_cast<double>(targets.size());
  state.counters["plain_ms"] = 1000.0 * plainTime / n;
  state.counters["vs_plain"] = programTime / plainTime;
  state.SetLabel(c.name);
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_SearchAndFilmLoad)->DenseRange(0, 1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same search when every answer takes 40 ms to come, as pages from a distant site do: the
// program's own work (the busy window, the card) is then set against a real wait.
void BM_SearchAndFilmLoadDistant(benchmark::State& state) {
  world->server.SetLatency(std::chrono::milliseconds(40));
  BM_SearchAndFilmLoad(state);
  world->server.SetLatency(std::chrono::milliseconds(0));
}
BENCHMARK(BM_SearchAndFilmLoadDistant)->DenseRange(0, 1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A search with its automatic film load over a network's distance: the sample site behind a
// relay that adds 20 ms to every chunk each way and 40 ms to a new connection's first byte. The
// floor, in the same iterations, is what no program can go below: the three pages a lookup
// needs (the search page, the film page, the plot summary or the cover), one after the other,
// over one warm connection through the same relay, and for Culturalia the cover decoded.
//
// Counters: requests (the program's, per lookup, counted at the server), connections (new ones
// through the relay per lookup, the program's and the floor's), floor_ms and vs_floor (the
// program's time over the floor's), and extraK_ms: how much longer than the floor's the program's
// K-th stretch is (0: to the first request's arrival at the server; 1, 2: from one arrival to the
// next; 3: from the last arrival to the end).

// libjpeg's plain decode of a whole picture into RGB rows; the number of bytes decoded.
std::int64_t DecodeJpeg(const QByteArray& bytes) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  std::vector<unsigned char> rows(static_cast<std::size_t>(info.output_width) *
                                  info.output_components * info.output_height);
  while (info.output_scanline < info.output_height) {
    unsigned char* row = rows.data() + static_cast<std::size_t>(info.output_scanline) *
                                           info.output_width * info.output_components;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return static_cast<std::int64_t>(rows.size());
}

void BM_LookupOverLatency(benchmark::State& state) {
  const SearchCase& c = kSearches[state.range(0)];
  testsupport::TestServer& server = world->server;
  benchsupport::LatencyRelay relay(server.Port());
  testsupport::PointSourceHostsAt(relay.Host());
  sourceHosts().imdbPro = "pro.imdb.com";
  struct HostsBack {
    ~HostsBack() {
      world->server.UseForSources();
      sourceHosts().imdbPro = "pro.imdb.com";
    }
  } hostsBack;

  // A first lookup warms the program's connection and tells which pages a lookup needs.
  server.ClearRequests();
  Search(c);
  std::vector<std::string> needed;
  for (const std::string& t : server.Targets()) {
    if (std::find(needed.begin(), needed.end(), t) == needed.end()) needed.push_back(t);
  }
  if (ListCount(kTitlesList) < 1 || GadgetGetText(kTitleField) == "..." || needed.size() != 3) {
    state.SkipWithError("the search found no film on the sample site");
    return;
  }
  std::vector<std::string> urls;
  for (const std::string& t : needed) urls.push_back("http://" + relay.Host() + t);
  PlainClient floor;
  for (const std::string& url : urls) floor.Get(url);  // its warm connection

  double programTime = 0;
  double floorTime = 0;
  std::size_t requests = 0;
  const int connectionsBefore = relay.Connections();
  std::int64_t bytes = 0;
  // Where the program's time over the floor's goes: before the first request reaches the server,
  // between one arrival and the next (the answer's way back, the client's work on it, the next
  // request's way there), and after the last arrival.
  std::vector<double> extra(needed.size() + 1, 0.0);
  auto phases = [](Clock::time_point start, const std::vector<testsupport::RecordedRequest>& got,
                   Clock::time_point end) {
    std::vector<double> out;
    Clock::time_point at = start;
    for (const auto& r : got) {
      out.push_back(Seconds(r.arrived - at));
      at = r.arrived;
    }
    out.push_back(Seconds(end - at));
    return out;
  };
  for (auto _ : state) {
    server.ClearRequests();
    const auto t0 = Clock::now();
    Search(c);
    const auto t1 = Clock::now();
    const auto programRequests = server.Requests();
    requests += programRequests.size();
    server.ClearRequests();
    for (std::size_t i = 0; i < urls.size(); ++i) {
      const QByteArray body = floor.Body(urls[i]);
      const bool cover = c.source == kSourceCulturalia && i + 1 == urls.size();
      bytes += cover ? DecodeJpeg(body) : body.size();
    }
    const auto t2 = Clock::now();
    const auto mine = phases(t0, programRequests, t1);
    const auto theirs = phases(t1, server.Requests(), t2);
    if (mine.size() == extra.size() && theirs.size() == extra.size()) {
      for (std::size_t k = 0; k < extra.size(); ++k) extra[k] += mine[k] - theirs[k];
    }
    state.SetIterationTime(Seconds(t1 - t0));
    programTime += Seconds(t1 - t0);
    floorTime += Seconds(t2 - t1);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["requests"] = static_cast<double>(requests) / n;
  state.counters["connections"] = (relay.Connections() - connectionsBefore) / n;
  state.counters["floor_ms"] = 1000.0 * floorTime / n;
  state.counters["vs_floor"] = programTime / floorTime;
  for (std::size_t k = 0; k < extra.size(); ++k)
    state.counters["extra" + std::to_string(k) + "_ms"] = 1000.0 * extra[k] / n;
  state.SetLabel(c.name);
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_LookupOverLatency)->DenseRange(0, 1)->UseManualTime()->Unit(benchmark::kMillisecond);

// One page through the program's fetch (navigate, wait, read the source) against one plain GET
// of the same page, to show where a search's time goes.
void BM_FetchPage(benchmark::State& state) {
  const std::string url = world->server.Url("/art/ver.php?art=2210");
  PlainClient plain;
  double programTime = 0;
  double plainTime = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    FetchPage(url);
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(plain.Get(url));
    const auto t2 = Clock::now();
    state.SetIterationTime(Seconds(t1 - t0));
    programTime += Seconds(t1 - t0);
    plainTime += Seconds(t2 - t1);
  }
  if (program.pageText.empty()) state.SkipWithError("the film page did not load");
  state.counters["plain_ms"] = 1000.0 * plainTime / static_cast<double>(state.iterations());
  state.counters["vs_plain"] = programTime / plainTime;
}
BENCHMARK(BM_FetchPage)->UseManualTime()->Unit(benchmark::kMillisecond);

// --- Parsing -----------------------------------------------------------------------------------

// An IMDb search page of about `size` bytes: the exact match, then the popular titles spread
// over the whole page between blocks of other markup, so the recipe reads to its end. The count
// is read from the two characters after the heading, a blank and a digit: 9 at most.
Text ImdbPage(std::size_t size) {
  const std::string filler =
      "<tr><td class=\"x\"><a href=\"/name/nm0000000/\">Somebody</a> &nbsp; </td></tr>\n";
  Text page =
      "<html><body><p><b>Titles (Exact Matches)</b> (Displaying 1 Result)<table><tr><td>"
      "<a href=\"/title/tt0083658/\" onclick=\"set_args('tt0083658', 1)\">Blade Runner "
      "(1982)</a></td></tr></table>\n<p><b>Popular Titles</b> (Displaying 9 Results)<table>\n";
  page.reserve(size + 4096);
  constexpr int kPopular = 9;
  for (int k = 1; k <= kPopular; ++k) {
    const std::size_t upTo = size / kPopular * static_cast<std::size_t>(k);
    while (page.size() + filler.size() < upTo) page += filler;
    const std::string id = "tt" + std::to_string(1000000 + k);
    page += "<tr><td><a href=\"/title/" + id + "/\" onclick=\"set_args('" + id + "', " +
            std::to_string(k) + ")\">&#34;Pel\xED" "cula " + std::to_string(k) +
            "&#34; (2001)</a></td></tr>\n";
  }
  return page + "</table></body></html>";
}

// A Culturalia search page of about `size` bytes made of hits only: one link every ~100 bytes.
Text CulturaliaPage(std::size_t size) {
  Text page = "<html><body><table>\n";
  page.reserve(size + 4096);
  for (int k = 1; page.size() < size; ++k) {
    page += "<tr><td><img src='../imatges/peli.gif'> <a href='../art/ver.php?art=" +
            std::to_string(k) + "'>Pel\xED" "cula " + std::to_string(k) + " </a></td></tr>\n";
  }
  return page + "</table></body></html>";
}

void BM_ParseSearchPage(benchmark::State& state, unsigned char source) {
  const auto size = static_cast<std::size_t>(state.range(0));
  program.currentSource = source;
  program.pageText = source == kSourceCulturalia ? CulturaliaPage(size) : ImdbPage(size);
  for (auto _ : state) {
    ParseSearchResults();
    benchmark::DoNotOptimize(ListCount(kTitlesList));
  }
  state.counters["hits"] = static_cast<double>(ListCount(kTitlesList));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(program.pageText.size()));
  state.SetComplexityN(static_cast<std::int64_t>(program.pageText.size()));
  ListClear(kTitlesList);
}
BENCHMARK_CAPTURE(BM_ParseSearchPage, imdb, kSourceImdb)
    ->RangeMultiplier(2)->Range(256 << 10, 2 << 20)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_ParseSearchPage, culturalia, kSourceCulturalia)
    ->RangeMultiplier(2)->Range(256 << 10, 2 << 20)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The least any parser does: one pass over the page for the hits' marker.
void BM_MarkerScanBaseline(benchmark::State& state, unsigned char source) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const Text page = source == kSourceCulturalia ? CulturaliaPage(size) : ImdbPage(size);
  const std::string_view marker = source == kSourceCulturalia ? "href='../art/ver.php?art="
                                                              : "set_args('";
  const std::string_view text(page);
  for (auto _ : state) {
    std::int64_t hits = 0;
    for (std::size_t p = text.find(marker); p != std::string_view::npos;
         p = text.find(marker, p + 1)) {
      ++hits;
    }
    benchmark::DoNotOptimize(hits);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
  state.SetComplexityN(static_cast<std::int64_t>(page.size()));
}
BENCHMARK_CAPTURE(BM_MarkerScanBaseline, imdb, kSourceImdb)
    ->RangeMultiplier(2)->Range(256 << 10, 2 << 20)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_MarkerScanBaseline, culturalia, kSourceCulturalia)
    ->RangeMultiplier(2)->Range(256 << 10, 2 << 20)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  GuiInit();
  RegisterJpegDecoder();
  {
    World w;
    w.server.ServeSite(SAMPLE_SITE_DIR);
    w.server.UseForSources();
    // The sample film pages link the professional site by its real name, as the demo has it.
    sourceHosts().imdbPro = "pro.imdb.com";
    w.app = std::make_unique<AppSession>();
    world = &w;
    benchmark::RunSpecifiedBenchmarks();
    world = nullptr;
    w.app.reset();
    testsupport::RestoreSourceHosts();
  }
  GuiShutdown();
  benchmark::Shutdown();
  return 0;
}
