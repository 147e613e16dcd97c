// ShowFilmCard on a real card window: the eight texts, the save-cover button, and covers of
// several sizes downloaded from a local server, scaled into the cover box and shown.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/embedded_pictures.h"
#include "program/gadgets.h"
#include "program/variables.h"
#include "card/card.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "sources/hosts.h"
#include "tests/card/card_window.h"
#include "tests/card/test_show_card_server.h"
#include "tests/sources/test_film_support.h"

namespace fs = std::filesystem;

namespace {

// A cover of the given size in one colour, with a white band across its top quarter.
std::string CoverJpeg(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QPainter painter(&image);
  painter.fillRect(0, 0, width, height / 4, Qt::white);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPG", 95)) << "no JPEG writer in the tests' Qt";
  return bytes.toStdString();
}

using cardtest::BuildCardWindow;

FilmCard Card(const std::string& coverPath) {
  return FilmCard{"El sur", "Drama", "Espa\xf1" "a", "V\xed" "ctor Erice", " J\xf3venes", "8 de 10",
                  "Omero Antonutti\r\nSonsoles Aranguren",
                  " Estrella recuerda a su padre.", coverPath};
}

struct Geometry {
  int x, y, w, h;
  bool operator==(const Geometry&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Geometry& g) {
  return out << g.x << "," << g.y << " " << g.w << "x" << g.h;
}

Geometry CoverBoxGeometry() {
  const QWidget* box = GuiGadgetWidget(kCoverBox);
  if (!box) return {};
  return {box->x(), box->y(), box->width(), box->height()};
}

std::int64_t HandleValue(ImageHandle_t handle) {
  return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(handle));
}

// What a person sees at a point of the cover box.
QColor CoverBoxColourAt(int x, int y) {
  QWidget* box = GuiGadgetWidget(kCoverBox);
  const QImage seen = box->grab().toImage();
  return seen.pixelColor(x, y);
}

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
         std::abs(a.blue() - b.blue()) < 24;
}

class ShowCard : public ::testing::Test {
 protected:
  void SetUp() override {
    savedHost_ = sourceHosts().culturalia;
    sourceHosts().culturalia = server_.host();
    ResetProgramVariables();
    program.coverImageNumber = kNoCoverNumber;
    program.lineBreak = "\r\n";
    ImageFreeAll();
    const EmbeddedPicture pictures[] = {PrinterIconPicture(), PowerIconPicture(), NoCoverPicture()};
    for (int n = 0; n < 3; ++n) ImageFromMemory(n + 1, pictures[n].data, pictures[n].size);
    ASSERT_TRUE(ImageExists(kNoCoverImage));
    BuildCardWindow();
  }
  void TearDown() override {
    WindowClose(kMainWindow);
    ImageFreeAll();
    sourceHosts().culturalia = savedHost_;
  }
  // Shows a Culturalia card whose cover the server holds under the given name.
  void ShowWithCover(const std::string& name, const std::string& bytes) {
    server_.Put("/imatges/articulos/" + name, bytes);
    FilmCard card = Card(name);
    ShowFilmCard(card);
  }

  filmtest::ScratchDirectory dir_;
  cardtest::CoverServer server_;
  Text savedHost_;
};

}  // namespace

