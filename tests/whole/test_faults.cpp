// The whole program against faults of the network and of the disk: a search or film page that
// does not come (no server, an error status, a server that dies or stalls in the middle), a
// search page without hits, a cover address that answers an HTML error page, a working folder
// that turns read-only before "Salvar" and before a cover download, a favourites file that is a
// folder, and a disk that fills up while saving. In every case the program goes on taking input,
// shows the message it has for that fault if any, the list and the card show nothing of a page
// that did not come, and the last saved favourites stay on disk byte for byte. These tests are
// built with short fetch limits (4 s in all, 1.5 s without a byte; tests/CMakeLists.txt), so a
// stalled server costs seconds.
#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/shell.h"
#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "services/webview/webview.h"
#include "tests/support/app_fixture.h"
#include "tests/support/dialogs.h"
#include "tests/support/save_leftovers.h"
#include "tests/support/test_server.h"
#include "tests/whole/fault_site.h"
#include "tests/whole/whole_run.h"
#include "tests/whole/whole_support.h"

namespace fs = std::filesystem;
using whole::FaultSite;
using whole::SiteFilm;

namespace {

const SiteFilm kFilmA{"101", "Los santos inocentes", "Mario Camus", "Alfredo Landa\nFrancisco Rabal",
                      "a101.jpg"};
const SiteFilm kFilmB{"102", "El verdugo", "Luis Berlanga", "Pepe Isbert\nNino Manfredi", "b102.jpg"};
const SiteFilm kFilmC{"103", "Viridiana", "Luis Bu\xF1uel", "Silvia Pinal", ""};

const std::string kSavedFavourites = "El sur#1234#C\r\nBlade Runner (1982)#tt0083658#I\r\n";
const QString kSaveFailedText = QStringLiteral("No se pudo guardar la lista de favoritos.\n\nfavoritos.ini");
const QString kSearchFailed =
    QString::fromUtf8("No se pudo completar la búsqueda (CULTURALIA).\n\n");
const QString kFilmFailed =
    QString::fromUtf8("No se pudieron cargar los datos de la película (CULTURALIA).\n\n");

// Every test starts with the site's films and covers, and the source hosts pointed at it.
class WholeFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.AddFilm(kFilmA);
    site_.AddFilm(kFilmB);
    site_.AddFilm(kFilmC);
    coverA_ = whole::MakeJpeg(120, 170);
    coverB_ = whole::MakeJpeg(300, 200);
    site_.SetCover(kFilmA.cover, coverA_);
    site_.SetCover(kFilmB.cover, coverB_);
    site_.UseForSources();
  }
  void TearDown() override { testsupport::RestoreSourceHosts(); }

  // A new session in a folder on `disk` (or the usual temporary folder), with favoritos.ini
  // holding the saved favourites.
  static std::unique_ptr<AppSession> Start(const std::string& favourites = kSavedFavourites) {
    return std::make_unique<AppSession>([&favourites](const fs::path& dir) {
      if (!favourites.empty()) whole::WriteFileBytes(dir / "favoritos.ini", favourites);
    });
  }

  FaultSite site_;
  std::string coverA_, coverB_;
};

std::string FieldText(int gadget) { return GadgetGetText(gadget); }

// One Error box with the text was shown, over no busy window, and answered.
void ExpectErrorBox(const DialogAnswers& answers, const QString& text) {
  ASSERT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(answers.seen()[0].caption, QStringLiteral("Error"));
  EXPECT_EQ(answers.seen()[0].text, text);
  EXPECT_EQ(answers.seen()[0].icon, QMessageBox::Critical);
  EXPECT_FALSE(answers.seen()[0].unexpected);
  EXPECT_FALSE(answers.seen()[0].otherWindows.contains(QStringLiteral("Procesando...")));
}

void ExpectSaveFailedBox(const DialogAnswers& answers) { ExpectErrorBox(answers, kSaveFailedText); }

// A port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
  testsupport::RawTestServer gone([](testsupport::RawTestServer::Connection&,
                                     const testsupport::RawTestServer&) {});
  return gone.Port();
}

// --- The network ------------------------------------------------------------------------------

