// The search and load-film commands on the real main window, against three local web servers
// standing for the IMDb host, the Culturalia web host and the bare Culturalia domain: the URL each
// request goes out with, the film page copy, the automatic load of the first hit, clicks on hits
// and favourites, the option gadgets, the busy window's messages while each page loads, and what
// a search shows when the servers are down.
#include <gtest/gtest.h>

#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "services/text/cp1252_literal.h"
#include "services/text/qt_text.h"
#include "services/text/text.h"
#include "services/webview/webview.h"
#include "sources/hosts.h"
#include "sources/sources.h"
#include "tests/support/app_fixture.h"
#include "tests/support/dialogs.h"
#include "tests/support/test_server.h"

namespace fs = std::filesystem;
using testsupport::TestServer;
using Targets = std::vector<std::string>;

namespace {

std::string ReadFileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string DataFile(const std::string& relative) {
  const fs::path file = fs::path(TEST_DATA_DIR) / relative;
  const std::string bytes = ReadFileBytes(file);
  EXPECT_FALSE(bytes.empty()) << "missing test page " << file;
  return bytes;
}

std::string CoverJpeg() {
  QImage image(240, 330, QImage::Format_RGB32);
  image.fill(QColor(40, 70, 120));
  QPainter painter(&image);
  painter.fillRect(20, 20, 200, 60, QColor(230, 200, 90));
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPG", 90)) << "no JPEG writer in the tests' Qt";
  return bytes.toStdString();
}

// An IMDb search page: the exact match tt42 and three popular titles, the second a video game.
std::string ImdbSearchPage() {
  return "<html><body><p><b>Titles (Exact Matches)</b> (Displaying 1 Result)<table><tr><td>1."
         "</td><td><a href=\"/title/tt42/\" onclick=\"set_args('tt42',1)\">Blade Runner</a> "
         "(1982)</td></tr></table>\n"
         "<p><b>Popular Titles</b> (Displaying 3 Results)<table>\n"
         "<tr><td><a href=\"/title/tt42/\" onclick=\"set_args('tt42', 1)\">Blade Runner</a>"
         "</td></tr>\n"
         "<tr><td><a href=\"/title/tt0126817/\" onclick=\"set_args('tt0126817', 2)\">"
         "Blade Runner (VG)</a></td></tr>\n"
         "<tr><td><a href=\"/title/tt1856101/\" onclick=\"set_args('tt1856101', 3)\">"
         "Blade Runner 2049</a></td></tr>\n</table></body></html>\n";
}

// A loopback port with nobody listening: connections to it are refused at once.
int DeadPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

// What the busy window showed while a server held a request: the servers' handlers name the
// target they are holding, and a timer on the GUI thread, which fires inside the commands' waits,
// writes down the busy window's state for it.
class BusyWatch {
 public:
  struct Sample {
    std::string target;
    bool busyShown = false;
    bool mainEnabled = true;
    Text message;
  };

  BusyWatch() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
    timer_.start(3);
  }