TEST_F(ShowCard, CardWithoutCoverSetsTextsAndClearsTheBox) {
  filmtest::WriteBytes(kCoverFile, "older cover");
  FilmCard card = Card("");
  ShowFilmCard(card);

  EXPECT_EQ(GadgetGetText(kTitleField), "El sur");
  EXPECT_EQ(GadgetGetText(kGenreField), "Drama");
  EXPECT_EQ(GadgetGetText(kNationalityField), "Espa\xf1" "a");
  EXPECT_EQ(GadgetGetText(kDirectorField), "V\xed" "ctor Erice");
  EXPECT_EQ(GadgetGetText(kMoralRatingField), " J\xf3venes");
  EXPECT_EQ(GadgetGetText(kRatingField), "8 de 10");
  EXPECT_EQ(GadgetGetText(kActorsField), "Omero Antonutti\r\nSonsoles Aranguren");
  EXPECT_EQ(GadgetGetText(kSynopsisText), " Estrella recuerda a su padre.");

  EXPECT_FALSE(GuiGadgetWidget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(GadgetGetState(kCoverBox), 0);  // the no-cover picture is gone
  EXPECT_EQ(CoverBoxGeometry(), (Geometry{575, 250, 200, 275}));
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_EQ(filmtest::ReadBytes(kCoverFile), "older cover");  // left as it was
  EXPECT_EQ(program.coverPath, kCoverFile);
  EXPECT_EQ(card.coverPath, kCoverFile);
  EXPECT_EQ(program.cardHasCover, 0);
  EXPECT_EQ(program.coverImageNumber, kNoCoverNumber);
}

TEST_F(ShowCard, EmptyCardEmptiesEveryText) {
  FilmCard card;
  ShowFilmCard(card);
  for (int g : {kTitleField, kGenreField, kNationalityField, kDirectorField, kMoralRatingField,
                kRatingField, kActorsField, kSynopsisText})
    EXPECT_EQ(GadgetGetText(g), "") << "gadget " << g;
}

TEST_F(ShowCard, CoversAreScaledIntoTheBox) {
  struct Case {
    int width, height;
    Geometry shown;
  };
  // 400 x 550: 0.5 both ways. 100 x 100: enlarged by 2. 300 x 150: by 2/3. 300 x 1000: 82.5
  // wide, which goes to the even 82. 350 x 500: 192.5 in single precision (double precision
  // would give a hair more and 193).
  const Case cases[] = {{400, 550, {575, 250, 200, 275}}, {100, 100, {575, 250, 200, 200}},
                        {300, 150, {575, 250, 200, 100}}, {300, 1000, {575, 250, 82, 275}},
                        {350, 500, {575, 250, 192, 275}}, {200, 275, {575, 250, 200, 275}},
                        {4000, 10, {575, 250, 200, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    server_.ClearRequests();
    const std::string name = "c" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".jpg";
    const std::string jpeg = CoverJpeg(c.width, c.height, QColor(30, 90, 200));
    ShowWithCover(name, jpeg);

    EXPECT_EQ(server_.Requests(), std::vector<std::string>{"/imatges/articulos/" + name});
    EXPECT_EQ(filmtest::ReadBytes(kCoverFile), jpeg);
    EXPECT_TRUE(GuiGadgetWidget(kSaveCoverButton)->isEnabled());
    EXPECT_EQ(program.cardHasCover, 1);
    EXPECT_EQ(program.coverImageNumber, 4);
    EXPECT_EQ(ImagePixelWidth(4), c.shown.w);
    EXPECT_EQ(ImagePixelHeight(4), c.shown.h);
    EXPECT_EQ(GadgetGetState(kCoverBox), HandleValue(ImageHandle(4)));
    EXPECT_EQ(CoverBoxGeometry(), c.shown);
    EXPECT_EQ(program.coverPath, kCoverFile);
    if (c.shown.h >= 8) {
      // The cover's colour below its white band, and the band above.
      EXPECT_TRUE(Near(CoverBoxColourAt(c.shown.w / 2, c.shown.h * 3 / 4), QColor(30, 90, 200)));
      EXPECT_TRUE(Near(CoverBoxColourAt(c.shown.w / 2, 1), Qt::white));
    }
  }
}

TEST_F(ShowCard, TwoCoversInARowKeepOnePicture) {
  ShowWithCover("a.jpg", CoverJpeg(400, 550, Qt::red));
  ASSERT_EQ(program.coverImageNumber, 4);
  ShowWithCover("b.jpg", CoverJpeg(100, 100, Qt::darkGreen));
  EXPECT_EQ(program.coverImageNumber, 4);
  EXPECT_TRUE(ImageExists(4));
  EXPECT_FALSE(ImageExists(5));
  EXPECT_EQ(ImagePixelWidth(4), 200);
  EXPECT_EQ(ImagePixelHeight(4), 200);
  EXPECT_EQ(CoverBoxGeometry(), (Geometry{575, 250, 200, 200}));
  EXPECT_TRUE(Near(CoverBoxColourAt(100, 150), Qt::darkGreen));
  // The built-in pictures are untouched.
  EXPECT_TRUE(ImageExists(1) && ImageExists(2) && ImageExists(3));
}

TEST_F(ShowCard, ZeroByteCoverClearsTheBox) {
  ShowWithCover("a.jpg", CoverJpeg(300, 150, Qt::red));
  ASSERT_TRUE(GuiGadgetWidget(kSaveCoverButton)->isEnabled());
  ShowWithCover("empty.jpg", "");
  EXPECT_EQ(GadgetGetState(kCoverBox), 0);  // the previous film's cover is not left on show
  EXPECT_FALSE(GuiGadgetWidget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(program.cardHasCover, 0);
  EXPECT_LE(fs::exists(kCoverFile) ? fs::file_size(kCoverFile) : 0, 0u);
  // A cleared box keeps the place and size of the last cover.
  EXPECT_EQ(CoverBoxGeometry(), (Geometry{575, 250, 200, 100}));
  EXPECT_EQ(program.coverPath, kCoverFile);
}

TEST_F(ShowCard, ImdbCardAfterACoverClearsTheBoxInPlace) {
  const std::string jpeg = CoverJpeg(300, 150, Qt::red);
  ShowWithCover("a.jpg", jpeg);
  server_.ClearRequests();
  FilmCard imdb{"Blade Runner (1982)", "Sci-Fi", "USA", "Ridley Scott", "18", "8.3 de 10",
                "Harrison Ford", "", ""};
  ShowFilmCard(imdb);
  EXPECT_EQ(GadgetGetState(kCoverBox), 0);
  EXPECT_EQ(CoverBoxGeometry(), (Geometry{575, 250, 200, 100}));
  EXPECT_FALSE(GuiGadgetWidget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(program.cardHasCover, 0);
  EXPECT_TRUE(server_.Requests().empty());
  EXPECT_EQ(filmtest::ReadBytes(kCoverFile), jpeg);  // the last cover file stays
  EXPECT_EQ(GadgetGetText(kTitleField), "Blade Runner (1982)");
}

TEST_F(ShowCard, UndecodableCoverFileStillEnablesSaving) {
  ShowWithCover("a.jpg", CoverJpeg(300, 150, Qt::red));
  ShowWithCover("error.jpg", "<html><body>Error 500</body></html>");
  EXPECT_EQ(GadgetGetState(kCoverBox), 0);
  EXPECT_EQ(CoverBoxGeometry(), (Geometry{575, 250, 200, 275}));
  EXPECT_TRUE(GuiGadgetWidget(kSaveCoverButton)->isEnabled());
  EXPECT_EQ(program.cardHasCover, 1);
  EXPECT_FALSE(ImageExists(static_cast<int>(program.coverImageNumber)));
}

TEST_F(ShowCard, MissingCoverOnTheServer) {
  // The server answers 404 with a page: whatever the download keeps, nothing is shown.
  FilmCard card = Card("missing.jpg");
  ShowFilmCard(card);
  EXPECT_EQ(GadgetGetState(kCoverBox), 0);
  EXPECT_EQ(server_.Requests(), std::vector<std::string>{"/imatges/articulos/missing.jpg"});
}

TEST_F(ShowCard, RenderedCardWithCover) {
  ShowWithCover("el_sur.jpg", CoverJpeg(400, 550, QColor(150, 60, 40)));
  QWidget* client = GuiWindowClient(kMainWindow);
  ASSERT_NE(client, nullptr);
  fs::create_directories(TEST_OUTPUT_DIR);
  const std::string png = std::string(TEST_OUTPUT_DIR) + "/show_card_with_cover.png";
  ASSERT_TRUE(client->grab().save(QString::fromStdString(png)));
  // The cover fills the box at its place in the window.
  const QImage seen = client->grab().toImage();
  EXPECT_TRUE(Near(seen.pixelColor(575 + 100, 250 + 200), QColor(150, 60, 40)));
}
