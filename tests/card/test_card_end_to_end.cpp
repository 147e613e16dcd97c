// A search on each source in the real main window, from the typed title and the Enter key to
// the whole card a person reads, against both film sites on an in-process server: the texts in
// their gadgets, the cover in its box, the buttons, the scratch files, and the requests the
// program made, in their order. The window is rendered to PNG after each card.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>

#include <cstdlib>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "card/card.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "services/text/qt_text.h"
#include "sources/film_card.h"
#include "sources/sources.h"
#include "tests/support/app_fixture.h"
#include "tests/support/film_site.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// What the gadget shows on the screen, as the person reads it.
QString Shown(AppSession& app, int gadget) {
  QWidget* w = app.Widget(gadget);
  if (auto* line = qobject_cast<QLineEdit*>(w)) return line->text();
  if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) return edit->toPlainText();
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
  ADD_FAILURE() << "gadget " << gadget << " is no text gadget";
  return {};
}

QStringList TitlesShown() {
  QStringList rows;
  for (int i = 0; i < ListCount(kTitlesList); ++i)
    rows << TextToQString(ListCellText(kTitlesList, i, 0)) + " | " +
                TextToQString(ListCellText(kTitlesList, i, 2));
  return rows;
}

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 30 && std::abs(a.green() - b.green()) < 30 &&
         std::abs(a.blue() - b.blue()) < 30;
}

QRect Geometry(AppSession& app, int gadget) { return app.Widget(gadget)->geometry(); }

const std::string kSeparator(77, '-');

class CardEndToEnd : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    // After start-up: the web view's first address is then the built host, which goes nowhere,
    // so the server sees only what the searches ask for.
    site_.server.UseForSources();
    app().Pump();
    site_.server.ClearRequests();
  }

  // The person's way: the title typed into the search field, Enter pressed there.
  void Search(const char* utf8Title) {
    app().TypeInto(kSearchField, Q(utf8Title));
    app().PressKey(kSearchField, Qt::Key_Return);
    EXPECT_GE(app().RunQueued(), 1) << "Enter raised no event";
  }

  void ChooseSource(int option) {
    app().Click(option);
    app().RunQueued();
  }

  void ExpectIdleWindow() {
    EXPECT_TRUE(GuiWindowEnabled(kMainWindow)) << "the busy window's lock stays";
    QWidget* busy = app().Window(kBusyWindow);
    EXPECT_TRUE(busy == nullptr || !busy->window()->isVisible()) << "the busy window stays up";
  }

  e2e::FilmSite site_;
};