  // Called on a server thread: the request is held for a while, so the GUI thread is surely
  // waiting for it during the looks taken meanwhile.
  void Hold(const std::string& target) {
    {
      std::lock_guard lock(mutex_);
      holding_ = target;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    std::lock_guard lock(mutex_);
    holding_.clear();
  }

  std::vector<Sample> During(const std::string& target) const {
    std::lock_guard lock(mutex_);
    std::vector<Sample> out;
    for (const Sample& s : samples_) {
      if (s.target == target) out.push_back(s);
    }
    return out;
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    samples_.clear();
  }

 private:
  void Look() {
    std::lock_guard lock(mutex_);
    if (holding_.empty()) return;
    Sample s;
    s.target = holding_;
    const QWidget* busy = GuiWindowClient(kBusyWindow);
    s.busyShown = busy != nullptr && busy->isVisible();
    const QWidget* main = GuiWindowClient(kMainWindow);
    s.mainEnabled = main != nullptr && GuiWindowEnabled(kMainWindow);
    s.message = GadgetGetText(kBusyLabel);
    samples_.push_back(s);
  }

  QTimer timer_;
  mutable std::mutex mutex_;
  std::string holding_;
  std::vector<Sample> samples_;
};

// What the film page copy held when each request arrived.
struct Arrival {
  std::string target;
  bool copyExisted = false;
  std::string copy;
};

const Text kSearchingCulturalia = "Buscando Posibles Títulos...\r\n(CULTURALIA)"_t;
const Text kSearchingImdb = "Buscando Posibles Títulos...\r\n(IMDB)"_t;
const Text kLoadingCulturalia = "Cargando Datos de la Pelicula...\r\n(CULTURALIA)";
const Text kLoadingImdb = "Cargando Datos de la Pelicula...\r\n(IMDB)";

class SearchCommands : public AppFixture {
 protected:
  SearchCommands() : builtProHost_(sourceHosts().imdbPro) {
    // The start page is asked for during start-up, so the hosts are set before it.
    PointHostsAt(imdb_.Host(), web_.Host(), domain_.Host());
    for (TestServer* s : {&imdb_, &web_, &domain_}) s->ClearRequests();
  }

  // The professional host is only a marker in IMDb film pages (it leads to the plot summary),
  // never asked: it keeps the name the test pages use.
  void PointHostsAt(const std::string& imdb, const std::string& web, const std::string& domain) {
    testsupport::PointSourceHostsAt(imdb);
    sourceHosts().imdbPro = builtProHost_;
    sourceHosts().culturalia = web;
    sourceHosts().culturaliaDomain = domain;
  }
  ~SearchCommands() override { testsupport::RestoreSourceHosts(); }

  void SetUp() override {
    AppFixture::SetUp();
    dir_ = app().dir();
    WaitUntilIdle();
    startPage_ = domain_.Targets();
    for (TestServer* s : {&imdb_, &web_, &domain_}) s->ClearRequests();

    elSur_ = DataFile("films/culturalia/el_sur.html");
    bladeRunner_ = DataFile("films/imdb/blade_runner.html");
    amelie_ = DataFile("films/imdb/amelie.html");
    Serve(domain_, "/bus/resu.php", DataFile("search/culturalia_alien.html"));
    Serve(web_, "/art/ver.php", elSur_);
    Serve(web_, "/imatges/articulos/el_sur.jpg", CoverJpeg(), "image/jpeg");
    Serve(imdb_, "/find", ImdbSearchPage());
    Serve(imdb_, "/title/tt42", bladeRunner_);
    Serve(imdb_, "/title/tt1856101", amelie_);
    Serve(imdb_, "/title/tt77", amelie_);
    Serve(imdb_, "/title/tt0083658/plotsummary", DataFile("films/imdb/blade_runner.plot.html"));
  }

  // Every path is answered by the given bytes, held a while so the busy window can be looked at.
  void Serve(TestServer& server, const std::string& path, std::string body,
             std::string type = "text/html; charset=windows-1252") {
    server.Handle(path, [this, body = std::move(body), type = std::move(type)](
                            const httplib::Request& req, httplib::Response& res) {
      NoteArrival(req.target);
      watch_.Hold(req.target);
      res.status = 200;
      res.set_content(body, type);
    });
  }

  void NoteArrival(const std::string& target) {
    Arrival a;
    a.target = target;
    const fs::path copy = dir_ / kFilmPageCopy;
    a.copyExisted = fs::exists(copy);
    if (a.copyExisted) a.copy = ReadFileBytes(copy);
    std::lock_guard lock(arrivalsMutex_);
    arrivals_.push_back(a);
  }

  std::vector<Arrival> ArrivalsOf(const std::string& target) {
    std::lock_guard lock(arrivalsMutex_);
    std::vector<Arrival> out;
    for (const Arrival& a : arrivals_) {
      if (a.target == target) out.push_back(a);
    }
    return out;
  }

