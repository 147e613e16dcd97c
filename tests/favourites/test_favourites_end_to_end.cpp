// The favourites in the real main window, worked with the mouse as a person works them: hits
// added with "Añadir a Favoritos", one removed, the list saved with "Salvar" and found again,
// sorted, after the program is ended and started again; favourites opened from their own
// source; header clicks; and the unsaved-changes question of "Recargar" and of the end of the
// program, answered in the real message box. Both film sites are served in-process.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "favourites/favourites.h"
#include "services/columnsort/columnsort_qt.h"
#include "services/gui/gui.h"
#include "services/text/qt_text.h"
#include "tests/support/app_fixture.h"
#include "tests/support/dialogs.h"
#include "tests/support/film_site.h"
#include "tests/support/header_probe.h"
#include "tests/support/save_leftovers.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

const QString kQuestionCaption = Q("Cambios en FAVORITOS sin salvar");
const QString kQuestionText = Q("LA LISTA DE FAVORITOS HA CAMBIADO, ¿QUIERES SALVARLA?");

// The favourites as the list shows them: title | letter, top row first (the id is hidden).
QStringList Shown() {
  QStringList rows;
  for (int i = 0; i < ListCount(kFavouritesList); ++i)
    rows << TextToQString(ListCellText(kFavouritesList, i, 0)) + " | " +
                TextToQString(ListCellText(kFavouritesList, i, 2));
  return rows;
}

std::vector<std::string> Ids() {
  std::vector<std::string> ids;
  for (int i = 0; i < ListCount(kFavouritesList); ++i) ids.push_back(ListCellText(kFavouritesList, i, 1));
  return ids;
}

int ArrowOn(int column) { return testsupport::ArrowOn(kFavouritesList, column); }

void ClickHeader(int column) { testsupport::ClickHeader(kFavouritesList, column); }

using testsupport::DarkPixels;

bool Checked(AppSession& app, int option) {
  return static_cast<QAbstractButton*>(app.Widget(option))->isChecked();
}

void ExpectQuestion(const DialogAnswers& answers) {
  ASSERT_EQ(answers.seen().size(), 1u);
  const DialogSeen& box = answers.seen()[0];
  EXPECT_EQ(box.kind, DialogSeen::MessageBox);
  EXPECT_EQ(box.caption, kQuestionCaption);
  EXPECT_EQ(box.text, kQuestionText);
  EXPECT_EQ(box.buttons, (QStringList{Q("Sí"), "No"}));
  EXPECT_FALSE(box.unexpected);
}

// In Windows-1252, as the file holds them.
const std::string kCria = "Cr\xed" "a cuervos";
const std::string kAmelie = "Le fabuleux destin d\x92" "Am\xe9lie Poulain";
const std::string kCarmela = "\xa1" "Ay, Carmela!";

class FavouritesEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { Start(""); }
  void TearDown() override { session_.reset(); }

  // Starts the program in a fresh folder holding favoritos.ini with these bytes (none when
  // empty), then points the sources at the in-process sites.
  void Start(const std::string& favourites, bool fileIsAFolder = false) {
    session_.reset();
    // The web view's first address, at start-up, must go nowhere, so that the sites see only
    // what the test's clicks ask for.
    testsupport::RestoreSourceHosts();
    session_ = std::make_unique<AppSession>([&](const std::filesystem::path& dir) {
      if (fileIsAFolder) std::filesystem::create_directory(dir / kFavouritesFile);
      if (!favourites.empty()) {
        std::ofstream out(dir / kFavouritesFile, std::ios::binary);
        out << favourites;
      }
    });
    site_.server.UseForSources();
    app().Pump();
    site_.server.ClearRequests();
  }

  AppSession& app() { return *session_; }

  void Search(const char* utf8Title) {
    app().TypeInto(kSearchField, Q(utf8Title));
    app().PressKey(kSearchField, Qt::Key_Return);
    ASSERT_GE(app().RunQueued(), 1) << "Enter raised no event";
  }
  void Click(int gadget) {
    app().Click(gadget);
    app().RunQueued();
  }
  void ClickRow(int list, int row) {
    app().ClickRow(list, row);
    app().RunQueued();
  }

  e2e::FilmSite site_;
  std::unique_ptr<AppSession> session_;
};

