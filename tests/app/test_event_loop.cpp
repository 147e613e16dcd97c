// The event loop on the whole main window: every button, list, option, the Enter key and the
// close box reach their commands, seen by what those commands do (requests to a local web
// server, rows, files, dialogs, print records); the loop's own rules (pickList from every event,
// ignored events, the end after the quitting event); the busy window; and the way out.
#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <httplib.h>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <chrono>
#include <thread>
#include <filesystem>
#include <fstream>
#include <random>

#include <sys/wait.h>
#include <unistd.h>

#include "program/gadgets.h"
#include "program/variables.h"
#include "app/shell.h"
#include "services/gui/gui_qt.h"
#include "services/text/qt_text.h"
#include "sources/hosts.h"
#include "tests/support/app_fixture.h"
#include "tests/support/desktop_recorder.h"
#include "tests/support/dialogs.h"
#include "tests/support/print_recorder.h"
#include "tests/support/test_server.h"

namespace {

constexpr const char* kCulturaliaSearch = "/bus/resu.php?texto=Alien&donde=1";
constexpr const char* kImdbSearch = "/find?q=Alien;tt=1";
constexpr const char* kCulturaliaFilm = "/art/ver.php?art=123";
constexpr const char* kImdbFilm = "/title/tt42";

// A Culturalia search page with one hit, and film pages that give an almost empty card.
constexpr const char* kOneHitPage =
    "<html><body><a href='../art/ver.php?art=123'>Alien </a></body></html>";
constexpr const char* kFilmPage = "<html><body>nada</body></html>";

class EventLoop : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    server_.Route(kCulturaliaSearch, {.body = kOneHitPage});
    server_.Route(kImdbSearch, {.body = "<html>sin resultados</html>"});
    server_.Route("/art/ver.php", {.body = kFilmPage});
    server_.Route("/title/tt42", {.body = kFilmPage});
    server_.Route("/title/tt42/plotsummary", {.body = kFilmPage});
    server_.UseForSources();
    server_.ClearRequests();
  }
  void TearDown() override {
    AppFixture::TearDown();
    testsupport::RestoreSourceHosts();
  }

  // How many requests asked for this target.
  int Asked(const std::string& target) const {
    const auto t = server_.Targets();
    return static_cast<int>(std::count(t.begin(), t.end(), target));
  }
  std::size_t Requests() const { return server_.RequestCount(); }

  // Two titles-list rows, one of each source, without loading either.
  void TwoHits() {
    ListAddRow(kTitlesList, -1, "Alien\n123\nC"_t);
    ListAddRow(kTitlesList, -1, "Brazil\ntt42\nI"_t);
    app().DiscardQueued();
  }

  testsupport::TestServer server_;
};

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

bool IsChecked(int option) { return GadgetGetState(option) == 1; }

using testsupport::DesktopRecorder;

}  // namespace

// --- Searching ----------------------------------------------------------------------------

TEST_F(EventLoop, TheSearchButtonSearchesTheTrimmedTextAndLoadsTheFirstHit) {
  app().TypeInto(kSearchField, "  Alien  ");
  app().Click(kSearchButton);
  app().RunQueued();
  EXPECT_EQ(Asked(kCulturaliaSearch), 1);
  ASSERT_EQ(ListCount(kTitlesList), 1);
  EXPECT_EQ(ListCellText(kTitlesList, 0, 0), "Alien");
  EXPECT_EQ(GadgetGetState(kTitlesList), 0);
  EXPECT_EQ(Asked(kCulturaliaFilm), 1);
  EXPECT_EQ(program.pickList, kTitlesList);
  // Ready for the next title: the focus back in the field, its text selected.
  EXPECT_TRUE(GadgetHasFocus(kSearchField));
  EXPECT_TRUE(GuiWindowEnabled(kMainWindow));
  EXPECT_TRUE(app().Widget(kTitlesList)->isEnabled());
  EXPECT_FALSE(app().Window(kBusyWindow)->isVisible());
}

TEST_F(EventLoop, EnterInTheSearchFieldSearchesTheSourceOfTheOptions) {
  app().Click(kImdbOption);
  app().RunQueued();
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(Requests(), 0u);  // an option only chooses
  app().TypeInto(kSearchField, "Alien");
  app().DiscardQueued();
  app().PressKey(kSearchField, Qt::Key_Return);
  app().RunQueued();
  EXPECT_EQ(Asked(kImdbSearch), 1);
  EXPECT_EQ(ListCount(kTitlesList), 0);  // no hits there: nothing loaded
  EXPECT_EQ(Requests(), 1u);
  // The keypad's Enter too, and back on Culturalia.
  app().Click(kCulturaliaOption);
  app().RunQueued();
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  // The click took the focus to the option: Enter there does nothing...
  app().PressKey(kSearchField, Qt::Key_Enter, Qt::KeypadModifier);
  app().RunQueued();
  EXPECT_EQ(Asked(kCulturaliaSearch), 0);
  // ...and searches once the person clicked back into the field.
  app().Click(kSearchField);
  app().PressKey(kSearchField, Qt::Key_Enter, Qt::KeypadModifier);
  app().RunQueued();
  EXPECT_EQ(Asked(kCulturaliaSearch), 1);
  // The key never reached the field.
  EXPECT_EQ(GadgetGetText(kSearchField), "Alien");
}