  void WaitUntilIdle() {
    while (WebViewBusy(kWebView) == 1) QTest::qWait(5);
    app().DiscardQueued();
  }

  void Search(const QString& text, bool byButton) {
    app().TypeInto(kSearchField, text);
    if (byButton) {
      app().Click(kSearchButton);
    } else {
      app().PressKey(kSearchField, Qt::Key_Return);
    }
    app().RunQueued();
  }

  void Choose(int option) {
    app().Click(option);
    app().RunQueued();
  }

  Text builtProHost_;

  static int RowWithId(int list, const Text& id) {
    for (int i = 0; i < ListCount(list); ++i) {
      if (ListCellText(list, i, 1) == id) return i;
    }
    return -1;
  }

  void ClickRow(int list, int row) {
    app().ClickRow(list, row);
    app().RunQueued();
  }

  static std::vector<std::string> TitlesColumn(int column) {
    std::vector<std::string> out;
    for (int i = 0; i < ListCount(kTitlesList); ++i) out.push_back(ListCellText(kTitlesList, i, column));
    return out;
  }

  // Every look taken while the server held the target shows the busy window over a locked
  // main window, with the given message.
  void ExpectBusyDuring(const std::string& target, const Text& message) {
    const auto samples = watch_.During(target);
    ASSERT_FALSE(samples.empty()) << "the busy window was never looked at during " << target;
    for (const auto& s : samples) {
      EXPECT_TRUE(s.busyShown) << target;
      EXPECT_FALSE(s.mainEnabled) << target;
      EXPECT_EQ(s.message, message) << target;
    }
  }

  void ExpectIdleWindows() {
    EXPECT_FALSE(app().Window(kBusyWindow) && app().Window(kBusyWindow)->isVisible());
    EXPECT_TRUE(GuiWindowEnabled(kMainWindow));
    EXPECT_TRUE(app().Widget(kTitlesList)->isEnabled());
  }

  void ExpectSearchFieldReady() {
    auto* field = qobject_cast<QLineEdit*>(app().Widget(kSearchField));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(GadgetHasFocus(kSearchField));
    EXPECT_EQ(field->selectedText(), field->text());
  }

  BusyWatch watch_;
  fs::path dir_;
  Targets startPage_;
  std::string elSur_, bladeRunner_, amelie_;
  std::mutex arrivalsMutex_;
  std::vector<Arrival> arrivals_;
  // The servers live for the whole run: the fetcher keeps its connections open, and a server
  // that stops waits out their keep-alive time. Each test routes them anew in SetUp, before
  // any request of its own.
  struct Servers {
    // Idle connections stay open as long as a browsing session's would: no lookup of a test
    // waits long enough for the server to close one.
    TestServer imdb{std::chrono::seconds(30)}, web{std::chrono::seconds(30)},
        domain{std::chrono::seconds(30)};
  };
  static Servers& Shared() {
    static Servers servers;
    return servers;
  }
  TestServer& imdb_ = Shared().imdb;
  TestServer& web_ = Shared().web;
  TestServer& domain_ = Shared().domain;
};

}  // namespace

TEST_F(SearchCommands, StartPageIsTheBareCulturaliaDomain) {
  EXPECT_EQ(startPage_, (Targets{"/"}));
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_EQ(GadgetGetState(kCulturaliaOption), 1);
}