TEST_F(WholeFaults, AServerThatDiesHalfwayThroughAFilmPageLeavesTheShownCardAndTheProgramGoesOn) {
  auto app = Start();
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
  ASSERT_EQ(ListCount(kTitlesList), 3);
  ASSERT_EQ(FieldText(kTitleField), kFilmA.title);

  // The next film page is cut off in the middle and the server goes away.
  site_.SetFault("/art/ver.php", FaultSite::Fault::kDieMidway);
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    whole::ClickHit(*app, 1);
    ExpectErrorBox(answers, kFilmFailed + QString::fromUtf8(
                                              "La conexión con el sitio se cortó antes de terminar."));
  }
  EXPECT_FALSE(site_.Listening());
  EXPECT_TRUE(whole::Idle(*app));
  // Nothing of the half page reaches the card: it still shows the film before.
  EXPECT_EQ(FieldText(kTitleField), kFilmA.title);
  EXPECT_EQ(FieldText(kDirectorField), kFilmA.director);
  EXPECT_EQ(ListCount(kTitlesList), 3);
  // The load brought no page, so no copy is left: not half of this one, not the one before.
  EXPECT_FALSE(fs::exists(app->dir() / "_SELECCIONADA.HTM"));

  // A server that comes back (on another port) is asked as before.
  FaultSite again;
  again.AddFilm(kFilmC);
  again.UseForSources();
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("Viridiana"));
  EXPECT_EQ(FieldText(kTitleField), kFilmC.title);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"), kSavedFavourites);
  EXPECT_EQ(program.favouritesChanged, 0);
}

TEST_F(WholeFaults, AServerThatStallsHalfwayThroughAFilmPageIsLeftAtTheIdleLimit) {
  const std::string page = FaultSite::FilmPage(kFilmC);
  testsupport::RawTestServer stalling([&page](testsupport::RawTestServer::Connection& c,
                                              const testsupport::RawTestServer& server) {
    std::string body;
    if (c.head.find("/bus/resu.php") != std::string::npos) {
      body = "<a href='../art/ver.php?art=103'>Viridiana </a><br>";
      testsupport::RawTestServer::SendAll(
          c.fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n\r\n" + body);
      return;
    }
    // Headers and half the film page, then nothing more until the test ends.
    testsupport::RawTestServer::SendAll(
        c.fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                  std::to_string(page.size()) + "\r\n\r\n" + page.substr(0, page.size() / 2));
    while (server.Pause(50)) {
    }
  });
  testsupport::PointSourceHostsAt(stalling.Host());
  auto app = Start();

  const auto start = std::chrono::steady_clock::now();
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("Viridiana"));
    ExpectErrorBox(answers, kFilmFailed + QString::fromUtf8("El sitio no respondió a tiempo."));
  }
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  RecordProperty("search_and_stalled_load_seconds", std::to_string(seconds));

  EXPECT_TRUE(whole::Idle(*app));
  ASSERT_EQ(ListCount(kTitlesList), 1);
  // The start page, the search, then the film page, given up: the card stays as the start
  // left it.
  std::vector<std::string> requests;
  for (const std::string& head : stalling.Heads()) requests.push_back(head.substr(0, head.find('\r')));
  EXPECT_EQ(requests, (std::vector<std::string>{"GET / HTTP/1.1",
                                                "GET /bus/resu.php?texto=Viridiana&donde=1 HTTP/1.1",
                                                "GET /art/ver.php?art=103 HTTP/1.1"}));
  EXPECT_EQ(FieldText(kTitleField), "...");
  EXPECT_FALSE(fs::exists(app->dir() / "_SELECCIONADA.HTM"));
}