TEST_F(CardEndToEnd, CulturaliaCardWithItsCoverThenAnImdbCardWithItsPlotSummary) {
  // Before the first card the box shows the no-cover picture at its full size.
  {
    auto* box = qobject_cast<QLabel*>(app().Widget(kCoverBox));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->pixmap().isNull());
    EXPECT_EQ(box->pixmap().size(), QSize(200, 275));
    EXPECT_FALSE(app().Widget(kSaveCoverButton)->isEnabled());
  }

  // Culturalia is the source at start-up.
  ASSERT_TRUE(static_cast<QAbstractButton*>(app().Widget(kCulturaliaOption))->isChecked());
  Search("Cría cuervos");

  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/bus/resu.php?texto=Cr%EDa%20cuervos&donde=1",
                                      "/art/ver.php?art=2001",  // read for the card and the copy
                                      "/imatges/articulos/cria_cuervos.jpg"}));
  EXPECT_EQ(TitlesShown(), (QStringList{Q("Cría cuervos | C"), Q("Ana y los lobos | C"),
                                             Q("¡Ay, Carmela! | C")}));
  EXPECT_EQ(GadgetGetState(kTitlesList), 0) << "the first hit is the one loaded";

  EXPECT_EQ(Shown(app(), kTitleField), Q("Cría cuervos"));
  EXPECT_EQ(Shown(app(), kGenreField), Q("Drama"));
  EXPECT_EQ(Shown(app(), kNationalityField), Q("España"));
  EXPECT_EQ(Shown(app(), kDirectorField), Q("Carlos Saura"));
  EXPECT_EQ(Shown(app(), kMoralRatingField), Q(" Adultos"));
  EXPECT_EQ(Shown(app(), kRatingField), Q("9 de 10"));
  EXPECT_EQ(Shown(app(), kActorsField),
            Q("Geraldine Chaplin\nAna Torrent\nConchi Pérez\nMónica Randall"));
  EXPECT_EQ(GadgetGetText(kActorsField),
            "Geraldine Chaplin\r\nAna Torrent\r\nConchi P\xe9rez\r\nM\xf3nica Randall");
  EXPECT_EQ(Shown(app(), kSynopsisText),
            Q(" En el Madrid de 1975, Ana, una niña de ocho años, cree tener el poder de matar "
              "a quien desee – y lo intenta con su padre."));
  EXPECT_EQ(GadgetGetText(kSynopsisText).find('\x96'), 94u) << "the dash is byte 150";

  // The cover: downloaded whole, 300 x 440 scaled by 0.625 to 187.5 x 275, the half pixel going
  // to the even 188; red above, blue below, in the box at its place.
  EXPECT_EQ(app().ReadFile(kCoverFile), site_.criaCover);
  EXPECT_TRUE(app().Widget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(Geometry(app(), kCoverBox), QRect(575, 250, 188, 275));
  const QImage seen = app().Window(kMainWindow)->grab().toImage();
  EXPECT_TRUE(Near(seen.pixelColor(575 + 94, 250 + 60), e2e::kCriaTop));
  EXPECT_TRUE(Near(seen.pixelColor(575 + 94, 250 + 215), e2e::kCriaBottom));
  EXPECT_TRUE(Near(seen.pixelColor(575 + 3, 250 + 3), e2e::kCriaTop)) << "the corner is filled";
  EXPECT_EQ(program.coverImageNumber, 4);
  EXPECT_EQ(app().ReadFile(kFilmPageCopy), site_.Served("culturalia_2001.html"));
  EXPECT_FALSE(app().FileExists(kCastFile)) << "only an IMDb film writes the cast file";

  // Ready for the next title: the search text selected in the focused field.
  EXPECT_TRUE(GadgetHasFocus(kSearchField));
  EXPECT_EQ(static_cast<QLineEdit*>(app().Widget(kSearchField))->selectedText(), Q("Cría cuervos"));
  ExpectIdleWindow();
  app().SaveShot("e2e_culturalia_card.png");

  // IMDb, chosen with its option button.
  ChooseSource(kImdbOption);
  ASSERT_EQ(program.currentSource, kSourceImdb);
  site_.server.ClearRequests();
  Search("Amélie");

  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/find?q=Am%E9lie;tt=1", "/title/tt0211915",
                                      "/title/tt0211915/plotsummary"}));
  EXPECT_EQ(TitlesShown(), (QStringList{Q("Le fabuleux destin d’Amélie Poulain | I"),
                                             Q("\"Amélie\" en el Sena | I")}));

  EXPECT_EQ(Shown(app(), kTitleField), Q("Le fabuleux destin d’Amélie Poulain (2001)"));
  EXPECT_EQ(GadgetGetText(kTitleField).substr(19, 3), "d\x92" "A") << "the quote is byte 146";
  EXPECT_EQ(Shown(app(), kGenreField), Q("Comedy"));
  EXPECT_EQ(Shown(app(), kNationalityField), Q("France"));
  EXPECT_EQ(Shown(app(), kDirectorField), Q("Jean-Pierre Jeunet"));
  EXPECT_EQ(Shown(app(), kMoralRatingField), Q("13"));
  EXPECT_EQ(Shown(app(), kRatingField), Q("8.6 de 10"));
  // Every anchor of the cast table is a line, the character's link too.
  EXPECT_EQ(Shown(app(), kActorsField),
            Q("Audrey Tautou\nAmélie Poulain\nMathieu Kassovitz\nRufus\nYolande Moreau"));

  // The synopsis: each paragraph of the plot-summary page under its writer, between lines of
  // 77 hyphens, a blank line between paragraphs and one line break after the last.
  const std::string crlf = "\r\n";
  const std::string synopsis =
      kSeparator + crlf + "[AUTOR]: Jean-Luc Dupont (jl@example.org)" + crlf + kSeparator + crlf +
      "Am\xe9lie is an innocent and naive girl in Paris, with her own sense of justice." + crlf +
      crlf + kSeparator + crlf + "[AUTOR]: Marie Curie" + crlf + kSeparator + crlf +
      "Am\xe9lie Poulain decides to change the lives of those around her \x96 for the better." +
      crlf;
  EXPECT_EQ(GadgetGetText(kSynopsisText), synopsis);
  const QStringList lines = Shown(app(), kSynopsisText).split('\n');
  ASSERT_EQ(lines.size(), 10);
  EXPECT_EQ(lines[0], QString(77, '-'));
  EXPECT_EQ(lines[1], Q("[AUTOR]: Jean-Luc Dupont (jl@example.org)"));
  EXPECT_EQ(lines[3], Q("Amélie is an innocent and naive girl in Paris, with her own sense of justice."));
  EXPECT_EQ(lines[4], QString());
  EXPECT_EQ(lines[8], Q("Amélie Poulain decides to change the lives of those around her – for the better."));
  EXPECT_EQ(lines[9], QString());

  // No cover for an IMDb film: the box is emptied where the last cover stood, saving is off,
  // and the last cover file is left alone.
  auto* box = qobject_cast<QLabel*>(app().Widget(kCoverBox));
  EXPECT_TRUE(box->pixmap().isNull());
  EXPECT_EQ(Geometry(app(), kCoverBox), QRect(575, 250, 188, 275));
  EXPECT_FALSE(app().Widget(kSaveCoverButton)->isEnabled());
  const QImage after = app().Window(kMainWindow)->grab().toImage();
  EXPECT_FALSE(Near(after.pixelColor(575 + 94, 250 + 60), e2e::kCriaTop));
  EXPECT_FALSE(Near(after.pixelColor(575 + 94, 250 + 215), e2e::kCriaBottom));
  EXPECT_EQ(app().ReadFile(kCoverFile), site_.criaCover);

  const std::string film = site_.Served("imdb_tt0211915.html");
  EXPECT_EQ(app().ReadFile(kFilmPageCopy), film);
  const auto castStart = film.find(">Cast overview") + 14;
  EXPECT_EQ(app().ReadFile(kCastFile),
            film.substr(castStart, film.find("<td colspan", castStart) - castStart) + crlf);
  ExpectIdleWindow();
  app().SaveShot("e2e_imdb_card.png");

  // The end of the program takes the cover file with it.
  app().ShutDown();
  EXPECT_FALSE(app().FileExists(kCoverFile));
}