TEST_F(SearchCommands, CulturaliaSearchByEnterLoadsTheFirstHitAtOnce) {
  Search("  Alien ", false);

  // The trimmed text on the bare domain, the film and its cover on the web host, nothing on IMDb.
  EXPECT_EQ(domain_.Targets(), (Targets{"/bus/resu.php?texto=Alien&donde=1"}));
  EXPECT_EQ(web_.Targets(), (Targets{"/art/ver.php?art=1234", "/imatges/articulos/el_sur.jpg"}));
  EXPECT_TRUE(imdb_.Targets().empty());
  ASSERT_EQ(domain_.Requests().size(), 1u);
  EXPECT_EQ(domain_.Requests()[0].Header("Host"), domain_.Host());
  EXPECT_EQ(web_.Requests()[0].Header("Host"), web_.Host());

  // The hits, the first selected and loaded with no further action.
  EXPECT_EQ(TitlesColumn(0), (std::vector<std::string>{"Alien, el octavo pasajero",
                                                       "Aliens: el regreso", "Alien\xb3",
                                                       "Alien, el octavo pasajero", "Alie"}));
  EXPECT_EQ(TitlesColumn(1),
            (std::vector<std::string>{"1234", "5678", "7", "1234", "91"}));
  EXPECT_EQ(TitlesColumn(2), (std::vector<std::string>{"C", "C", "C", "C", "C"}));
  EXPECT_EQ(GadgetGetState(kTitlesList), 0);
  EXPECT_EQ(program.pickList, kTitlesList);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_EQ(GadgetGetState(kCulturaliaOption), 1);
  EXPECT_EQ(GadgetGetText(kTitleField), "El sur");
  EXPECT_EQ(GadgetGetText(kNationalityField), "España"_t);

  // The film page copy holds the page that was loaded, and was written before the card asked
  // for the cover.
  const auto cover = ArrivalsOf("/imatges/articulos/el_sur.jpg");
  ASSERT_EQ(cover.size(), 1u);
  EXPECT_TRUE(cover[0].copyExisted);
  EXPECT_EQ(cover[0].copy, elSur_);
  EXPECT_EQ(app().ReadFile(kFilmPageCopy), elSur_);

  ExpectBusyDuring("/bus/resu.php?texto=Alien&donde=1", kSearchingCulturalia);
  ExpectBusyDuring("/art/ver.php?art=1234", kLoadingCulturalia);
  ExpectBusyDuring("/imatges/articulos/el_sur.jpg", kLoadingCulturalia);
  ExpectIdleWindows();
  ExpectSearchFieldReady();
  app().SaveShot("search_culturalia.png");
}

TEST_F(SearchCommands, ImdbSearchByButtonKeepsTheInnerBlank) {
  Choose(kImdbOption);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  Search("  Blade Runner  ", true);

  // The fetcher sends the inner blank as %20; the rest of the address goes as built.
  EXPECT_EQ(imdb_.Targets(), (Targets{"/find?q=Blade%20Runner;tt=1", "/title/tt42",
                                      "/title/tt0083658/plotsummary"}));
  EXPECT_TRUE(domain_.Targets().empty());
  EXPECT_TRUE(web_.Targets().empty());

  EXPECT_EQ(TitlesColumn(0),
            (std::vector<std::string>{"Blade Runner", "Blade Runner", "Blade Runner 2049"}));
  EXPECT_EQ(TitlesColumn(1), (std::vector<std::string>{"tt42", "tt42", "tt1856101"}));
  EXPECT_EQ(TitlesColumn(2), (std::vector<std::string>{"I", "I", "I"}));
  EXPECT_EQ(GadgetGetState(kTitlesList), 0);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(GadgetGetState(kImdbOption), 1);
  EXPECT_EQ(GadgetGetState(kCulturaliaOption), 0);
  EXPECT_EQ(GadgetGetText(kTitleField), "Blade Runner (1982)");

  // The copy was written before the plot summary was asked for.
  const auto plot = ArrivalsOf("/title/tt0083658/plotsummary");
  ASSERT_EQ(plot.size(), 1u);
  EXPECT_TRUE(plot[0].copyExisted);
  EXPECT_EQ(plot[0].copy, bladeRunner_);
  // After an IMDb load the copy still holds the film page, not the plot summary.
  EXPECT_EQ(app().ReadFile(kFilmPageCopy), bladeRunner_);

  ExpectBusyDuring("/find?q=Blade%20Runner;tt=1", kSearchingImdb);
  ExpectBusyDuring("/title/tt42", kLoadingImdb);
  ExpectBusyDuring("/title/tt0083658/plotsummary", kLoadingImdb);
  ExpectIdleWindows();
  ExpectSearchFieldReady();
  app().SaveShot("search_imdb.png");
}