TEST_F(WholeFaults, AFilmPageCutShortOfItsLengthByAClosedConnectionFillsNoCard) {
  const std::string page = FaultSite::FilmPage(kFilmC);
  testsupport::RawTestServer cutting([&page](testsupport::RawTestServer::Connection& c,
                                             const testsupport::RawTestServer&) {
    std::string body = page;
    if (c.head.find("/bus/resu.php") != std::string::npos) {
      body = "<a href='../art/ver.php?art=103'>Viridiana </a><br>";
    } else if (c.head.find("/art/ver.php") != std::string::npos) {
      // The length of the whole page is announced, half of it sent, and the connection closed.
      testsupport::RawTestServer::SendAll(
          c.fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                    std::to_string(page.size()) + "\r\n\r\n" + page.substr(0, page.size() / 2));
      return;
    }
    testsupport::RawTestServer::SendAll(
        c.fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body);
  });
  testsupport::PointSourceHostsAt(cutting.Host());
  auto app = Start();
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("Viridiana"));
    ExpectErrorBox(answers, kFilmFailed + QString::fromUtf8(
                                              "La conexión con el sitio se cortó antes de terminar."));
  }
  EXPECT_TRUE(whole::Idle(*app));
  ASSERT_EQ(ListCount(kTitlesList), 1);
  EXPECT_EQ(FieldText(kTitleField), "...") << "a card was filled from half a page";
  EXPECT_FALSE(fs::exists(app->dir() / "_SELECCIONADA.HTM"));
}

TEST_F(WholeFaults, ACoverAddressAnsweringAnHtmlErrorPageShowsTheCardWithoutAPicture) {
  site_.SetFault("/imatges/", FaultSite::Fault::kHtmlError);
  auto app = Start();
  {
    DialogAnswers none({});  // a cover that does not come is no failed lookup
    whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
    EXPECT_TRUE(none.seen().empty());
  }

  EXPECT_TRUE(whole::Idle(*app));
  EXPECT_EQ(FieldText(kTitleField), kFilmA.title);
  EXPECT_EQ(FieldText(kActorsField), "Alfredo Landa\r\nFrancisco Rabal");
  EXPECT_EQ(site_.RequestCount("/imatges/articulos/a101.jpg"), 1);
  // An error page is no cover: nothing is kept of it, and there is nothing to save.
  EXPECT_FALSE(fs::exists(app->dir() / "portada.jpg"));
  EXPECT_FALSE(app->Widget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(program.cardHasCover, 0);
  EXPECT_EQ(GadgetGetState(kCoverBox), 0);
  const QWidget* box = app->Widget(kCoverBox);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->geometry(), QRect(575, 250, 200, 275));
  app->SaveShot("whole/cover-html-error.png");

  // The next film's cover comes as usual.
  site_.SetFault("/imatges/", FaultSite::Fault::kNone);
  whole::ClickHit(*app, 1);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "portada.jpg"), coverB_);
  EXPECT_NE(GadgetGetState(kCoverBox), 0);
}

// After a search that loaded the first film, one more lookup meets a fault: the box it gives
// (none for what is no failure), and what the titles list and the card show afterwards. The
// server's error page carries a hit's and a title's markers, which must reach neither.
TEST_F(WholeFaults, ALookupWhosePageDoesNotComeIsToldOnceAndChangesNothing) {
  struct Row {
    const char* name;
    const char* path;  // whose answers fail; "" for no server on the port at all
    FaultSite::Fault fault;
    bool clickHit;  // the film page of a click on the second hit, else a new search's page
    QString box;    // the Error box's text, empty for none
    int titles;     // rows of the titles list afterwards
  };
  const Row rows[] = {
      {"no server", "", FaultSite::Fault::kNone, false,
       kSearchFailed + QString::fromUtf8("El sitio no acepta conexiones en este momento."), 3},
      {"500 on the search", "/bus/", FaultSite::Fault::kServerError, false,
       kSearchFailed + QString::fromUtf8("El sitio respondió con el error 500."), 3},
      {"500 on the film page", "/art/", FaultSite::Fault::kServerError, true,
       kFilmFailed + QString::fromUtf8("El sitio respondió con el error 500."), 3},
      {"a search page without hits", "/bus/", FaultSite::Fault::kNoHits, false, "", 0},
      {"a search stalled past the idle limit", "/bus/", FaultSite::Fault::kStall, false,
       kSearchFailed + QString::fromUtf8("El sitio no respondió a tiempo."), 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto app = Start();
    whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
    ASSERT_EQ(FieldText(kTitleField), kFilmA.title);
    const std::string copy = whole::ReadFileBytes(app->dir() / "_SELECCIONADA.HTM");
    ASSERT_EQ(copy, FaultSite::FilmPage(kFilmA));

    if (*row.path == '\0') {
      testsupport::PointSourceHostsAt("127.0.0.1:" + std::to_string(ClosedPort()));
    } else {
      site_.SetFault(row.path, row.fault);
    }
    std::vector<DialogAnswers::Step> steps;
    if (!row.box.isEmpty()) steps.push_back(DialogAnswers::Button(kAnswerOk));
    {
      DialogAnswers answers(steps);
      if (row.clickHit) {
        whole::ClickHit(*app, 1);
      } else {
        whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("otra"));
      }
      if (row.box.isEmpty()) {
        EXPECT_TRUE(answers.seen().empty());
      } else {
        ExpectErrorBox(answers, row.box);
      }
    }
    EXPECT_TRUE(whole::Idle(*app));
    EXPECT_EQ(ListCount(kTitlesList), row.titles);
    if (row.titles > 0) {
      EXPECT_EQ(ListCellText(kTitlesList, 0, 0), kFilmA.title);
    }
    // The card as it was: nothing of the page that did not come, no other film loaded.
    EXPECT_EQ(FieldText(kTitleField), kFilmA.title);
    EXPECT_EQ(FieldText(kDirectorField), kFilmA.director);
    if (row.clickHit) {
      EXPECT_FALSE(fs::exists(app->dir() / "_SELECCIONADA.HTM"));
    } else {
      EXPECT_EQ(whole::ReadFileBytes(app->dir() / "_SELECCIONADA.HTM"), copy);
    }
    site_.SetFault(row.path, FaultSite::Fault::kNone);
    site_.UseForSources();
  }
}