TEST_F(EventLoop, ASearchTextOfOnlySpacesSearchesNothing) {
  for (const char* typed : {"   ", ""}) {
    app().TypeInto(kSearchField, typed);
    app().Click(kSearchButton);
    app().PressKey(kSearchField, Qt::Key_Return);
    app().RunQueued();
  }
  EXPECT_EQ(Requests(), 0u);
  EXPECT_FALSE(app().Window(kBusyWindow) != nullptr && app().Window(kBusyWindow)->isVisible());
}

// A person lets go of Return while the search it started runs, so its release comes to a window
// locked for the lookup: the key is up all the same, and the next press searches again.
TEST_F(EventLoop, ReturnLetGoDuringItsLookupSearchesAgainOnTheNextPress) {
  app().TypeInto(kSearchField, "Alien");
  app().DiscardQueued();
  QWindow* main = app().Window(kMainWindow)->windowHandle();
  ulong stamp = 2000000000;  // key times, 40 ms apart
  auto key = [&](QEvent::Type type) {
    using Input = QWindowSystemInterface;
    Input::handleKeyEvent<Input::AsynchronousDelivery>(main, stamp += 40, type, Qt::Key_Return,
                                                       Qt::NoModifier, "\r");
  };
  for (int searches = 1; searches <= 2; ++searches) {
    key(QEvent::KeyPress);
    bool releasedLocked = false;
    QTimer release;
    QObject::connect(&release, &QTimer::timeout, [&] {
      if (releasedLocked || GuiWindowEnabled(kMainWindow)) return;
      releasedLocked = true;
      key(QEvent::KeyRelease);
    });
    release.start(0);
    app().Pump();
    app().RunQueued();
    EXPECT_TRUE(releasedLocked);
    EXPECT_EQ(Asked(kCulturaliaSearch), searches);
  }
}

TEST_F(EventLoop, EnterOnAListOpensTheHighlightedRowWhichTheArrowsOnlyMove) {
  TwoHits();
  ListAddRow(kFavouritesList, -1, "Zoo\ntt42\nI"_t);
  ListAddRow(kFavouritesList, -1, "Alien\n123\nC"_t);
  app().DiscardQueued();
  // Focused, the list marks its current row; Down highlights the next one and loads nothing.
  GadgetFocus(kTitlesList);
  app().PressKey(kTitlesList, Qt::Key_Down);
  app().RunQueued();
  EXPECT_EQ(GadgetGetState(kTitlesList), 1);
  EXPECT_EQ(Requests(), 0u);
  app().PressKey(kTitlesList, Qt::Key_Return);
  app().RunQueued();
  EXPECT_EQ(Asked(kImdbFilm), 1);  // "Brazil", from its own source
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(program.pickList, kTitlesList);
  // The keypad's Enter on the favourites list.
  GadgetFocus(kFavouritesList);
  app().PressKey(kFavouritesList, Qt::Key_Down);
  app().PressKey(kFavouritesList, Qt::Key_Enter, Qt::KeypadModifier);
  app().RunQueued();
  EXPECT_EQ(Asked(kCulturaliaFilm), 1);
  EXPECT_EQ(program.pickList, kFavouritesList);
}

TEST_F(EventLoop, EnterElsewhereDoesNothingButSetsPickList) {
  TwoHits();
  for (int g : {kTitlesList, kSearchButton, kTitleField, kActorsField}) {
    GadgetFocus(g);  // the titles list with no row highlighted
    app().PressKey(g, Qt::Key_Return);
    app().RunQueued();
    EXPECT_EQ(program.pickList, kEnterShortcut) << g;
  }
  EXPECT_EQ(Requests(), 0u);
  EXPECT_EQ(GadgetGetState(kTitlesList), -1);
  EXPECT_EQ(GadgetGetText(kActorsField), "...");  // no new line in the card field either
}