TEST_F(SearchCommands, EnterAndTheButtonBothSearchAndOnlyTheSpaceIsTrimmed) {
  Search("Alien", true);
  Search("Alien", false);
  EXPECT_EQ(domain_.Targets(), (Targets{"/bus/resu.php?texto=Alien&donde=1",
                                        "/bus/resu.php?texto=Alien&donde=1"}));
  EXPECT_EQ(web_.CountTargets("/art/ver.php?art=1234"), 2);

  // A pasted text starting with a tab keeps it, as %09 on the wire; blanks around it go.
  domain_.ClearRequests();
  QApplication::clipboard()->setText("  \tAlien \t");
  app().TypeInto(kSearchField, "");
  app().PressKey(kSearchField, Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(GadgetGetText(kSearchField), "  \tAlien \t");
  app().PressKey(kSearchField, Qt::Key_Return);
  app().RunQueued();
  EXPECT_EQ(domain_.Targets(), (Targets{"/bus/resu.php?texto=%09Alien%20%09&donde=1"}));

  // Blanks only: nothing is asked for.
  domain_.ClearRequests();
  web_.ClearRequests();
  Search("   ", false);
  Search("   ", true);
  EXPECT_TRUE(domain_.Targets().empty());
  EXPECT_TRUE(web_.Targets().empty());
}

TEST_F(SearchCommands, AClickedHitIsLoadedFromItsOwnSource) {
  Choose(kImdbOption);
  Search("Blade Runner", false);
  imdb_.ClearRequests();
  watch_.Clear();

  // The user switches to Culturalia, then clicks the third IMDb hit: it is still an IMDb film.
  Choose(kCulturaliaOption);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  ClickRow(kTitlesList, 2);
  EXPECT_EQ(imdb_.Targets(), (Targets{"/title/tt1856101"}));
  EXPECT_TRUE(web_.Targets().empty());
  EXPECT_EQ(GadgetGetState(kTitlesList), 2);
  EXPECT_EQ(program.pickList, kTitlesList);
  EXPECT_EQ(GadgetGetState(kImdbOption), 1);
  EXPECT_EQ(GadgetGetState(kCulturaliaOption), 0);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(GadgetGetText(kTitleField), "Le fabuleux destin d'Amélie Poulain (2001)"_t);
  EXPECT_EQ(app().ReadFile(kFilmPageCopy), amelie_);
  ExpectBusyDuring("/title/tt1856101", kLoadingImdb);
  ExpectIdleWindows();
  ExpectSearchFieldReady();
}

class FavouriteLoads : public SearchCommands {
 protected:
  void Prepare(const fs::path& dir) override {
    std::ofstream out(dir / "favoritos.ini", std::ios::binary);
    out << "Otra pel\xed" "cula#4321#C\r\nBlade Runner#tt42#I\r\nMin\xfa" "sculas#tt77#c\r\n";
  }
};

TEST_F(FavouriteLoads, AFavouriteLoadsFromItsOwnLetterWhicheverOptionIsChecked) {
  ASSERT_EQ(ListCount(kFavouritesList), 3);
  const int culturalia = RowWithId(kFavouritesList, "4321");
  const int imdb = RowWithId(kFavouritesList, "tt42");
  const int small = RowWithId(kFavouritesList, "tt77");
  ASSERT_GE(culturalia, 0);
  ASSERT_GE(imdb, 0);
  ASSERT_GE(small, 0);

  // A search first, so the titles list has a selected hit of its own (film 1234).
  Search("Alien", false);
  ASSERT_EQ(GadgetGetState(kTitlesList), 0);
  web_.ClearRequests();

  // IMDb checked, a Culturalia favourite clicked: the favourite's id, from Culturalia.
  Choose(kImdbOption);
  ClickRow(kFavouritesList, culturalia);
  EXPECT_EQ(web_.Targets(), (Targets{"/art/ver.php?art=4321", "/imatges/articulos/el_sur.jpg"}));
  EXPECT_TRUE(imdb_.Targets().empty());
  EXPECT_EQ(program.pickList, kFavouritesList);
  EXPECT_EQ(GadgetGetState(kCulturaliaOption), 1);
  EXPECT_EQ(GadgetGetState(kImdbOption), 0);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  ExpectBusyDuring("/art/ver.php?art=4321", kLoadingCulturalia);

  // Culturalia checked now, an IMDb favourite clicked: from IMDb.
  web_.ClearRequests();
  ClickRow(kFavouritesList, imdb);
  EXPECT_EQ(imdb_.Targets(), (Targets{"/title/tt42", "/title/tt0083658/plotsummary"}));
  EXPECT_TRUE(web_.Targets().empty());
  EXPECT_EQ(GadgetGetState(kImdbOption), 1);
  EXPECT_EQ(GadgetGetState(kCulturaliaOption), 0);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(program.pickList, kFavouritesList);
  EXPECT_EQ(GadgetGetText(kTitleField), "Blade Runner (1982)");
  ExpectBusyDuring("/title/tt42", kLoadingImdb);

  // A small "c" is not Culturalia's letter: the film comes from IMDb.
  imdb_.ClearRequests();
  Choose(kCulturaliaOption);
  ClickRow(kFavouritesList, small);
  ASSERT_GE(imdb_.Targets().size(), 1u);
  EXPECT_EQ(imdb_.Targets()[0], "/title/tt77");
  EXPECT_TRUE(web_.Targets().empty());
  EXPECT_EQ(GadgetGetState(kImdbOption), 1);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  ExpectBusyDuring("/title/tt77", kLoadingImdb);

  // The hit of the search stays selected in its own list throughout.
  EXPECT_EQ(GadgetGetState(kTitlesList), 0);
  ExpectIdleWindows();
}

TEST_F(SearchCommands, ASearchPageThatDoesNotComeIsToldAndOneWithoutHitsIsNot) {
  Search("Alien", false);
  ASSERT_EQ(ListCount(kTitlesList), 5);
  ASSERT_EQ(GadgetGetText(kTitleField), "El sur");
  web_.ClearRequests();
  watch_.Clear();

  // The search host is down: the page does not come, which is told. The old hits stay, but the
  // first of them is not loaded again.
  sourceHosts().culturaliaDomain = "127.0.0.1:" + std::to_string(DeadPort());
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    Search("Aliens", false);
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].caption, "Error");
  }
  EXPECT_TRUE(web_.Targets().empty());
  EXPECT_TRUE(program.pageText.empty());
  EXPECT_EQ(ListCount(kTitlesList), 5);
  EXPECT_EQ(GadgetGetText(kTitleField), "El sur");
  ExpectIdleWindows();
  ExpectSearchFieldReady();

  // A page without hits empties the list and loads nothing, without a word.
  sourceHosts().culturaliaDomain = domain_.Host();
  domain_.Route("/bus/resu.php?texto=Nada&donde=1", {.body = "<html><body>Nada</body></html>"});
  {
    DialogAnswers none({});
    Search("Nada", true);
    EXPECT_TRUE(none.seen().empty());
  }
  EXPECT_EQ(domain_.CountTargets("texto=Nada"), 1);
  EXPECT_EQ(ListCount(kTitlesList), 0);
  EXPECT_TRUE(web_.Targets().empty());
  ExpectIdleWindows();
}