// The desktop ends the program (SIGTERM) while a search waits on a stalled server: the search
// stops at once, no Error box waits for a person, no other page is asked for; the loop then
// hands out the end, and the shutdown runs as between lookups, asking nothing and deleting the
// cover.
TEST_F(WholeFaults, AnEndSignalDuringAStalledLookupEndsTheProgramWithoutABox) {
  auto app = Start();
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
  ASSERT_EQ(whole::ReadFileBytes(app->dir() / "portada.jpg"), coverA_);
  site_.SetFault("/bus/", FaultSite::Fault::kStall);
  SessionWatch(nullptr);  // undone by the shutdown
  QTimer signaller;
  signaller.setInterval(10);
  QObject::connect(&signaller, &QTimer::timeout, [&] {
    if (site_.RequestCount("/bus/") < 2) return;
    signaller.stop();
    kill(getpid(), SIGTERM);
  });
  signaller.start();
  {
    DialogAnswers none({});
    whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("otra"));
    EXPECT_TRUE(none.seen().empty());
  }
  EXPECT_FALSE(signaller.isActive());
  EXPECT_EQ(WebViewResult(kWebView).end, WebViewEnd::kStopped);
  EXPECT_EQ(site_.Requests().size(), 5u);  // the first lookup's four, and the stopped search
  EXPECT_TRUE(whole::Idle(*app));
  // The end comes before anything queued; were it lost, the exit button would end the loop.
  GuiQueueEvent(Event{GadgetActivity, kMainWindow, kExitButton, 0});
  RunEventLoop();
  EXPECT_EQ(program.sessionEnded, 1);
  DialogAnswers none({});
  EXPECT_TRUE(app->ShutDown());
  EXPECT_TRUE(none.seen().empty());
  EXPECT_FALSE(fs::exists(app->dir() / "portada.jpg"));
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"), kSavedFavourites);
}

// --- The disk ---------------------------------------------------------------------------------