// Return held down on a site that fails every search: the key's repeats, which the window system
// sends to whichever window has the focus (the busy window, the Error box, the main window),
// start nothing, and the box waits for its own answer. Also when the key that closed the box
// never comes up (a release lost on its way, as with a key sent by automation), when the presses
// that follow are not marked as repeats but no release came between them, and when the repeats
// come unmarked as an X server sends them, a release and a press with one time stamp.
TEST_F(EventLoop, ReturnHeldOnAFailingSiteAsksItOnce) {
  server_.Route(kCulturaliaSearch, {.status = 500, .body = "<html>error</html>"});
  enum class Repeats { kMarked, kPressesOnly, kSameTime };
  struct Row {
    const char* name;
    bool keyClosesBox;  // the box gets a press of Return, else a click on its button
    Repeats repeats;    // how the presses after the first come
  };
  const Row rows[] = {{"held", false, Repeats::kMarked},
                      {"a press closes the box, its release is lost", true, Repeats::kMarked},
                      {"presses without releases", false, Repeats::kPressesOnly},
                      {"repeats unmarked", false, Repeats::kSameTime}};
  constexpr int kRepeats = 60;
  ulong stamp = 1000000000;  // key times, 40 ms apart
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    server_.ClearRequests();
    app().TypeInto(kSearchField, "Alien");
    app().DiscardQueued();
    QWindow* main = app().Window(kMainWindow)->windowHandle();
    auto key = [](QWindow* to, QEvent::Type type, bool repeat, ulong stamp = 0) {
      using Input = QWindowSystemInterface;
      if (stamp == 0) {
        Input::handleKeyEvent<Input::AsynchronousDelivery>(to, type, Qt::Key_Return,
                                                           Qt::NoModifier, "\r", repeat);
      } else {
        Input::handleKeyEvent<Input::AsynchronousDelivery>(to, stamp, type, Qt::Key_Return,
                                                           Qt::NoModifier, "\r", repeat);
      }
    };
    key(main, QEvent::KeyPress, false, stamp += 40);
    int repeats = 0, boxes = 0, boxTicks = 0;
    QTimer driver;
    driver.setInterval(5);
    QObject::connect(&driver, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box != nullptr && !box->isVisible()) box = nullptr;
      if (box != nullptr && !box->property("seen").toBool()) {
        box->setProperty("seen", true);
        ++boxes;
        boxTicks = 0;
        if (row.keyClosesBox) {
          key(box->windowHandle(), QEvent::KeyPress, false);
          return;
        }
      }
      // The box takes a few of the repeats before the person clicks its button.
      if (box != nullptr && !row.keyClosesBox && ++boxTicks == 5) {
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        return;
      }
      if (repeats == kRepeats) return;
      ++repeats;
      // To the window with the focus, as the window system sends a held key's repeats.
      QWindow* to = box != nullptr ? box->windowHandle() : main;
      if (row.repeats == Repeats::kMarked) {
        key(to, QEvent::KeyRelease, true);
        key(to, QEvent::KeyPress, true);
      } else if (row.repeats == Repeats::kSameTime) {
        key(to, QEvent::KeyRelease, false, stamp += 40);
        key(to, QEvent::KeyPress, false, stamp);
      } else {
        key(main, QEvent::KeyPress, false);  // a box would take a fresh press as its answer
      }
    });
    driver.start();
    while (repeats < kRepeats) {
      app().RunQueued();
      app().Pump();
    }
    app().RunQueued();
    driver.stop();
    app().Pump();
    EXPECT_EQ(Requests(), 1u);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(app().RunQueued(), 0);
    EXPECT_TRUE(GuiWindowEnabled(kMainWindow));
    key(main, QEvent::KeyRelease, false, stamp += 40);  // up at last, where the focus is
    app().Pump();
  }
  // The next press that follows a release searches again.
  app().PressKey(kSearchField, Qt::Key_Return);
  DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
  app().RunQueued();
  EXPECT_EQ(Requests(), 2u);
}

// --- The lists ----------------------------------------------------------------------------

TEST_F(EventLoop, ALeftClickOnATitleLoadsItFromItsOwnSource) {
  TwoHits();
  app().ClickRow(kTitlesList, 1);
  app().RunQueued();
  EXPECT_EQ(Asked(kImdbFilm), 1);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_TRUE(IsChecked(kImdbOption));
  EXPECT_FALSE(IsChecked(kCulturaliaOption));
  EXPECT_EQ(program.pickList, kTitlesList);
  // The busy window came and went; the window is usable again.
  ASSERT_NE(app().Window(kBusyWindow), nullptr);
  EXPECT_FALSE(app().Window(kBusyWindow)->isVisible());
  EXPECT_TRUE(GuiWindowEnabled(kMainWindow));
  EXPECT_TRUE(app().Widget(kTitlesList)->isEnabled());

  app().ClickRow(kTitlesList, 0);
  app().RunQueued();
  EXPECT_EQ(Asked(kCulturaliaFilm), 1);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_TRUE(IsChecked(kCulturaliaOption));
}

TEST_F(EventLoop, RightClicksLoadNothingAndADoubleClickLoadsOnce) {
  TwoHits();
  app().ClickRow(kTitlesList, 0, Qt::RightButton);
  app().RunQueued();
  EXPECT_EQ(Requests(), 0u);
  // The right click selected the row: a right double click loads nothing either.
  app().DoubleClick(kTitlesList, Qt::RightButton,
                    app().RowRect(kTitlesList, 1).center());
  app().RunQueued();
  EXPECT_EQ(Requests(), 0u);

  const QRect row = app().RowRect(kTitlesList, 0);
  app().DoubleClick(kTitlesList, Qt::LeftButton, QPoint(row.left() + 10, row.center().y()));
  app().RunQueued();
  EXPECT_EQ(Asked(kCulturaliaFilm), 1);  // one load: the double-click event itself is ignored
  EXPECT_EQ(Requests(), 1u);
}