TEST_F(CardEndToEnd, ClickedHitsLoadEachFilmAndItsCoverOrNone) {
  ChooseSource(kImdbOption);
  Search("Amélie");
  site_.server.ClearRequests();

  // The second hit's page links no professional-site page: no plot summary is asked for.
  app().ClickRow(kTitlesList, 1);
  app().RunQueued();
  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/title/tt0307567"}));
  EXPECT_EQ(Shown(app(), kTitleField), Q("\"Amélie\" en el Sena (2002) (TV)"));
  EXPECT_EQ(Shown(app(), kDirectorField), Q("Hélène Fournier"));
  EXPECT_EQ(Shown(app(), kMoralRatingField), QString());
  EXPECT_EQ(Shown(app(), kRatingField), Q("6.1 de 10"));
  EXPECT_EQ(Shown(app(), kActorsField), Q("Audrey Tautou"));
  EXPECT_EQ(Shown(app(), kSynopsisText), QString()) << "no longer the \"...\" of start-up";
  EXPECT_EQ(GadgetGetState(kTitlesList), 1);

  // Back to Culturalia: the second hit has a 400 x 550 cover, shown at 200 x 275 as the one
  // cover picture; the third has none, and the box is emptied in place.
  ChooseSource(kCulturaliaOption);
  Search("Cría cuervos");
  ASSERT_EQ(program.coverImageNumber, 4);
  site_.server.ClearRequests();
  app().ClickRow(kTitlesList, 1);
  app().RunQueued();
  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/art/ver.php?art=2002", "/imatges/articulos/ana_lobos.jpg"}));
  EXPECT_EQ(Shown(app(), kTitleField), Q("Ana y los lobos"));
  EXPECT_EQ(Shown(app(), kActorsField), Q("Geraldine Chaplin\nFernando Fernán Gómez"));
  EXPECT_EQ(Geometry(app(), kCoverBox), QRect(575, 250, 200, 275));
  EXPECT_EQ(program.coverImageNumber, 4);
  EXPECT_FALSE(ImageExists(5)) << "the first cover picture was released";
  EXPECT_EQ(app().ReadFile(kCoverFile), site_.anaCover);
  const QImage seen = app().Window(kMainWindow)->grab().toImage();
  EXPECT_TRUE(Near(seen.pixelColor(575 + 100, 250 + 60), e2e::kAnaTop));
  EXPECT_TRUE(Near(seen.pixelColor(575 + 100, 250 + 215), e2e::kAnaBottom));
  EXPECT_TRUE(app().Widget(kSaveCoverButton)->isEnabled());
  app().SaveShot("e2e_culturalia_second_cover.png");

  site_.server.ClearRequests();
  app().ClickRow(kTitlesList, 2);
  app().RunQueued();
  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/art/ver.php?art=2003"}));
  EXPECT_EQ(Shown(app(), kTitleField), Q("¡Ay, Carmela!"));
  EXPECT_EQ(Shown(app(), kGenreField), Q("Comedia dramática"));
  EXPECT_EQ(Shown(app(), kMoralRatingField), Q(" Jóvenes"));
  EXPECT_TRUE(qobject_cast<QLabel*>(app().Widget(kCoverBox))->pixmap().isNull());
  EXPECT_EQ(Geometry(app(), kCoverBox), QRect(575, 250, 200, 275));
  EXPECT_FALSE(app().Widget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(app().ReadFile(kCoverFile), site_.anaCover) << "no download, no deletion";
  ExpectIdleWindow();
}

// A cover file named with a blank and an accent goes on the wire as a browser sends it: each
// byte that a URL cannot hold percent-encoded as its Windows-1252 value.
TEST_F(CardEndToEnd, ACoverNameWithABlankAndAnAccentIsAskedForEncoded) {
  Search("colmena");
  EXPECT_EQ(site_.server.Targets(),
            (std::vector<std::string>{"/bus/resu.php?texto=colmena&donde=1",
                                      "/art/ver.php?art=2004",
                                      "/imatges/articulos/esp%EDritu%20colmena.jpg"}));
  EXPECT_EQ(Shown(app(), kTitleField), Q("El espíritu de la colmena"));
  EXPECT_EQ(Shown(app(), kActorsField), Q("Ana Torrent\nIsabel Tellería"));
  EXPECT_EQ(app().ReadFile(kCoverFile), site_.colmenaCover);
  EXPECT_TRUE(app().Widget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(Geometry(app(), kCoverBox), QRect(575, 250, 200, 275));
  const QImage seen = app().Window(kMainWindow)->grab().toImage();
  EXPECT_TRUE(Near(seen.pixelColor(575 + 100, 250 + 60), e2e::kAnaBottom));
  EXPECT_TRUE(Near(seen.pixelColor(575 + 100, 250 + 215), e2e::kCriaBottom));
}

}  // namespace