TEST_F(FavouritesEndToEnd, ListBuiltWithTheButtonsIsSavedAndFoundSortedAfterARestart) {
  EXPECT_TRUE(Shown().isEmpty());
  EXPECT_EQ(ArrowOn(0), 0) << "sorting the empty list at start-up marks nothing";

  // Three Culturalia hits, added in the order third, first, second: each addition sorts.
  Search("Saura");
  ClickRow(kTitlesList, 2);
  Click(kAddFavouriteButton);
  EXPECT_EQ(Shown(), QStringList{Q("¡Ay, Carmela! | C")});
  ClickRow(kTitlesList, 0);
  Click(kAddFavouriteButton);
  ClickRow(kTitlesList, 1);
  Click(kAddFavouriteButton);
  EXPECT_EQ(Shown(), (QStringList{Q("Ana y los lobos | C"), Q("Cría cuervos | C"),
                                       Q("¡Ay, Carmela! | C")}))
      << "by byte value after ASCII capitals are folded: the inverted mark comes last";

  // An IMDb hit: the search loads and selects the first one.
  Click(kImdbOption);
  Search("Amélie");
  Click(kAddFavouriteButton);
  EXPECT_EQ(Shown(),
            (QStringList{Q("Ana y los lobos | C"), Q("Cría cuervos | C"),
                         Q("Le fabuleux destin d’Amélie Poulain | I"), Q("¡Ay, Carmela! | C")}));
  EXPECT_EQ(Ids(), (std::vector<std::string>{"2002", "2001", "tt0211915", "2003"}));
  EXPECT_EQ(program.favouritesChanged, 1);

  // Choosing the one to remove opens it, as any click on the list does; then "Eliminar".
  ClickRow(kFavouritesList, 0);
  Click(kRemoveFavouriteButton);
  EXPECT_EQ(Shown(), (QStringList{Q("Cría cuervos | C"),
                                       Q("Le fabuleux destin d’Amélie Poulain | I"),
                                       Q("¡Ay, Carmela! | C")}));

  // Reversed by a header click, so that the file holds them in the order shown, which is not
  // the order a start gives them.
  ClickHeader(0);
  ASSERT_EQ(Shown(), (QStringList{Q("¡Ay, Carmela! | C"),
                                       Q("Le fabuleux destin d’Amélie Poulain | I"),
                                       Q("Cría cuervos | C")}));
  {
    DialogAnswers none({});
    Click(kSaveFavouritesButton);
    EXPECT_TRUE(none.seen().empty());
  }
  EXPECT_EQ(program.favouritesChanged, 0);
  const std::string saved = app().ReadFile(kFavouritesFile);
  EXPECT_EQ(saved, kCarmela + "#2003#C\r\n" + kAmelie + "#tt0211915#I\r\n" + kCria + "#2001#C\r\n");
  EXPECT_EQ(testsupport::SaveLeftovers(app().dir()), std::vector<std::string>{});

  // The exit button; nothing is unsaved, so nothing is asked.
  Click(kExitButton);
  ASSERT_EQ(program.quitRequested, 1);
  {
    DialogAnswers none({});
    app().ShutDown();
    EXPECT_TRUE(none.seen().empty());
  }

  Start(saved);
  EXPECT_EQ(Shown(), (QStringList{Q("Cría cuervos | C"),
                                       Q("Le fabuleux destin d’Amélie Poulain | I"),
                                       Q("¡Ay, Carmela! | C")}));
  EXPECT_EQ(Ids(), (std::vector<std::string>{"2001", "tt0211915", "2003"}));
  EXPECT_EQ(ArrowOn(0), 1);
  EXPECT_EQ(program.favouritesChanged, 0);
  EXPECT_TRUE(site_.server.Targets().empty()) << "loading the list opens no film";
  app().SaveShot("e2e_favourites_after_restart.png");
}