TEST_F(EventLoop, AClickOnAnEmptyPartOfAListLoadsNothingAndKeepsTheSource) {
  TwoHits();
  ListAddRow(kFavouritesList, -1, "Brazil\ntt42\nI"_t);
  ListSelectRow(kTitlesList, 0, true);
  ListSelectRow(kFavouritesList, 0, true);
  app().DiscardQueued();
  for (int list : {kTitlesList, kFavouritesList}) {
    // Culturalia chosen: the click below the rows must not switch the next search to IMDb.
    app().Click(list, Qt::LeftButton, QPoint(60, app().List(list)->viewport()->height() - 5));
    app().RunQueued();
    EXPECT_EQ(GadgetGetState(list), -1) << list;
    EXPECT_EQ(program.currentSource, kSourceCulturalia) << list;
    EXPECT_TRUE(IsChecked(kCulturaliaOption)) << list;
  }
  EXPECT_EQ(Requests(), 0u);
  // And with IMDb chosen it stays IMDb.
  app().Click(kImdbOption);
  app().Click(kTitlesList, Qt::LeftButton, QPoint(60, app().List(kTitlesList)->viewport()->height() - 5));
  app().RunQueued();
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(Requests(), 0u);
  // The next search asks the source the options show.
  app().TypeInto(kSearchField, "Alien");
  app().Click(kSearchButton);
  app().RunQueued();
  EXPECT_EQ(Asked(kImdbSearch), 1);
}

TEST_F(EventLoop, AClickOnAFavouriteLoadsIt) {
  ListAddRow(kFavouritesList, -1, "Brazil\ntt42\nI"_t);
  app().DiscardQueued();
  app().ClickRow(kFavouritesList, 0);
  app().RunQueued();
  EXPECT_EQ(Asked(kImdbFilm), 1);
  EXPECT_EQ(program.pickList, kFavouritesList);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  // A right click on it loads nothing.
  app().ClickRow(kFavouritesList, 0, Qt::RightButton);
  app().RunQueued();
  EXPECT_EQ(Requests(), 1u);
}

TEST_F(EventLoop, ClicksDuringALoadAreLostNotCarriedOut) {
  TwoHits();
  // A film page that answers only after the test has clicked around the locked window.
  bool clicked = false;
  server_.Handle("/art/ver.php", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    res.set_content(kFilmPage, "text/html");
  });
  QTimer::singleShot(50, [&] {
    clicked = true;
    app().Click(kExitButton);
    app().Click(kImdbOption);
    app().Click(kSearchButton);
    app().Window(kMainWindow)->close();  // the close box too
  });
  app().ClickRow(kTitlesList, 0);
  app().RunQueued();
  EXPECT_TRUE(clicked);
  EXPECT_EQ(program.quitRequested, 0);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_EQ(Asked(kCulturaliaSearch), 0);
  EXPECT_EQ(EventPoll().kind, kEventNone);
  EXPECT_TRUE(app().Window(kMainWindow)->isVisible());
}

// A person types, clicks "Usar IMDB" and "Buscar" and a screen reader toggles the option and
// sets the search text while a Culturalia cover is held by its server and then refused. The
// person's input goes into the window system's queue, as the display connection puts it, not
// straight to the widgets: none of it is carried out, neither during the wait nor after it.
TEST_F(EventLoop, InputDuringAStalledThenRefusedCoverIsNeverCarriedOut) {
  std::ifstream page(TEST_DATA_DIR "/films/culturalia/el_sur.html", std::ios::binary);
  server_.Route("/art/ver.php", {.body = std::string(std::istreambuf_iterator<char>(page), {})});
  std::atomic<bool> coverAsked{false}, inputGiven{false};
  server_.Handle("/imatges/articulos/el_sur.jpg",
                 [&](const httplib::Request&, httplib::Response& res) {
                   coverAsked = true;
                   for (int i = 0; i < 1000 && !inputGiven; ++i)
                     std::this_thread::sleep_for(std::chrono::milliseconds(5));
                   std::this_thread::sleep_for(std::chrono::milliseconds(200));
                   res.status = 403;
                   res.set_content("<html>prohibido</html>", "text/html");
                 });
  QWindow* main = app().Window(kMainWindow)->windowHandle();
  auto click = [main](int gadget) {
    QWidget* w = GuiGadgetWidget(gadget);
    const QPoint at = w->mapTo(w->window(), w->rect().center());
    const QPoint global = w->mapToGlobal(w->rect().center());
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
          main, at, global, type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
          Qt::LeftButton, type);
    }
  };
  auto key = [main](Qt::Key k, const QString& text) {
    for (auto type : {QEvent::KeyPress, QEvent::KeyRelease})
      QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
          main, type, k, Qt::NoModifier, text);
  };
  QTimer during;
  during.setInterval(5);
  QObject::connect(&during, &QTimer::timeout, [&] {
    if (!coverAsked || inputGiven) return;
    key(Qt::Key_X, "x");
    key(Qt::Key_Return, "\r");
    click(kImdbOption);
    click(kSearchButton);
    QAccessible::queryAccessibleInterface(GuiGadgetWidget(kImdbOption))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    QAccessible::queryAccessibleInterface(GuiGadgetWidget(kSearchField))
        ->setText(QAccessible::Value, "otra");
    inputGiven = true;
  });
  during.start();
  app().TypeInto(kSearchField, "Alien");
  app().DiscardQueued();
  app().PressKey(kSearchField, Qt::Key_Return);
  app().RunQueued();
  during.stop();
  ASSERT_TRUE(inputGiven);
  EXPECT_EQ(server_.CountTargets("el_sur.jpg"), 1);
  EXPECT_TRUE(IsChecked(kCulturaliaOption));
  EXPECT_FALSE(IsChecked(kImdbOption));
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_EQ(GadgetGetText(kSearchField), "Alien");
  app().Pump();
  EXPECT_EQ(EventPoll().kind, kEventNone);
  EXPECT_EQ(Asked(kCulturaliaSearch), 1);
  EXPECT_EQ(Asked(kImdbSearch), 0);
  EXPECT_EQ(program.quitRequested, 0);
}