TEST_F(SearchCommands, WithTheServersDownASearchShowsNoFilm) {
  const std::string dead = "127.0.0.1:" + std::to_string(DeadPort());
  PointHostsAt(dead, dead, dead);
  {
    // One box a search, naming its source.
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk), DialogAnswers::Button(kAnswerOk)});
    Search("Alien", false);
    Choose(kImdbOption);
    Search("Blade Runner", true);
    ASSERT_EQ(answers.seen().size(), 2u);
    EXPECT_TRUE(answers.seen()[0].text.startsWith(
        QString::fromUtf8("No se pudo completar la búsqueda (CULTURALIA).")));
    EXPECT_TRUE(answers.seen()[1].text.startsWith(
        QString::fromUtf8("No se pudo completar la búsqueda (IMDB).")));
  }
  EXPECT_EQ(ListCount(kTitlesList), 0);
  for (int field : {kTitleField, kGenreField, kNationalityField, kDirectorField,
                    kMoralRatingField, kRatingField}) {
    EXPECT_EQ(GadgetGetText(field), "...") << field;
  }
  EXPECT_FALSE(app().Widget(kSaveCoverButton)->isEnabled());
  EXPECT_FALSE(app().FileExists(kFilmPageCopy));
  for (TestServer* s : {&imdb_, &web_, &domain_}) EXPECT_EQ(s->RequestCount(), 0u);
  ExpectIdleWindows();
  ExpectSearchFieldReady();

  // The program is still usable once the servers are back.
  PointHostsAt(imdb_.Host(), web_.Host(), domain_.Host());
  Search("Blade Runner", false);
  EXPECT_EQ(ListCount(kTitlesList), 3);
  EXPECT_EQ(GadgetGetText(kTitleField), "Blade Runner (1982)");
}