TEST_F(WholeFaults, AReadOnlyFolderBeforeSalvarTellsTheUserKeepsTheFlagAndTheOldFile) {
  whole::FaultDisk disk;
  auto app = Start();
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
  whole::Press(*app, kAddFavouriteButton);
  ASSERT_EQ(program.favouritesChanged, 1);
  ASSERT_EQ(ListCount(kFavouritesList), 3);
  if (!disk.SetReadOnly(app->dir(), true)) GTEST_SKIP() << disk.Technique();
  // Only a read-only file system stops the file itself being written: in a folder the user may
  // not write, the list is saved in place (a row of the favourites' file conditions).
  if (!disk.mounted()) GTEST_SKIP() << disk.Technique() << ": the file itself stays writable";
  RecordProperty("technique", disk.Technique());

  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    whole::Press(*app, kSaveFavouritesButton);
    ExpectSaveFailedBox(answers);
  }
  EXPECT_EQ(program.favouritesChanged, 1);
  EXPECT_EQ(ListCount(kFavouritesList), 3);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"), kSavedFavourites);
  EXPECT_EQ(testsupport::SaveLeftovers(app->dir()), std::vector<std::string>{});

  // Writable again, the same list is saved whole.
  ASSERT_TRUE(disk.SetReadOnly(app->dir(), false)) << disk.Technique();
  {
    DialogAnswers none({});
    whole::Press(*app, kSaveFavouritesButton);
    EXPECT_TRUE(none.seen().empty());
  }
  EXPECT_EQ(program.favouritesChanged, 0);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"),
            "Blade Runner (1982)#tt0083658#I\r\nEl sur#1234#C\r\nLos santos inocentes#101#C\r\n");
}

TEST_F(WholeFaults, AReadOnlyFolderBeforeACoverDownloadNeverShowsTheOldCoverAsTheNewFilms) {
  whole::FaultDisk disk;
  auto app = Start();
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
  ASSERT_EQ(whole::ReadFileBytes(app->dir() / "portada.jpg"), coverA_);
  if (!disk.SetReadOnly(app->dir(), true)) GTEST_SKIP() << disk.Technique();
  RecordProperty("technique", disk.Technique());

  whole::ClickHit(*app, 1);
  EXPECT_TRUE(whole::Idle(*app));
  EXPECT_EQ(FieldText(kTitleField), kFilmB.title);
  EXPECT_EQ(FieldText(kDirectorField), kFilmB.director);
  const std::string cover = whole::ReadFileBytes(app->dir() / "portada.jpg");
  const bool saveEnabled = app->Widget(kSaveCoverButton)->isEnabled();
  app->SaveShot("whole/cover-read-only-folder.png");
  // Either the new cover made it (a folder whose files stay writable) or the card shows none;
  // the first film's cover under the second film's card would be saved and printed as its own.
  if (cover == coverB_) {
    EXPECT_TRUE(saveEnabled);
    EXPECT_NE(GadgetGetState(kCoverBox), 0);
  } else {
    EXPECT_FALSE(saveEnabled) << "the save-cover button offers a file that is not this film's cover";
    EXPECT_EQ(GadgetGetState(kCoverBox), 0);
    EXPECT_EQ(program.cardHasCover, 0);
  }

  ASSERT_TRUE(disk.SetReadOnly(app->dir(), false)) << disk.Technique();
  whole::ClickHit(*app, 0);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "portada.jpg"), coverA_);
  EXPECT_TRUE(app->Widget(kSaveCoverButton)->isEnabled());
  app->ShutDown();
  EXPECT_FALSE(fs::exists(app->dir() / "portada.jpg"));
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"), kSavedFavourites);
}

TEST_F(WholeFaults, AFavouritesFileThatIsAFolderAtStartUpIsNeitherReadNorReplaced) {
  auto app = std::make_unique<AppSession>([](const fs::path& dir) {
    fs::create_directory(dir / "favoritos.ini");
    whole::WriteFileBytes(dir / "favoritos.ini" / "dentro.txt", "kept");
  });
  EXPECT_EQ(ListCount(kFavouritesList), 0);
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
  whole::Press(*app, kAddFavouriteButton);
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    whole::Press(*app, kSaveFavouritesButton);
    ExpectSaveFailedBox(answers);
  }
  EXPECT_EQ(program.favouritesChanged, 1);
  EXPECT_EQ(ListCount(kFavouritesList), 1);
  EXPECT_TRUE(fs::is_directory(app->dir() / "favoritos.ini"));
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini" / "dentro.txt"), "kept");
  EXPECT_EQ(testsupport::SaveLeftovers(app->dir()), std::vector<std::string>{});

  // The exit question still comes; a No leaves the folder alone.
  DialogAnswers atExit({DialogAnswers::Button(kAnswerNo)});
  app->ShutDown();
  ASSERT_EQ(atExit.seen().size(), 1u);
  EXPECT_EQ(atExit.seen()[0].caption, QStringLiteral("Cambios en FAVORITOS sin salvar"));
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini" / "dentro.txt"), "kept");
}