// --- The favourites buttons ---------------------------------------------------------------

TEST_F(EventLoop, TheFavouritesButtonsReachTheirCommands) {
  TwoHits();
  ListSelectRow(kTitlesList, 1, true);
  app().DiscardQueued();
  app().Click(kAddFavouriteButton);
  app().RunQueued();
  ASSERT_EQ(ListCount(kFavouritesList), 1);
  EXPECT_EQ(ListCellText(kFavouritesList, 0, 0), "Brazil");
  EXPECT_EQ(program.favouritesChanged, 1);

  app().Click(kSaveFavouritesButton);
  app().RunQueued();
  EXPECT_EQ(app().ReadFile("favoritos.ini"), "Brazil#tt42#I\r\n");
  EXPECT_EQ(program.favouritesChanged, 0);

  // Eliminar without a selection removes nothing but counts as a change.
  ListSelectRow(kFavouritesList, 0, false);
  app().Click(kRemoveFavouriteButton);
  app().RunQueued();
  EXPECT_EQ(ListCount(kFavouritesList), 1);
  EXPECT_EQ(program.favouritesChanged, 1);
  ListSelectRow(kFavouritesList, 0, true);
  app().Click(kRemoveFavouriteButton);
  app().RunQueued();
  EXPECT_EQ(ListCount(kFavouritesList), 0);

  // Recargar asks first because of the change; No reloads the file as it is.
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
    app().Click(kReloadFavouritesButton);
    app().RunQueued();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].caption, "Cambios en FAVORITOS sin salvar");
  }
  EXPECT_EQ(ListCount(kFavouritesList), 1);
  EXPECT_EQ(program.favouritesChanged, 0);
  // Unchanged, it reloads without a question.
  app().WriteFile("favoritos.ini", "Alien#123#C\r\nBrazil#tt42#I\r\n");
  {
    DialogAnswers none({});
    app().Click(kReloadFavouritesButton);
    app().RunQueued();
    EXPECT_TRUE(none.seen().empty());
  }
  EXPECT_EQ(ListCount(kFavouritesList), 2);
  EXPECT_EQ(Requests(), 0u);  // no button here loads a film
}

// --- Print, save cover, credit link -------------------------------------------------------

TEST_F(EventLoop, ThePrintButtonPrintsTheCard) {
  using testsupport::DrawRecord;
  testsupport::PrintRecorder recorder(4800);
  GadgetSetText(kTitleField, "Alien"_t);
  app().Click(kPrintButton);
  app().RunQueued();
  const auto& records = recorder.records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front().kind, DrawRecord::kJobStart);
  EXPECT_EQ(records.front().text, "Alien");
  EXPECT_EQ(records.back().kind, DrawRecord::kJobStop);
}

TEST_F(EventLoop, TheSaveCoverButtonAsksForANameOnceEnabled) {
  {
    DialogAnswers none({});
    app().Click(kSaveCoverButton);  // disabled after start-up: no event at all
    EXPECT_EQ(app().RunQueued(), 0);
    EXPECT_TRUE(none.seen().empty());
  }
  GadgetSetEnabled(kSaveCoverButton, true);
  DialogAnswers answers({DialogAnswers::Escape()});
  app().Click(kSaveCoverButton);
  app().RunQueued();
  ASSERT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(answers.seen()[0].kind, DialogSeen::FileDialog);
  EXPECT_EQ(answers.seen()[0].caption, "Elige nombre de archivo a grabar");
  EXPECT_EQ(answers.seen()[0].text, "Portada.jpg");
}