TEST_F(FavouritesEndToEnd, AFavouriteOpensFromItsOwnSourceWhicheverIsChosen) {
  Start(kCria + "#2001#C\r\n" + kAmelie + "#tt0211915#I\r\n" + "Ana y los lobos#2002#c\r\n");
  ASSERT_EQ(Shown(), (QStringList{Q("Ana y los lobos | c"), Q("Cría cuervos | C"),
                                       Q("Le fabuleux destin d’Amélie Poulain | I")}));

  Click(kImdbOption);
  ASSERT_TRUE(Checked(app(), kImdbOption));
  ClickRow(kFavouritesList, 1);
  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/art/ver.php?art=2001", "/imatges/articulos/cria_cuervos.jpg"}));
  EXPECT_EQ(static_cast<QLineEdit*>(app().Widget(kTitleField))->text(), Q("Cría cuervos"));
  EXPECT_TRUE(Checked(app(), kCulturaliaOption)) << "the option follows the favourite's source";
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_TRUE(app().Widget(kSaveCoverButton)->isEnabled());

  site_.server.ClearRequests();
  ClickRow(kFavouritesList, 2);
  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/title/tt0211915", "/title/tt0211915/plotsummary"}));
  EXPECT_EQ(static_cast<QLineEdit*>(app().Widget(kTitleField))->text(),
            Q("Le fabuleux destin d’Amélie Poulain (2001)"));
  EXPECT_TRUE(Checked(app(), kImdbOption));
  EXPECT_EQ(program.currentSource, kSourceImdb);
  EXPECT_FALSE(app().Widget(kSaveCoverButton)->isEnabled());

  // The letter is compared exactly: a "c" is no Culturalia letter, and the film is asked of IMDb,
  // which has no such title.
  Click(kCulturaliaOption);
  site_.server.ClearRequests();
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerOk)});
    ClickRow(kFavouritesList, 0);
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].text,
              Q("No se pudieron cargar los datos de la película (IMDB).\n\n"
                "El sitio respondió con el error 404."));
  }
  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/title/2002"}));
  EXPECT_TRUE(Checked(app(), kImdbOption));

  EXPECT_EQ(ListCount(kTitlesList), 0) << "opening a favourite leaves the titles list alone";
  EXPECT_EQ(program.favouritesChanged, 0) << "opening is no change";
}

TEST_F(FavouritesEndToEnd, HeaderClicksSortAndReverseWithTheArrowLeftOfTheTitle) {
  Start("Zoo#3#C\r\nalien#tt0078748#I\r\n\xc9l#5#C\r\nBlade Runner#tt0083658#I\r\n");
  const QStringList ascending = {"alien | I", "Blade Runner | I", "Zoo | C", Q("Él | C")};
  ASSERT_EQ(Shown(), ascending);
  ASSERT_EQ(ArrowOn(0), 1);

  // The sort after loading leaves the next click on the column reversing it.
  ClickHeader(0);
  app().RunQueued();
  EXPECT_EQ(Shown(), (QStringList{Q("Él | C"), "Zoo | C", "Blade Runner | I", "alien | I"}));
  EXPECT_EQ(ArrowOn(0), -1);
  app().SaveShot("e2e_favourites_descending.png");

  ClickHeader(0);
  app().RunQueued();
  EXPECT_EQ(Shown(), ascending);
  EXPECT_EQ(ArrowOn(0), 1);

  // The arrow stands at the left end of the header, the title after it.
  QHeaderView* header = app().List(kFavouritesList)->header();
  const QImage seen = header->grab().toImage();
  const int h = header->height();
  EXPECT_GT(DarkPixels(seen, QRect(1, 2, 16, h - 4)), 0) << "no arrow at the left end";
  EXPECT_GT(DarkPixels(seen, QRect(20, 2, 100, h - 4)), 0) << "no title after the arrow";
  EXPECT_EQ(DarkPixels(seen, QRect(header->sectionSize(0) - 18, 2, 16, h - 4)), 0);
  EXPECT_EQ(TextToQString(ListCellText(kFavouritesList, -1, 0)), Q("Películas Favoritas"));

  // "bd": grouped by letter, C before I, and the arrow moves there.
  ClickHeader(2);
  app().RunQueued();
  const QStringList rows = Shown();
  ASSERT_EQ(rows.size(), 4);
  EXPECT_TRUE(rows[0].endsWith("| C") && rows[1].endsWith("| C") && rows[2].endsWith("| I") &&
              rows[3].endsWith("| I"))
      << rows.join(", ").toStdString();
  EXPECT_EQ(ArrowOn(0), 0);
  EXPECT_EQ(ArrowOn(2), 1);
  EXPECT_EQ(TextToQString(ListCellText(kFavouritesList, -1, 0)), Q("Películas Favoritas"));
  EXPECT_EQ(TextToQString(ListCellText(kFavouritesList, -1, 2)), Q("bd"));
  app().SaveShot("e2e_favourites_by_letter.png");

  // Sorting is no change to save, and a header click opens no film.
  EXPECT_EQ(program.favouritesChanged, 0);
  EXPECT_TRUE(site_.server.Targets().empty());
  DialogAnswers none({});
  Click(kExitButton);
  app().ShutDown();
  EXPECT_TRUE(none.seen().empty());
}