TEST_F(WholeFaults, AFavouritesFileReplacedByAFolderBeforeSalvarKeepsTheListForALaterSave) {
  auto app = Start();
  ASSERT_EQ(ListCount(kFavouritesList), 2);
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
  whole::Press(*app, kAddFavouriteButton);
  fs::remove(app->dir() / "favoritos.ini");
  fs::create_directory(app->dir() / "favoritos.ini");
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    whole::Press(*app, kSaveFavouritesButton);
    ExpectSaveFailedBox(answers);
  }
  EXPECT_EQ(program.favouritesChanged, 1);
  EXPECT_EQ(ListCount(kFavouritesList), 3);
  EXPECT_TRUE(fs::is_directory(app->dir() / "favoritos.ini"));
  EXPECT_EQ(testsupport::SaveLeftovers(app->dir()), std::vector<std::string>{});

  // Once the folder is gone, nothing of the list was lost.
  fs::remove(app->dir() / "favoritos.ini");
  whole::Press(*app, kSaveFavouritesButton);
  EXPECT_EQ(program.favouritesChanged, 0);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"),
            "Blade Runner (1982)#tt0083658#I\r\nEl sur#1234#C\r\nLos santos inocentes#101#C\r\n");
}

TEST_F(WholeFaults, ADiskThatFillsUpWhileSavingKeepsTheOldFileWholeAndTheFlag) {
  whole::FaultDisk disk(256 * 1024);
  auto app = Start();
  whole::SearchFor(*app, kCulturaliaOption, QStringLiteral("cine"));
  // Enough favourites that the new file is longer than the old one by far.
  for (int row = 0; row < 3; ++row) {
    app->ClickRow(kTitlesList, row);
    app->RunQueued();
    whole::Press(*app, kAddFavouriteButton);
  }
  ASSERT_EQ(ListCount(kFavouritesList), 5);
  // A file-size limit stops the new file halfway; a full tmpfs stops it at once.
  if (!disk.Fill(kSavedFavourites.size() + 20)) GTEST_SKIP() << disk.Technique();
  RecordProperty("technique", disk.Technique());
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    whole::Press(*app, kSaveFavouritesButton);
    ExpectSaveFailedBox(answers);
  }
  EXPECT_EQ(program.favouritesChanged, 1);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"), kSavedFavourites);
  EXPECT_EQ(testsupport::SaveLeftovers(app->dir()), std::vector<std::string>{});

  // At the exit the question comes, the save fails again and says so; the old file stays, and
  // so does the program, with the list.
  whole::Press(*app, kExitButton);
  {
    DialogAnswers atExit({DialogAnswers::Button(kAnswerYes), DialogAnswers::Button(kAnswerOk)});
    EXPECT_FALSE(app->ShutDown());
    ASSERT_EQ(atExit.seen().size(), 2u);
    EXPECT_EQ(atExit.seen()[1].text, kSaveFailedText);
  }
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"), kSavedFavourites);
  EXPECT_EQ(testsupport::SaveLeftovers(app->dir()), std::vector<std::string>{});
  EXPECT_EQ(ListCount(kFavouritesList), 5);
  EXPECT_EQ(program.favouritesChanged, 1);

  // With room again, the next exit saves the five.
  disk.Unfill();
  whole::Press(*app, kExitButton);
  DialogAnswers atExit({DialogAnswers::Button(kAnswerYes)});
  EXPECT_TRUE(app->ShutDown());
  EXPECT_EQ(atExit.seen().size(), 1u);
  EXPECT_EQ(whole::ReadFileBytes(app->dir() / "favoritos.ini"),
            "Blade Runner (1982)#tt0083658#I\r\nEl sur#1234#C\r\nEl verdugo#102#C\r\n"
            "Los santos inocentes#101#C\r\nViridiana#103#C\r\n");
}

}  // namespace