TEST_F(EventLoop, TheCreditLinkOpensTheAuthorsPageWithoutWaiting) {
  DesktopRecorder recorder;
  QDesktopServices::setUrlHandler("http", &recorder, "Open");
  app().Click(kCreditLink);
  app().RunQueued();
  // From the keyboard: Tab reaches it from the exit button, Return and Space open it.
  GadgetFocus(kExitButton);
  app().PressKey(kExitButton, Qt::Key_Tab);
  EXPECT_TRUE(GadgetHasFocus(kCreditLink));
  app().PressKey(kCreditLink, Qt::Key_Return);
  app().PressKey(kCreditLink, Qt::Key_Space);
  app().RunQueued();
  QDesktopServices::unsetUrlHandler("http");
  ASSERT_EQ(recorder.opened.size(), 3);
  EXPECT_EQ(recorder.opened[0], QUrl("http://www.cinevarta.example/"));
  EXPECT_EQ(TextToQString(sourceHosts().authorPage), "http://www.cinevarta.example/");
  EXPECT_EQ(Requests(), 0u);
}

// --- The loop's own rules -----------------------------------------------------------------

TEST_F(EventLoop, PickListComesFromEveryEventAndOtherEventsAreIgnored) {
  TwoHits();
  struct Case {
    Event event;
    std::int64_t pickList;
  };
  const Case cases[] = {
      {{CloseRequest, kBusyWindow, 0, 0}, 0},          // another window's close box
      {{ShortcutPressed, kMainWindow, 112, 0}, 112},   // another shortcut number
      {{GadgetActivity, kMainWindow, kCardFrame, 0}, kCardFrame},  // gadgets not dispatched
      {{GadgetActivity, kMainWindow, kSearchField, 768}, kSearchField},
      {{GadgetActivity, kMainWindow, kCoverBox, 0}, kCoverBox},
      {{GadgetActivity, kMainWindow, kWebView, 0}, kWebView},
      {{GadgetActivity, kMainWindow, kTitlesList, 768}, kTitlesList},   // selection changed
      {{GadgetActivity, kMainWindow, kTitlesList, 2}, kTitlesList},     // double click
      {{GadgetActivity, kMainWindow, kFavouritesList, 1}, kFavouritesList},
      {{GadgetActivity, kMainWindow, 99, 0}, 99},
      {{1234, kMainWindow, 7, 0}, 7},                  // a kind the loop does not know
  };
  ListSelectRow(kTitlesList, 0, true);
  app().DiscardQueued();
  for (const Case& c : cases) {
    GuiQueueEvent(c.event);
    EXPECT_EQ(app().RunQueued(), 1);
    EXPECT_EQ(program.pickList, c.pickList) << c.event.kind << "/" << c.event.number;
    EXPECT_EQ(program.quitRequested, 0);
  }
  EXPECT_EQ(Requests(), 0u);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  // Typing in the search field raises edit notifications, which set pickList and do nothing.
  app().TypeInto(kSearchField, "x");
  app().RunQueued();
  EXPECT_EQ(program.pickList, kSearchField);
  // The options set pickList too.
  app().Click(kImdbOption);
  app().RunQueued();
  EXPECT_EQ(program.pickList, kImdbOption);
  // The close box of window 1 sets it to 0 (the event's number).
  app().Window(kMainWindow)->close();
  app().RunQueued();
  EXPECT_EQ(program.pickList, 0);
  EXPECT_EQ(program.quitRequested, 1);
}

TEST_F(EventLoop, EventsAreHandledInArrivalOrder) {
  app().TypeInto(kSearchField, "Alien");
  app().DiscardQueued();
  app().Click(kCulturaliaOption);
  app().Click(kImdbOption);
  app().Click(kSearchButton);  // on IMDb: the option clicked before it was handled first
  app().Click(kCulturaliaOption);
  // The search shows the busy window, whose flush drops the click queued behind it.
  EXPECT_EQ(app().RunQueued(), 3);
  EXPECT_EQ(Asked(kImdbSearch), 1);
  EXPECT_EQ(Asked(kCulturaliaSearch), 0);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(EventPoll().kind, kEventNone);
}

TEST_F(EventLoop, RunEventLoopWaitsForEventsAndEndsAfterTheQuittingOne) {
  // Events that come later, while the loop waits in Qt's event loop.
  QTimer::singleShot(20, [&] { app().Click(kImdbOption); });
  QTimer::singleShot(40, [&] { app().Click(kExitButton); });
  RunEventLoop();
  EXPECT_EQ(program.quitRequested, 1);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_EQ(program.pickList, kExitButton);
  // What comes after the quitting event stays unhandled.
  program.quitRequested = 0;
  app().Click(kExitButton);
  app().Click(kCulturaliaOption);
  RunEventLoop();
  EXPECT_EQ(program.currentSource, kSourceImdb);
  const Event left = EventPoll();
  EXPECT_EQ(left.kind, GadgetActivity);
  EXPECT_EQ(left.number, kCulturaliaOption);
  // The close box ends it the same way, and leaves the window open for shutdown.
  program.quitRequested = 0;
  QTimer::singleShot(10, [&] { app().Window(kMainWindow)->close(); });
  RunEventLoop();
  EXPECT_EQ(program.quitRequested, 1);
  EXPECT_TRUE(app().Window(kMainWindow)->isVisible());
}

