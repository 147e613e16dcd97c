// What a person sees in cinevarta-demo: the whole program on its real main window, searching the
// sample site with real keys and clicks, as the README's first command shows it. The site is
// served by the in-process test server with the sample server's file mapping. Each test renders
// the main window to a PNG in the test output folder, to be looked at.
#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "services/images/images.h"
#include "services/text/text.h"
#include "tests/support/sample_site_fixture.h"

namespace {

std::string Utf8Of(int gadget) { return TextToUtf8(GadgetGetText(gadget)); }

std::vector<std::string> TitlesShown() {
  std::vector<std::string> titles;
  const auto count = ListCount(kTitlesList);
  titles.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  for (int i = 0; i < count; ++i) titles.push_back(TextToUtf8(ListCellText(kTitlesList, i, 0)));
  return titles;
}

class SampleSiteDemo : public SampleSiteFixture {
 protected:
  void Click(int gadget) {
    app().Click(gadget);
    app().RunQueued();
  }
  void ClickRow(int row) {
    app().ClickRow(kTitlesList, row);
    app().RunQueued();
  }
  void TypeAndPressEnter(const char* utf8Title) {
    app().TypeInto(kSearchField, QString::fromUtf8(utf8Title));
    app().PressKey(kSearchField, Qt::Key_Return);
    ASSERT_GE(app().RunQueued(), 1) << "Enter raised no event";
  }
};

}  // namespace

TEST_F(SampleSiteDemo, ImdbSearchByEnterThenTheSecondHitByAClick) {
  Click(kImdbOption);
  server_->ClearRequests();
  TypeAndPressEnter("Blade Runner");

  EXPECT_EQ(TitlesShown(), (std::vector<std::string>{"Blade Runner (1982)",
                                                     "Blade Runner 2049 (2017)",
                                                     "\"Blade Runner: Black Lotus\" (2021)",
                                                     "Blade Runner (1982)"}));
  EXPECT_EQ(GadgetGetState(kTitlesList), 0);
  EXPECT_EQ(Utf8Of(kTitleField), "Blade Runner (1982)");
  EXPECT_EQ(Utf8Of(kDirectorField), "Ridley Scott");
  EXPECT_EQ(Utf8Of(kRatingField), "8.3 de 10");
  EXPECT_NE(Utf8Of(kSynopsisText).find("[AUTOR]: Marta Olivares"), std::string::npos);
  EXPECT_EQ(server_->CountTargets("/find?q=Blade%20Runner;tt=1"), 1);
  EXPECT_EQ(server_->CountTargets("/title/tt0083658/plotsummary"), 1);

  ClickRow(1);
  EXPECT_EQ(GadgetGetState(kTitlesList), 1);
  EXPECT_EQ(Utf8Of(kTitleField), "Blade Runner 2049 (2017)");
  EXPECT_EQ(Utf8Of(kDirectorField), "Denis Villeneuve");
  EXPECT_EQ(Utf8Of(kNationalityField), "USA");
  EXPECT_EQ(Utf8Of(kMoralRatingField), "13");
  EXPECT_NE(Utf8Of(kActorsField).find("Ana de Armas"), std::string::npos);
  EXPECT_EQ(server_->CountTargets("/title/tt1856101/plotsummary"), 1);
  EXPECT_EQ(GadgetGetState(kImdbOption), 1);
  EXPECT_EQ(program.cardHasCover, 0);
  app().SaveShot("sample_site_imdb.png");
}

TEST_F(SampleSiteDemo, CulturaliaSearchByTheButtonShowsAccentsAndCovers) {
  app().TypeInto(kSearchField, QStringLiteral("colmena"));
  Click(kSearchButton);  // Culturalia is the source at start-up

  EXPECT_EQ(TitlesShown(),
            (std::vector<std::string>{"El espíritu de la colmena", "La lengua de las mariposas"}));
  EXPECT_EQ(Utf8Of(kTitleField), "El espíritu de la colmena");
  EXPECT_EQ(Utf8Of(kDirectorField), "Víctor Erice");
  EXPECT_EQ(program.cardHasCover, 1);
  EXPECT_EQ(server_->CountTargets("/imatges/articulos/espiritu_colmena_1187.jpg"), 1);
  app().SaveShot("sample_site_culturalia_first.png");

  ClickRow(1);
  EXPECT_EQ(Utf8Of(kTitleField), "La lengua de las mariposas");
  EXPECT_EQ(Utf8Of(kDirectorField), "José Luis Cuerda");
  EXPECT_EQ(Utf8Of(kNationalityField), "España");
  EXPECT_EQ(Utf8Of(kRatingField), "8 de 10");
  EXPECT_EQ(program.cardHasCover, 1);
  EXPECT_TRUE(app().Widget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(server_->CountTargets("/imatges/articulos/lengua_mariposas_4420.jpg"), 1);
  EXPECT_GT(ImagePixelWidth(static_cast<int>(program.coverImageNumber)), 0);
  app().SaveShot("sample_site_culturalia.png");

  // A title the site does not know lists nothing and loads nothing: the card stays.
  server_->ClearRequests();
  TypeAndPressEnter("Star Wars");
  EXPECT_TRUE(TitlesShown().empty());
  EXPECT_EQ(Utf8Of(kTitleField), "La lengua de las mariposas");
  EXPECT_EQ(server_->CountTargets("/art/"), 0);
}