TEST_F(SearchCommands, TenLookupsGoOverOneConnectionPerHost) {
  for (int i = 0; i < 5; ++i) {
    Choose(kCulturaliaOption);
    Search("Alien", false);
    Choose(kImdbOption);
    Search("Blade Runner", false);
  }
  // Per lookup: the Culturalia search page on the bare domain, its film page and cover on the
  // web host; the IMDb search page, film page and plot summary on the IMDb host.
  EXPECT_EQ(domain_.RequestCount(), 5u);
  EXPECT_EQ(web_.RequestCount(), 10u);
  EXPECT_EQ(imdb_.RequestCount(), 15u);
  EXPECT_EQ(domain_.ConnectionCount(), 1);
  EXPECT_EQ(web_.ConnectionCount(), 1);
  EXPECT_EQ(imdb_.ConnectionCount(), 1);
}

TEST_F(SearchCommands, TheCopyIsThePageThatWasLoadedWhole) {
  // Each answer is a different page, with a zero byte after the card's markers: the copy is the
  // one load's bytes to the end, while the card reads the text before the zero byte.
  std::atomic<int> served{0};
  web_.Handle("/art/ver.php", [&](const httplib::Request&, httplib::Response& res) {
    std::string page = elSur_ + "<!--";
    page += '\0';
    page += "load " + std::to_string(++served) + "-->";
    res.set_content(page, "text/html; charset=windows-1252");
  });
  Search("Alien", false);
  EXPECT_EQ(served, 1);
  EXPECT_EQ(GadgetGetText(kTitleField), "El sur");
  EXPECT_EQ(app().ReadFile(kFilmPageCopy), elSur_ + std::string("<!--\0load 1-->", 14));

  // A film page that does not come leaves no copy of an older one behind.
  const std::string dead = "127.0.0.1:" + std::to_string(DeadPort());
  sourceHosts().culturalia = dead;
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    ClickRow(kTitlesList, 1);
    EXPECT_EQ(answers.seen().size(), 1u);
  }
  EXPECT_FALSE(app().FileExists(kFilmPageCopy));
  EXPECT_EQ(GadgetGetText(kTitleField), "El sur");
}