// --- The way out --------------------------------------------------------------------------

TEST_F(EventLoop, TheExitButtonEndsThroughShutdownWithoutAQuestionWhenNothingChanged) {
  app().WriteFile("portada.jpg", "left by an earlier film");
  app().Click(kExitButton);
  app().RunQueued();
  EXPECT_EQ(program.quitRequested, 1);
  DialogAnswers none({});
  app().ShutDown();
  EXPECT_TRUE(none.seen().empty());
  EXPECT_EQ(GuiWindowClient(kMainWindow), nullptr);
  EXPECT_FALSE(app().FileExists("portada.jpg"));
  EXPECT_FALSE(app().FileExists("favoritos.ini"));
}

TEST_F(EventLoop, TheCloseBoxEndsThroughShutdownAskingAboutChangedFavourites) {
  TwoHits();
  ListSelectRow(kTitlesList, 0, true);
  app().Click(kAddFavouriteButton);
  app().RunQueued();
  ASSERT_EQ(program.favouritesChanged, 1);
  EXPECT_FALSE(app().Window(kMainWindow)->close());
  app().RunQueued();
  EXPECT_EQ(program.quitRequested, 1);
  EXPECT_TRUE(app().Window(kMainWindow)->isVisible());  // shutdown closes it
  DialogAnswers answers({DialogAnswers::Button(kAnswerYes)});
  app().ShutDown();
  ASSERT_EQ(answers.seen().size(), 1u);
  EXPECT_EQ(answers.seen()[0].caption, "Cambios en FAVORITOS sin salvar");
  EXPECT_EQ(answers.seen()[0].text, Q("LA LISTA DE FAVORITOS HA CAMBIADO, ¿QUIERES SALVARLA?"));
  EXPECT_EQ(app().ReadFile("favoritos.ini"), "Alien#123#C\r\n");
  EXPECT_EQ(GuiWindowClient(kMainWindow), nullptr);
}

// The desktop ends the program (SessionEnd, from a signal): through the shutdown, asking
// nothing, writing nothing. Before a logout that allows it, the question of the exit is asked.
TEST_F(EventLoop, TheDesktopsEndAsksNothingButALogoutThatMayAskDoes) {
  app().WriteFile("portada.jpg", "cover");
  TwoHits();
  ListSelectRow(kTitlesList, 0, true);
  app().Click(kAddFavouriteButton);
  app().RunQueued();
  {
    DialogAnswers no({DialogAnswers::Button(kAnswerNo)});
    EXPECT_TRUE(SaveBeforeLogout());
    EXPECT_EQ(no.seen().size(), 1u);
    EXPECT_EQ(program.favouritesChanged, 1);
  }
  {
    DialogAnswers yes({DialogAnswers::Button(kAnswerYes)});
    EXPECT_TRUE(SaveBeforeLogout());
    EXPECT_EQ(yes.seen().size(), 1u);
    EXPECT_EQ(program.favouritesChanged, 0);
    EXPECT_EQ(app().ReadFile("favoritos.ini"), "Alien#123#C\r\n");
  }
  // The list emptied: a save now would delete the file.
  ListSelectRow(kFavouritesList, 0, true);
  app().Click(kRemoveFavouriteButton);
  app().RunQueued();
  ASSERT_EQ(ListCount(kFavouritesList), 0);
  ASSERT_EQ(program.favouritesChanged, 1);
  HandleEvent(Event{SessionEnd, 0, 0, 0});
  EXPECT_EQ(program.quitRequested, 1);
  DialogAnswers none({});
  EXPECT_TRUE(app().ShutDown());
  EXPECT_TRUE(none.seen().empty());
  EXPECT_EQ(app().ReadFile("favoritos.ini"), "Alien#123#C\r\n");
  EXPECT_FALSE(app().FileExists("portada.jpg"));
}

TEST_F(EventLoop, AnsweringNoAtShutdownWritesNothing) {
  TwoHits();
  ListSelectRow(kTitlesList, 0, true);
  app().Click(kAddFavouriteButton);
  app().Click(kExitButton);
  app().RunQueued();
  DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
  app().ShutDown();
  EXPECT_EQ(answers.seen().size(), 1u);
  EXPECT_FALSE(app().FileExists("favoritos.ini"));
}

static void OwnHandler(int) {}

