// A long run of the whole program in one process: hundreds of searches and film loads against a
// local server, from both sources, with favourites added, removed and saved on the way, all
// made with real clicks and keys. After a warm-up the open file descriptors must not grow at
// all and the resident memory only within a small bound; at the end favoritos.ini holds
// exactly the favourites left in the list.
#include <gtest/gtest.h>

#include <httplib.h>

#include <QTest>

#include <algorithm>
#include <cctype>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "tests/support/app_fixture.h"
#include "tests/support/dialogs.h"
#include "tests/support/test_server.h"
#include "tests/whole/fault_site.h"
#include "tests/whole/whole_run.h"
#include "tests/whole/whole_support.h"

namespace fs = std::filesystem;

namespace {

std::string DataFile(const std::string& name) {
  return whole::ReadFileBytes(fs::path(TEST_DATA_DIR) / "films" / name);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Both sources' pages: a Culturalia search with two films (one with a cover), an IMDb search
// with one exact match, the film pages and the IMDb plot summary. Every target is written to
// `log`, one a line.
void ServeFilms(httplib::Server& server, const std::string& host, const std::string& cover,
                std::FILE* log) {
  const std::string elSur = DataFile("culturalia/el_sur.html");
  const std::string sinPortada = DataFile("culturalia/sin_portada.html");
  const std::string culturaliaSearch =
      "<html><body>\n<a href='../art/ver.php?art=1234'>El sur </a><br>\n"
      "<a href='../art/ver.php?art=1235'>2001: Una odisea del espacio </a><br>\n</body></html>\n";
  const std::string imdbSearch =
      "<html><body><b>Titles (Exact Matches)</b> (Displaying 1 Result)<table><tr>"
      "<td><a href=\"/title/tt0083658/\" onclick=\"set_args('tt0083658',1,1)\">"
      "Blade Runner</a> (1982)</td></tr></table></body></html>\n";
  const std::string bladeRunner = Replaced(DataFile("imdb/blade_runner.html"), "pro.imdb.test", host);
  const std::string plot = DataFile("imdb/blade_runner.plot.html");
  const std::string html = "text/html; charset=windows-1252";
  server.Get(".*", [=](const httplib::Request& request, httplib::Response& response) {
    std::fprintf(log, "%s\n", request.target.c_str());
    std::fflush(log);
    if (request.path == "/bus/resu.php") {
      response.set_content(culturaliaSearch, html);
    } else if (request.path == "/art/ver.php") {
      response.set_content(request.get_param_value("art") == "1234" ? elSur : sinPortada, html);
    } else if (request.path == "/imatges/articulos/el_sur.jpg") {
      response.set_content(cover, "image/jpeg");
    } else if (request.path == "/find") {
      response.set_content(imdbSearch, html);
    } else if (request.path == "/title/tt0083658") {
      response.set_content(bladeRunner, html);
    } else if (request.path == "/title/tt0083658/plotsummary") {
      response.set_content(plot, html);
    } else {
      response.status = 404;
      response.set_content("<html><body>404</body></html>", html);
    }
  });
}

// The server runs in a child process, so that its threads, connections and memory are not
// counted with the program's.
class ChildServer {
 public:
  explicit ChildServer(const std::string& cover) {
    log_ = fs::temp_directory_path() / ("cinevarta-soak-" + std::to_string(::getpid()) + ".log");
    int ports[2];
    if (::pipe(ports) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
      // A test that crashes takes its server along, so nothing keeps ctest's pipes open.
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      ::close(ports[0]);
      std::FILE* log = std::fopen(log_.c_str(), "w");
      httplib::Server server;
      // Set before the socket is made, whose options the connections take: without it a reply's
      // head and body wait for the client's delayed acknowledgement, 40 ms a request.
      server.set_tcp_nodelay(true);
      server.set_keep_alive_max_count(100);
      server.set_keep_alive_timeout(1);
      const int port = server.bind_to_any_port("127.0.0.1");
      ServeFilms(server, "127.0.0.1:" + std::to_string(port), cover, log);
      if (::write(ports[1], &port, sizeof port) != sizeof port) ::_exit(1);
      ::close(ports[1]);
      server.listen_after_bind();
      ::_exit(0);
    }
    ::close(ports[1]);
    if (::read(ports[0], &port_, sizeof port_) != sizeof port_) port_ = 0;
    ::close(ports[0]);
  }
  ~ChildServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove(log_, ignored);
  }
  ChildServer(const ChildServer&) = delete;
  ChildServer& operator=(const ChildServer&) = delete;

  int port() const { return port_; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  int CountTargets(const std::string& part) const {
    std::istringstream lines(whole::ReadFileBytes(log_));
    int count = 0;
    for (std::string line; std::getline(lines, line);) count += line.find(part) != std::string::npos;
    return count;
  }
  int RequestCount() const { return CountTargets("/"); }

 private:
  fs::path log_;
  pid_t pid_ = -1;
  int port_ = 0;
};

struct Favourite {
  std::string title, id, letter;
};

// The list's order: by title, letter case ignored (ASCII titles here).
void SortLikeTheList(std::vector<Favourite>& list) {
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  std::stable_sort(list.begin(), list.end(), [&](const Favourite& a, const Favourite& b) {
    return lower(a.title) < lower(b.title);
  });
}

// Lets the connections of the last requests close: the server ends an idle one after a second
// and the program's network session then drops its side. Only then do two counts compare.
void Settle() { QTest::qWait(1500); }

constexpr int kLookups = 500;  // one search and one or two film loads each
constexpr int kWarmUp = 50;

TEST(WholeSoak, FiveHundredLookupsLeaveNoDescriptorBehindAndMemoryFlat) {
  ChildServer server(whole::MakeJpeg(300, 420));
  ASSERT_NE(server.port(), 0);
  testsupport::PointSourceHostsAt(server.Host());
  AppSession app;
  std::vector<Favourite> expected;
  int saves = 0;
  int imdbFavouritesOpened = 0;

  std::uint64_t residentAtWarmUp = 0;
  int descriptorsAtWarmUp = 0;
  std::string descriptorsListAtWarmUp;
  int peakDescriptors = 0;

  for (int i = 1; i <= kLookups; ++i) {
    if (i % 2 == 1) {
      whole::SearchFor(app, kCulturaliaOption, QStringLiteral("sur"));
      ASSERT_EQ(GadgetGetText(kTitleField), "El sur") << "lookup " << i;
      whole::ClickHit(app, 1);
      ASSERT_EQ(GadgetGetText(kTitleField), "2001: Una odisea del espacio") << "lookup " << i;
    } else {
      whole::SearchFor(app, kImdbOption, QStringLiteral("blade runner"));
      ASSERT_EQ(GadgetGetText(kTitleField), "Blade Runner (1982)") << "lookup " << i;
    }
    if (i % 7 == 0) {
      whole::Press(app, kAddFavouriteButton);
      if (i % 2 == 1) {
        expected.push_back({"2001: Una odisea del espacio", "1235", "C"});
      } else {
        expected.push_back({"Blade Runner", "tt0083658", "I"});
      }
      SortLikeTheList(expected);
    }
    if (i % 11 == 5 && !expected.empty()) {
      // A click on a favourite opens it; "Eliminar" then takes it off the list.
      app.ClickRow(kFavouritesList, 0);
      app.RunQueued();
      whole::Press(app, kRemoveFavouriteButton);
      if (expected.front().letter == "I") ++imdbFavouritesOpened;
      expected.erase(expected.begin());
    }
    if (i % 25 == 0) {
      DialogAnswers none({});
      whole::Press(app, kSaveFavouritesButton);
      ASSERT_TRUE(none.seen().empty()) << "lookup " << i;
      ++saves;
    }
    ASSERT_TRUE(whole::Idle(app)) << "lookup " << i;
    if (i == kWarmUp) {
      Settle();
      residentAtWarmUp = whole::ResidentBytes();
      descriptorsAtWarmUp = whole::OpenDescriptors();
      descriptorsListAtWarmUp = whole::DescriptorList();
    }
    if (i > kWarmUp) peakDescriptors = std::max(peakDescriptors, whole::OpenDescriptors());
    if (i % 50 == 0) {
      std::printf("soak: after %d lookups %.1f MB resident, %d descriptors\n", i,
                  static_cast<double>(whole::ResidentBytes()) / 1048576.0, whole::OpenDescriptors());
    }
  }
  Settle();
  const std::uint64_t residentAtEnd = whole::ResidentBytes();
  const int descriptorsAtEnd = whole::OpenDescriptors();

  const double growth = static_cast<double>(residentAtEnd) / static_cast<double>(residentAtWarmUp) - 1.0;
  std::printf("soak: %d lookups, %d requests, %d saves; resident %.1f MB at %d, %.1f MB at %d "
              "(%+.2f%%); descriptors %d at %d, %d at %d, at most %d between\n",
              kLookups, server.RequestCount(), saves, residentAtWarmUp / 1048576.0, kWarmUp,
              residentAtEnd / 1048576.0, kLookups, growth * 100.0, descriptorsAtWarmUp, kWarmUp,
              descriptorsAtEnd, kLookups, peakDescriptors);
  RecordProperty("resident_bytes_at_warm_up", std::to_string(residentAtWarmUp));
  RecordProperty("resident_bytes_at_end", std::to_string(residentAtEnd));
  RecordProperty("descriptors_at_warm_up", descriptorsAtWarmUp);
  RecordProperty("descriptors_at_end", descriptorsAtEnd);

  EXPECT_EQ(descriptorsAtEnd, descriptorsAtWarmUp)
      << "at " << kWarmUp << ":\n" << descriptorsListAtWarmUp << "at the end:\n" << whole::DescriptorList();
  // Between the looks, the open connections of the moment come on top: a few at most.
  EXPECT_LE(peakDescriptors, descriptorsAtWarmUp + 4) << "descriptors pile up between the two looks";
  // AddressSanitizer keeps freed memory in quarantine for a while, so its figure says little.
  EXPECT_LT(growth, whole::kAddressSanitizer ? 0.5 : 0.05);

  // Every film load asked its pages: the IMDb ones with their plot, the Culturalia cover.
  EXPECT_EQ(server.CountTargets("/bus/resu.php"), kLookups / 2);
  EXPECT_EQ(server.CountTargets("/plotsummary"), kLookups / 2 + imdbFavouritesOpened);
  EXPECT_EQ(server.CountTargets("/imatges/articulos/el_sur.jpg"), kLookups / 2);

  whole::Press(app, kSaveFavouritesButton);
  std::string bytes;
  for (const Favourite& f : expected) bytes += f.title + "#" + f.id + "#" + f.letter + "\r\n";
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ListCount(kFavouritesList), static_cast<int>(expected.size()));
  EXPECT_EQ(whole::ReadFileBytes(app.dir() / "favoritos.ini"), bytes);
  EXPECT_EQ(program.favouritesChanged, 0);
  testsupport::RestoreSourceHosts();
}

}  // namespace