TEST_F(FavouritesEndToEnd, RecargarAsksAboutUnsavedChangesAndKeepsOrDropsThem) {
  const std::string file = kCria + "#2001#C\r\n";
  Start(file);
  Search("Saura");
  ClickRow(kTitlesList, 1);
  Click(kAddFavouriteButton);
  ASSERT_EQ(Shown(), (QStringList{Q("Ana y los lobos | C"), Q("Cría cuervos | C")}));

  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
    Click(kReloadFavouritesButton);
    ExpectQuestion(answers);
  }
  EXPECT_EQ(Shown(), QStringList{Q("Cría cuervos | C")}) << "No: the file's list again";
  EXPECT_EQ(app().ReadFile(kFavouritesFile), file);
  EXPECT_EQ(program.favouritesChanged, 0);

  Click(kAddFavouriteButton);  // "Ana y los lobos" is still the selected hit
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerYes)});
    Click(kReloadFavouritesButton);
    ExpectQuestion(answers);
  }
  EXPECT_EQ(app().ReadFile(kFavouritesFile), "Ana y los lobos#2002#C\r\n" + kCria + "#2001#C\r\n");
  EXPECT_EQ(Shown(), (QStringList{Q("Ana y los lobos | C"), Q("Cría cuervos | C")}));
  EXPECT_EQ(program.favouritesChanged, 0);

  // Nothing changed since: "Recargar" asks nothing.
  DialogAnswers none({});
  Click(kReloadFavouritesButton);
  EXPECT_TRUE(none.seen().empty());
}

TEST_F(FavouritesEndToEnd, TheEndOfTheProgramAsksAndSavesOnYes) {
  Start(kCria + "#2001#C\r\n" + "Ana y los lobos#2002#C\r\n");
  ClickRow(kFavouritesList, 0);
  Click(kRemoveFavouriteButton);
  ASSERT_EQ(Shown(), QStringList{Q("Cría cuervos | C")});
  Click(kExitButton);
  ASSERT_EQ(program.quitRequested, 1);
  DialogAnswers answers({DialogAnswers::Button(kAnswerYes)});
  app().ShutDown();
  ExpectQuestion(answers);
  EXPECT_EQ(app().ReadFile(kFavouritesFile), kCria + "#2001#C\r\n");
}

TEST_F(FavouritesEndToEnd, ClosingTheWindowAsksAndKeepsTheFileOnNo) {
  const std::string file = kCria + "#2001#C\r\n";
  Start(file);
  // "Eliminar" with no favourite chosen removes nothing, yet counts as a change.
  ASSERT_EQ(GadgetGetState(kFavouritesList), -1);
  Click(kRemoveFavouriteButton);
  EXPECT_EQ(Shown(), QStringList{Q("Cría cuervos | C")});
  // The window's close box, as the window manager sends it.
  app().Window(kMainWindow)->window()->close();
  app().RunQueued();
  ASSERT_EQ(program.quitRequested, 1);
  DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
  app().ShutDown();
  ExpectQuestion(answers);
  EXPECT_EQ(app().ReadFile(kFavouritesFile), file);
}

// A Yes at the end whose save cannot be done is told, and the program stays open with the list;
// the close box then asks again, and a No ends it.
TEST_F(FavouritesEndToEnd, AYesAtTheEndWhoseSaveFailsIsToldAndTheProgramStays) {
  Start("", true);  // a folder stands where the file should be written
  Search("Saura");
  Click(kAddFavouriteButton);
  ASSERT_EQ(Shown(), QStringList{Q("Cría cuervos | C")});
  app().Window(kMainWindow)->window()->close();
  app().RunQueued();
  ASSERT_EQ(program.quitRequested, 1);
  {
    DialogAnswers answers({DialogAnswers::Button(kAnswerYes), DialogAnswers::Button(kAnswerOk)});
    EXPECT_FALSE(app().ShutDown());
    ASSERT_EQ(answers.seen().size(), 2u);
    EXPECT_EQ(answers.seen()[0].caption, kQuestionCaption);
    EXPECT_EQ(answers.seen()[1].caption, "Error");
    EXPECT_EQ(answers.seen()[1].text, Q("No se pudo guardar la lista de favoritos.\n\nfavoritos.ini"));
    EXPECT_EQ(answers.seen()[1].buttons, QStringList{"Aceptar"});
  }
  EXPECT_TRUE(app().Window(kMainWindow)->isVisible());
  EXPECT_EQ(Shown(), QStringList{Q("Cría cuervos | C")});
  EXPECT_EQ(program.favouritesChanged, 1);

  app().Window(kMainWindow)->window()->close();
  app().RunQueued();
  ASSERT_EQ(program.quitRequested, 1);
  DialogAnswers answers({DialogAnswers::Button(kAnswerNo)});
  EXPECT_TRUE(app().ShutDown());
  ExpectQuestion(answers);
  EXPECT_TRUE(std::filesystem::is_directory(app().dir() / kFavouritesFile));
}

}  // namespace