// The whole program, start to end, as main runs it: the close box is the only input; or the
// session manager's last word after a logout (a Quit event to the application).
TEST(WholeProgram, RunsFromStartToTheCloseBoxOrTheSessionsEndAndAnswersZero) {
  for (const bool bySession : {false, true}) {
    SCOPED_TRACE(bySession ? "session" : "close box");
    const auto before = std::filesystem::current_path();
    std::random_device random;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("cinevarta-run-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    { std::ofstream(dir / "portada.jpg") << "old"; }
    { std::ofstream(dir / "favoritos.ini") << "Alien#123#C\r\n"; }
    bool sawWindow = false;
    std::vector<bool> sawDispositions;
    QString title;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
      QWidget* main = GuiWindowClient(kMainWindow);
      if (main == nullptr || !main->isVisible()) return;
      sawWindow = true;
      title = main->windowTitle();
      // Whether each of SIGHUP, SIGTERM, SIGINT is as it was at the start, while the program runs.
      auto same = [](int s, void (*before)(int)) {
        struct sigaction now {};
        sigaction(s, nullptr, &now);
        return now.sa_handler == before;
      };
      sawDispositions = {same(SIGHUP, SIG_IGN), same(SIGTERM, OwnHandler), same(SIGINT, SIG_DFL)};
      closer.stop();
      if (bySession) {
        program.favouritesChanged = 1;  // the close box would ask now; the session's end not
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
      } else {
        main->close();
      }
    });
    closer.start();
    DialogAnswers none({});
    // Signals as the person set them: SIGHUP ignored (nohup), SIGTERM with a handler of its own.
    // The program keeps the first ignored, catches the others, and gives each back at the end.
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGTERM, OwnHandler);
    const int code = RunProgram();
    EXPECT_EQ(sawDispositions, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(std::signal(SIGHUP, SIG_DFL), SIG_IGN);
    EXPECT_EQ(std::signal(SIGTERM, SIG_DFL), &OwnHandler);
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(sawWindow);
    EXPECT_EQ(title, "Cinevarta - v0.9.4.b");
    EXPECT_TRUE(none.seen().empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "portada.jpg"));
    EXPECT_TRUE(std::filesystem::exists(dir / "favoritos.ini"));  // loaded, unchanged, kept
    EXPECT_EQ(GuiWindowClient(kMainWindow), nullptr);
    GuiInit();  // the tests' main keeps the layer for the next test
    std::filesystem::current_path(before);
    std::filesystem::remove_all(dir);
  }
}


// The program ended by the desktop: a logout's SIGTERM, a closed terminal's SIGHUP, Ctrl+C's
// SIGINT. The real program runs in a child process; each signal ends it at once through its
// shutdown, which removes the cover and leaves favoritos.ini as it is. Started under nohup
// (SIGHUP ignored), the closed terminal's SIGHUP passes it by, and SIGTERM still ends it.
TEST(WholeProgram, EndedByTheDesktopItShutsDownAndLeavesTheFavouritesFile) {
  const std::string favourites = "Zul\xFA#9#C\r\nAlien#123#C\r\n";  // unsorted, Windows-1252
  struct Row {
    int signal;
    const char* name;
    bool nohup;  // started with SIGHUP ignored; SIGHUP is sent first, then the signal
  };
  for (const Row& row : {Row{SIGTERM, "SIGTERM", false}, Row{SIGHUP, "SIGHUP", false},
                         Row{SIGINT, "SIGINT", false}, Row{SIGTERM, "nohup, SIGTERM", true}}) {
    const int signal = row.signal;
    const char* name = row.name;
    SCOPED_TRACE(name);
    std::random_device random;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("cinevarta-end-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(dir);
    { std::ofstream(dir / "favoritos.ini", std::ios::binary) << favourites; }
    { std::ofstream(dir / "portada.jpg") << "cover"; }
    const pid_t child = fork();
    if (child == 0) {
      if (row.nohup) std::signal(SIGHUP, SIG_IGN);  // as nohup does; exec keeps it
      if (chdir(dir.c_str()) == 0) execl(DEMO_PROGRAM, DEMO_PROGRAM, nullptr);
      _exit(127);
    }
    ASSERT_GT(child, 0);
    // The signals the program catches, or ignores ("SigCgt", "SigIgn").
    auto mask = [child](const std::string& field) {
      std::ifstream status("/proc/" + std::to_string(child) + "/status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
      return 0ull;
    };
    auto bit = [](int s) { return 1ull << (s - 1); };
    // Signalled once it catches them: before that, a signal would just kill it.
    const auto caught = bit(SIGTERM) | bit(SIGINT) | (row.nohup ? 0 : bit(SIGHUP));
    auto catching = [&] { return (mask("SigCgt") & caught) == caught; };
    // The waits are bounded only so that a program that never ends cannot hang the suite.
    for (int i = 0; i < 1000 && !catching(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(catching());
    if (row.nohup) {
      EXPECT_EQ(mask("SigIgn") & bit(SIGHUP), bit(SIGHUP));
      EXPECT_EQ(mask("SigCgt") & bit(SIGHUP), 0u);
      kill(child, SIGHUP);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "SIGHUP ended a program under nohup";
    }
    kill(child, signal);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 1000 && ended == 0; ++i) {
      ended = waitpid(child, &status, WNOHANG);
      if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << "still running 10 s after " << name;
    }
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "portada.jpg"));
    std::ifstream kept(dir / "favoritos.ini", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), favourites);
    std::filesystem::remove_all(dir);
  }
}
