// PrintCard on a recording printer of printable width 4800 (every text, font, position and
// picture it draws), and once for real through the print dialog into Qt's PDF printer.
//
// The expected positions are worked out by hand from the layout rules, not computed here:
// - Page units with W = 4800: x in 4800 / 21 = 228.57 and y in 4800 / 29.7 = 161.62 pixels,
//   to the nearest integer. The labels stand at x 1.5 = 343, the rows at y 3.0 = 485,
//   4.0 = 646, 5.0 = 808, 6.0 = 970 and 7.0 = 1131; the values at x 3.5 = 800, 4.0 = 914,
//   5.5 = 1257 and 4.2 = 960. Running text starts at x 4.0 = 914, a new line is 1.0 = 162
//   lower, "SINOPSIS:" 2.0 = 323 below the last cast line; the right limit is 11.0 = 2514
//   beside the picture and 16.0 = 3657 otherwise. The cover is W / 8.39 = 572 pixels wide at
//   (15.0, 3.0) = (3429, 485).
// - Widths are the printing default font (4800 / 56 = 86 pixels, Arial as Liberation Sans)
//   as the recorder measures it: the sum of the letters' advance widths in 2048ths of the em,
//   times 86 / 2048, to the nearest pixel. E.g. "recuerdo " is 8652 / 2048 x 86 = 363.3 -> 363.
//   Each row's comment names the width that moves the pen to it.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "card/card.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "services/printing/printing.h"
#include "services/text/qt_text.h"
#include "services/text/text.h"
#include "tests/card/card_window.h"
#include "tests/services/printing/pdf_page.h"
#include "tests/services/printing/print_dialog_answer.h"
#include "tests/sources/test_film_support.h"
#include "tests/support/dialogs.h"
#include "tests/support/print_recorder.h"

namespace fs = std::filesystem;
using testsupport::DrawRecord;

namespace {

constexpr std::int64_t kW = 4800;

std::string CoverJpeg(int width, int height, QColor colour) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QPainter painter(&image);
  painter.fillRect(0, 0, width, height / 5, QColor(40, 60, 150));  // shows where its top is
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPG", 95));
  return bytes.toStdString();
}

using cardtest::BuildCardWindow;

struct CardTexts {
  Text title, genre, nationality, director, cast, synopsis;
};

void ShowTexts(const CardTexts& c) {
  GadgetSetText(kTitleField, c.title);
  GadgetSetText(kGenreField, c.genre);
  GadgetSetText(kNationalityField, c.nationality);
  GadgetSetText(kDirectorField, c.director);
  GadgetSetText(kMoralRatingField, "18");
  GadgetSetText(kRatingField, "8 de 10");
  GadgetSetText(kActorsField, c.cast);
  GadgetSetText(kSynopsisText, c.synopsis);
}

// The three cards of the layout tables.
const Text kVictorErice = "V\xed" "ctor Erice";
const Text kEspana = "Espa\xf1" "a";

CardTexts ShortCard() {
  return {"El sur", "Drama", kEspana, kVictorErice, "Omero Antonutti\r\nIciar Bollain",
          "Estrella recuerda a su padre."};
}

CardTexts LongCastCard() {
  return {"El sur", "Drama", kEspana, kVictorErice,
          "Omero Antonutti\r\nSonsoles Aranguren\r\nIciar Bollain\r\nLola Cardona\r\n"
          "Rafaela Aparicio\r\nGermaine Montero\r\nAurore Cl\xe9ment\r\nJos\xe9 Vivo\r\n"
          "Mar\xed" "a Caro\r\nAna Torrent\r\nFrancisco Merino\r\nJuan Diego\r\n"
          "Fernando Fern\xe1n G\xf3mez\r\nPaco Rabal\r\nLuisa Ibarra",
          "Estrella recuerda a su padre. Estrella recuerda a su padre."};
}

constexpr int kRunOffWords = 253;
CardTexts RunOffCard() {
  Text synopsis = "recuerdo";
  for (int i = 1; i < kRunOffWords; ++i) synopsis += " recuerdo";
  return {"El sur", "Drama", kEspana, kVictorErice, "Omero Antonutti", synopsis};
}

struct Placed {
  Text text;
  std::int64_t x, y;
};

// The fixed texts, the same on every card.
const std::vector<Placed> kLabels = {{"TITULO: ", 343, 485},      // (1.5, 3.0)
                                     {"GENERO: ", 343, 646},      // (1.5, 4.0)
                                     {"NACIONALIDAD: ", 343, 808},  // (1.5, 5.0)
                                     {"DIRECTOR: ", 343, 970}};   // (1.5, 6.0)
const std::vector<Placed> kCastLabel = {{"ACTORES: ", 343, 1131}};  // (1.5, 7.0)
const std::vector<Placed> kValues = {{"El sur", 800, 485},        // (3.5, 3.0)
                                     {"Drama", 914, 646},         // (4.0, 4.0)
                                     {kEspana, 1257, 808},        // (5.5, 5.0)
                                     {kVictorErice, 960, 970}};   // (4.2, 6.0)

// One segment per font that PrintCard chose, with the texts drawn in it. The font that
// DrawStart itself selects (right after kDrawStart) is not PrintCard's and starts none.
struct Segment {
  DrawRecord font;
  std::vector<DrawRecord> texts;
};

struct Printout {
  std::vector<DrawRecord> records;
  std::vector<DialogSeen> seen;

  std::vector<Segment> Segments() const {
    std::vector<Segment> out;
    DrawRecord::Kind previous = DrawRecord::kJobStart;
    for (const DrawRecord& r : records) {
      if (r.kind == DrawRecord::kFont && previous != DrawRecord::kDrawStart) out.push_back({r, {}});
      else if (r.kind == DrawRecord::kText && !out.empty()) out.back().texts.push_back(r);
      previous = r.kind;
    }
    return out;
  }
  std::vector<DrawRecord> Of(DrawRecord::Kind kind) const {
    std::vector<DrawRecord> out;
    for (const DrawRecord& r : records)
      if (r.kind == kind) out.push_back(r);
    return out;
  }
  std::vector<DrawRecord::Kind> Kinds() const {
    std::vector<DrawRecord::Kind> out;
    for (const DrawRecord& r : records) out.push_back(r.kind);
    return out;
  }
};

void ExpectPlaced(const std::vector<DrawRecord>& drawn, const std::vector<Placed>& expected,
                  const char* what) {
  ASSERT_EQ(drawn.size(), expected.size()) << what;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    SCOPED_TRACE(std::string(what) + " item " + std::to_string(i) + " \"" + expected[i].text + "\"");
    EXPECT_EQ(drawn[i].text, expected[i].text);
    EXPECT_EQ(drawn[i].x, expected[i].x);
    EXPECT_EQ(drawn[i].y, expected[i].y);
  }
}

// Labels and values in their fonts: bold labels, bold "ACTORES: " (font made again), italic
// values last.
void ExpectFixedTexts(const std::vector<Segment>& segments) {
  ASSERT_EQ(segments.size(), 6u);
  ExpectPlaced(segments[0].texts, kLabels, "labels");
  ExpectPlaced(segments[1].texts, kCastLabel, "cast label");
  ExpectPlaced(segments[5].texts, kValues, "values");
}

// The page as the records lay it out, on white paper of the A4 proportions, for a person to
// look at: the texts in their fonts, the pictures, nothing else.
QImage RenderRecords(const std::vector<DrawRecord>& records, std::int64_t w) {
  const int width = static_cast<int>(w);
  const int height = static_cast<int>(std::lround(static_cast<double>(w) * 29.7 / 21.0));
  QImage page(width, height, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  for (const DrawRecord& r : records) {
    if (r.kind == DrawRecord::kPicture) {
      if (const QImage* picture = GuiImageOf(r.image))
        painter.drawImage(QPoint(static_cast<int>(r.x), static_cast<int>(r.y)), *picture);
    } else if (r.kind == DrawRecord::kText) {
      QFont font(TextToQString(r.fontFace));
      font.setPixelSize(r.fontPixelSize);
      font.setBold(r.bold);
      font.setItalic(r.italic);
      font.setHintingPreference(QFont::PreferNoHinting);
      font.setKerning(false);
      painter.setFont(font);
      painter.setPen(Qt::black);
      const double ascent = QFontMetricsF(font).ascent();
      painter.drawText(QPointF(static_cast<double>(r.x), static_cast<double>(r.y) + ascent),
                       TextToQString(r.text));
    }
  }
  painter.end();
  return page;
}

class PrintCardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramVariables();
    program.lineBreak = "\r\n";
    program.coverImageNumber = kNoCoverNumber;
    program.coverPath = kCoverFile;
    ImageFreeAll();
    BuildCardWindow();
    PrintingShutdown();
    recorder_ = std::make_unique<testsupport::PrintRecorder>(kW);
  }
  void TearDown() override {
    recorder_.reset();
    PrintingShutdown();
    WindowClose(kMainWindow);
    ImageFreeAll();
  }
  // A card on show with its own downloaded cover of that size.
  void WithCover(int width, int height) {
    filmtest::WriteBytes(kCoverFile, CoverJpeg(width, height, QColor(150, 60, 40)));
    program.cardHasCover = 1;
  }
  Printout Print(std::vector<DialogAnswers::Step> steps) {
    recorder_->Clear();
    DialogAnswers answers(std::move(steps));
    PrintCard();
    Printout out{recorder_->records(), answers.seen()};
    for (const DialogSeen& s : out.seen) EXPECT_FALSE(s.unexpected) << Utf8(s.caption);
    return out;
  }

  filmtest::ScratchDirectory dir_;
  std::unique_ptr<testsupport::PrintRecorder> recorder_;
};

}  // namespace

TEST(PageUnits, FixedPointsOfThePage) {
  struct Row {
    double units;
    std::int64_t width, x, y;
  };
  const Row rows[] = {
      {1.5, 4800, 343, 242},   // 342.86; 242.42
      {3.0, 4800, 686, 485},   // 685.71; 484.85
      {1.0, 4800, 229, 162},   // 228.57; 161.62
      {11.0, 4800, 2514, 1778},
      {16.0, 4800, 3657, 2586},
      {15.0, 4800, 3429, 2424},
      // W = 21: one horizontal unit is one pixel, and halves go to the even side.
      {0.5, 21, 0, 0},  // 0.5 -> 0; 0.35
      {1.5, 21, 2, 1},  // 1.5 -> 2; 1.06
      {2.5, 21, 2, 2},  // 2.5 -> 2; 1.77
      {3.5, 21, 4, 2},  // 3.5 -> 4; 2.47
      {1.5, 4795, 342, 242},  // 4795 / 14 = 342.5 -> 342
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.units) + " units of " + std::to_string(r.width));
    EXPECT_EQ(PageXToPixels(r.units, r.width), r.x);
    EXPECT_EQ(PageYToPixels(r.units, r.width), r.y);
  }
}

TEST_F(PrintCardTest, QuestionOnlyForACardWithItsOwnCover) {
  ShowTexts(ShortCard());
  WithCover(400, 550);
  const Printout asked = Print({DialogAnswers::Button(kAnswerNo)});
  ASSERT_EQ(asked.seen.size(), 1u);
  const DialogSeen& box = asked.seen[0];
  EXPECT_EQ(box.kind, DialogSeen::MessageBox);
  EXPECT_EQ(box.caption, QString("Contiene Imágen"));
  EXPECT_EQ(box.text, QString("¿Incluir la imágen en la impresión?"));
  EXPECT_EQ(box.icon, QMessageBox::Question);
  QStringList buttons = box.buttons;
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"Cancelar", "No", "Sí"}));
  EXPECT_TRUE(asked.Of(DrawRecord::kPicture).empty());

  // A film without a cover of its own: "portada.jpg" still holds the earlier film's cover,
  // which is neither offered nor printed.
  program.cardHasCover = 0;
  const Printout silent = Print({});
  EXPECT_TRUE(silent.seen.empty());
  EXPECT_TRUE(silent.Of(DrawRecord::kPicture).empty());
  EXPECT_FALSE(silent.Of(DrawRecord::kText).empty());
}

TEST_F(PrintCardTest, CancelOrClosingTheQuestionPrintsAnEmptyPage) {
  ShowTexts(ShortCard());
  WithCover(400, 550);
  for (const DialogAnswers::Step& step :
       {DialogAnswers::Button(kAnswerCancel), DialogAnswers::Escape(), DialogAnswers::Close()}) {
    const Printout p = Print({step});
    ASSERT_EQ(p.seen.size(), 1u);
    // The job was started before asking; it ends with nothing on its page (DrawStart selects
    // the output's starting font, nothing more).
    EXPECT_EQ(p.Kinds(), (std::vector<DrawRecord::Kind>{DrawRecord::kJobStart, DrawRecord::kDrawStart,
                                                       DrawRecord::kFont, DrawRecord::kDrawStop,
                                                       DrawRecord::kJobStop}));
  }
}

TEST_F(PrintCardTest, CancelledPrintDialogDoesNothing) {
  ShowTexts(ShortCard());
  WithCover(400, 550);
  recorder_.reset();
  recorder_ = std::make_unique<testsupport::PrintRecorder>(kW, false);
  const Printout p = Print({});
  EXPECT_TRUE(p.seen.empty());
  EXPECT_TRUE(p.records.empty());
}

TEST_F(PrintCardTest, AShortCard) {
  // No cover: the limit is 16.0 units (3657) throughout, and nothing comes near it.
  ShowTexts(ShortCard());
  const Printout p = Print({});
  EXPECT_EQ(p.records.front().text, "El sur");  // the job's document name
  const std::vector<Segment> segments = p.Segments();
  ExpectFixedTexts(segments);
  ExpectPlaced(segments[2].texts,
               {{"Omero Antonutti, ", 914, 1131},  // (4.0, 7.0)
                {"Iciar Bollain, ", 1588, 1131}},  // 914 + 674 ("Omero Antonutti, ")
               "cast");
  // 2.0 units below the cast line: 1131 + 323.
  ExpectPlaced(segments[3].texts, {{"SINOPSIS:", 343, 1454}}, "synopsis label");
  ExpectPlaced(segments[4].texts,
               {{"Estrella", 914, 1454},
                {"recuerda", 1225, 1454},  // 914 + 311 ("Estrella ", with its space)
                {"a", 1588, 1454},         // 1225 + 363 ("recuerda ")
                {"su", 1660, 1454},        // 1588 + 72 ("a ")
                {"padre.", 1775, 1454}},   // 1660 + 115 ("su ")
               "synopsis");

  // Answering No to the picture prints the very same page.
  WithCover(400, 550);
  const Printout no = Print({DialogAnswers::Button(kAnswerNo)});
  ASSERT_EQ(no.records.size(), p.records.size());
  for (std::size_t i = 0; i < p.records.size(); ++i) {
    EXPECT_EQ(no.records[i].kind, p.records[i].kind);
    EXPECT_EQ(no.records[i].text, p.records[i].text);
    EXPECT_EQ(no.records[i].x, p.records[i].x);
    EXPECT_EQ(no.records[i].y, p.records[i].y);
  }
}

TEST_F(PrintCardTest, ALongCastWrapsBelowThePicture) {
  // A 400 x 700 cover: s = 400 x 8.39 / 4800 = 0.69917, so 572.11 x 1001.19 -> 572 x 1001.
  // The cast keeps left of 11.0 units (2514) until a line starts below 1001.19 + 485 = 1486.19.
  ShowTexts(LongCastCard());
  WithCover(400, 700);
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});

  // The job, under the title, and its one drawing.
  EXPECT_EQ(p.Kinds().front(), DrawRecord::kJobStart);
  EXPECT_EQ(p.records.front().text, "El sur");
  EXPECT_EQ(p.Kinds().back(), DrawRecord::kJobStop);
  EXPECT_EQ(p.Of(DrawRecord::kJobStart).size(), 1u);
  EXPECT_EQ(p.Of(DrawRecord::kDrawStart).size(), 1u);

  // The cover: image 999 at (15.0, 3.0), scaled before any text is drawn.
  const auto pictures = p.Of(DrawRecord::kPicture);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].x, 3429);
  EXPECT_EQ(pictures[0].y, 485);
  EXPECT_EQ(pictures[0].width, 572);
  EXPECT_EQ(pictures[0].height, 1001);
  EXPECT_EQ(pictures[0].image, ImageHandle(kPrintPictureImage));
  EXPECT_EQ(ImagePixelWidth(kPrintPictureImage), 572);
  EXPECT_EQ(ImagePixelHeight(kPrintPictureImage), 1001);
  const std::vector<DrawRecord::Kind> kinds = p.Kinds();
  EXPECT_LT(std::find(kinds.begin(), kinds.end(), DrawRecord::kPicture),
            std::find(kinds.begin(), kinds.end(), DrawRecord::kText));

  // The fonts, each made anew: bold labels, bold "ACTORES: ", italic cast, bold "SINOPSIS:",
  // regular synopsis, italic values; all Arial of one size.
  const std::vector<Segment> segments = p.Segments();
  ExpectFixedTexts(segments);
  const bool bold[] = {true, true, false, true, false, false};
  const bool italic[] = {false, false, true, false, false, true};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE("font " + std::to_string(i + 1));
    EXPECT_EQ(segments[i].font.fontFace, "Arial");
    EXPECT_EQ(segments[i].font.bold, bold[i]);
    EXPECT_EQ(segments[i].font.italic, italic[i]);
    EXPECT_EQ(segments[i].font.fontPixelSize, 86);
  }

  ExpectPlaced(segments[2].texts,
               {{"Omero Antonutti, ", 914, 1131},
                {"Sonsoles Aranguren, ", 1588, 1131},  // 914 + 674
                {"Iciar Bollain, ", 2415, 1131},       // 1588 + 827: left of 2514, ends at 2907
                {"Lola Cardona, ", 914, 1293},         // 2907 > 2514: 1131 + 162, above 1486.19
                {"Rafaela Aparicio, ", 1478, 1293},    // 914 + 564
                {"Germaine Montero, ", 2157, 1293},    // 1478 + 679, ends at 2922
                {"Aurore Cl\xe9ment, ", 914, 1455},    // 1293 + 162, still above 1486.19
                {"Jos\xe9 Vivo, ", 1564, 1455},        // 914 + 650
                {"Mar\xed" "a Caro, ", 1985, 1455},    // 1564 + 421
                {"Ana Torrent, ", 2463, 1455},         // 1985 + 478, ends at 2965
                {"Francisco Merino, ", 914, 1617},     // 1617 > 1486.19: the limit is 3657 now
                {"Juan Diego, ", 1621, 1617},          // 914 + 707
                {"Fernando Fern\xe1n G\xf3mez, ", 2104, 1617},  // 1621 + 483
                {"Paco Rabal, ", 3117, 1617},          // 2104 + 1013: past 2514, left of 3657
                {"Luisa Ibarra, ", 3609, 1617}},       // 3117 + 492: left of 3657, ends at 4111
               "cast");
  // 2.0 units below the last cast line: 1617 + 323. The synopsis keeps the cast's limit, 3657.
  ExpectPlaced(segments[3].texts, {{"SINOPSIS:", 343, 1940}}, "synopsis label");
  ExpectPlaced(segments[4].texts,
               {{"Estrella", 914, 1940},
                {"recuerda", 1225, 1940},  // 914 + 311 ("Estrella ")
                {"a", 1588, 1940},         // 1225 + 363 ("recuerda ")
                {"su", 1660, 1940},        // 1588 + 72 ("a ")
                {"padre.", 1775, 1940},    // 1660 + 115 ("su ")
                {"Estrella", 2043, 1940},  // 1775 + 268 ("padre. ")
                {"recuerda", 2354, 1940},  // 2043 + 311
                {"a", 2717, 1940},         // 2354 + 363: past 2514, the cast widened the limit
                {"su", 2789, 1940},        // 2717 + 72
                {"padre.", 2904, 1940}},   // 2789 + 115
               "synopsis");
}

TEST_F(PrintCardTest, ASynopsisRunsOffThePage) {
  // A 400 x 1000 cover is 572 x 1430.27 pixels: the synopsis keeps left of 11.0 units (2514)
  // until a line starts below 1430.27 + 646 (4.0 units) = 2076.27. Every word is "recuerdo",
  // 363 pixels with its space. The page is 4800 x 29.7 / 21 = 6789 pixels high; the text goes
  // on below it, one job, one page, and the values are still drawn after it.
  ShowTexts(RunOffCard());
  WithCover(400, 1000);
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});
  EXPECT_EQ(p.Of(DrawRecord::kJobStart).size(), 1u);
  EXPECT_EQ(p.Of(DrawRecord::kDrawStart).size(), 1u);
  EXPECT_EQ(p.Of(DrawRecord::kJobStop).size(), 1u);
  ASSERT_EQ(p.Of(DrawRecord::kPicture).size(), 1u);
  EXPECT_EQ(p.Of(DrawRecord::kPicture)[0].height, 1430);

  const std::vector<Segment> segments = p.Segments();
  ExpectFixedTexts(segments);
  ExpectPlaced(segments[2].texts, {{"Omero Antonutti, ", 914, 1131}}, "cast");
  ExpectPlaced(segments[3].texts, {{"SINOPSIS:", 343, 1454}}, "synopsis label");  // 1131 + 323

  // 2366 + 363 = 2729 > 2514 ends a narrow line; 3455 + 363 = 3818 > 3657 a wide one.
  const std::vector<std::int64_t> narrow = {914, 1277, 1640, 2003, 2366};
  const std::vector<std::int64_t> wide = {914, 1277, 1640, 2003, 2366, 2729, 3092, 3455};
  // 4 narrow lines of 5 words and 29 wide ones of 8 make 252 words; the 253rd starts a line
  // at 6800, below the page.
  const std::vector<std::pair<std::int64_t, std::vector<std::int64_t>>> lines = {
      {1454, narrow}, {1616, narrow}, {1778, narrow},
      {1940, narrow},  // 1940 < 2076.27
      {2102, wide},    // 2102 > 2076.27: 16.0 units from here on
      {2264, wide}, {2426, wide}, {2588, wide}, {2750, wide}, {2912, wide}, {3074, wide},
      {3236, wide}, {3398, wide}, {3560, wide}, {3722, wide}, {3884, wide}, {4046, wide},
      {4208, wide}, {4370, wide}, {4532, wide}, {4694, wide}, {4856, wide}, {5018, wide},
      {5180, wide}, {5342, wide}, {5504, wide}, {5666, wide}, {5828, wide}, {5990, wide},
      {6152, wide}, {6314, wide}, {6476, wide}, {6638, wide},
      {6800, {914}}};  // below 6789: lost on paper
  std::vector<Placed> words;
  for (const auto& [y, xs] : lines)
    for (const std::int64_t x : xs) words.push_back({"recuerdo", x, y});
  ASSERT_EQ(words.size(), static_cast<std::size_t>(kRunOffWords));
  ExpectPlaced(segments[4].texts, words, "synopsis");
}

TEST_F(PrintCardTest, EmptyFieldsPrintOnlyTheLabelsAndOneComma) {
  ShowTexts({});
  const Printout p = Print({});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  ExpectPlaced(segments[0].texts, kLabels, "labels");
  ExpectPlaced(segments[2].texts, {{", ", 914, 1131}}, "cast");
  ExpectPlaced(segments[3].texts, {{"SINOPSIS:", 343, 1131 + 323}}, "synopsis label");
  EXPECT_TRUE(segments[4].texts.empty());
  EXPECT_TRUE(segments[5].texts.empty());
}

TEST_F(PrintCardTest, RunningTextCases) {
  // One name; two spaces in a row; a line break inside the synopsis; a word wider than the
  // room left. No cover: the limit is 3657.
  CardTexts card = ShortCard();
  card.cast = "Omero Antonutti";
  const Text wide(60, 'W');  // 4869 pixels
  card.synopsis = "uno  dos tres\r\ncuatro cinco " + wide + " seis";
  ShowTexts(card);
  const Printout p = Print({});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  ExpectPlaced(segments[2].texts, {{"Omero Antonutti, ", 914, 1131}}, "cast");
  ExpectPlaced(segments[4].texts,
               {{"uno", 914, 1454},
                // 914 + 167 ("uno ") = 1081: the empty word between the spaces draws nothing
                // and moves the pen by one space, 24.
                {"dos", 1105, 1454},
                {"trescuatro", 1268, 1454},  // 1105 + 163 ("dos "); the CR LF is removed
                {"cinco", 1674, 1454},       // 1268 + 406 ("trescuatro ")
                {wide, 1899, 1454},          // 1674 + 225 ("cinco "): left of 3657, drawn whole
                {"seis", 914, 1616}},        // 1899 + 4893 is past 3657: a new line
               "synopsis");
}

TEST_F(PrintCardTest, CastPiecesAreCutAtCarriageReturns) {
  // Spaces around a name go; an empty line is an item of its own.
  CardTexts card = ShortCard();
  card.cast = "  Omero Antonutti  \r\n\r\nSonsoles Aranguren ";
  ShowTexts(card);
  const Printout p = Print({});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  ExpectPlaced(segments[2].texts,
               {{"Omero Antonutti, ", 914, 1131},
                {", ", 1588, 1131},                     // 914 + 674
                {"Sonsoles Aranguren, ", 1636, 1131}},  // 1588 + 48 (", ")
               "cast");
}

TEST_F(PrintCardTest, UnreadableCoverDrawsNothingAndWidensAtTheFirstNewLine) {
  // A picture of height 0: the cast starts with the 2514 limit, and its first new line (y 1293)
  // is below 0 + 485, so the second line already runs to 3657.
  ShowTexts(LongCastCard());
  filmtest::WriteBytes(kCoverFile, "<html>Error 500</html>");
  program.cardHasCover = 1;
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});
  EXPECT_TRUE(p.Of(DrawRecord::kPicture).empty());
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  ASSERT_GE(segments[2].texts.size(), 8u);
  const std::vector<DrawRecord> firstEight(segments[2].texts.begin(), segments[2].texts.begin() + 8);
  ExpectPlaced(firstEight,
               {{"Omero Antonutti, ", 914, 1131},
                {"Sonsoles Aranguren, ", 1588, 1131},
                {"Iciar Bollain, ", 2415, 1131},     // ends at 2907 > 2514
                {"Lola Cardona, ", 914, 1293},
                {"Rafaela Aparicio, ", 1478, 1293},
                {"Germaine Montero, ", 2157, 1293},  // ends at 2922
                {"Aurore Cl\xe9ment, ", 2922, 1293},  // past 2514: widened
                {"Jos\xe9 Vivo, ", 3572, 1293}},      // 2922 + 650
               "cast");
}

TEST_F(PrintCardTest, TheFontFitsTheLineAndTheLabelsEndBeforeTheirValues) {
  ShowTexts(LongCastCard());
  WithCover(400, 700);
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  // The recording output stands for a 600 dots-per-inch printer: W = 4800 is 8 inches.
  const double points = segments[0].font.fontPixelSize * 72.0 / 600.0;
  std::cout << "print font: " << segments[0].font.fontPixelSize << " pixels (" << points
            << " points) per character, line " << segments[0].font.lineHeight << " of pitch 162\n";
  EXPECT_GE(points, 9.0);   // comfortable to read
  EXPECT_LE(points, 12.0);
  for (const Segment& s : segments) EXPECT_LE(s.font.lineHeight, 162) << "a line overflows its pitch";

  // Every text box: none overlaps another, nor the picture.
  struct Box {
    std::int64_t l, t, r, b;
    Text what;
  };
  std::vector<Box> boxes;
  for (const Segment& s : segments)
    for (const DrawRecord& r : s.texts) boxes.push_back({r.x, r.y, r.x + r.width, r.y + r.lineHeight, r.text});
  for (std::size_t i = 0; i < boxes.size(); ++i)
    for (std::size_t j = i + 1; j < boxes.size(); ++j) {
      const Box& a = boxes[i];
      const Box& b = boxes[j];
      const bool overlap = a.l < b.r && b.l < a.r && a.t < b.b && b.t < a.b;
      EXPECT_FALSE(overlap) << "\"" << a.what << "\" and \"" << b.what << "\"";
    }
  const auto picture = p.Of(DrawRecord::kPicture).at(0);
  for (const Box& a : boxes) {
    const bool overlap = a.l < picture.x + picture.width && picture.x < a.r &&
                         a.t < picture.y + picture.height && picture.y < a.b;
    EXPECT_FALSE(overlap) << "\"" << a.what << "\" runs into the cover";
  }

  fs::create_directories(TEST_OUTPUT_DIR);
  const QImage page = RenderRecords(p.records, kW);
  ASSERT_TRUE(page.scaledToWidth(1200, Qt::SmoothTransformation)
                  .save(QString(TEST_OUTPUT_DIR) + "/print_card_recorded.png"));
}

TEST_F(PrintCardTest, PrintedToPdfThroughThePrintDialog) {
  recorder_.reset();  // the real print dialog
  CardTexts card = LongCastCard();
  ShowTexts(card);
  WithCover(400, 550);
  const fs::path pdf = dir_.path() / "ficha.pdf";
  auto printAnswer = PrintDialogAnswer::PrintToPdf(QString::fromStdString(pdf.string()));
  // The picture question comes after the print dialog: its answerer starts once that dialog
  // is being answered, so it cannot take the print dialog for its own.
  std::unique_ptr<DialogAnswers> question;
  printAnswer->onOpen = [&] {
    question = std::make_unique<DialogAnswers>(std::vector{DialogAnswers::Button(kAnswerYes)});
  };
  PrintCard();
  ASSERT_TRUE(printAnswer->answered());
  ASSERT_TRUE(question);
  ASSERT_EQ(question->seen().size(), 1u);
  EXPECT_EQ(question->seen()[0].caption, QString("Contiene Imágen"));
  const std::int64_t width = PrinterPrintableWidth();
  ASSERT_GT(width, 0);

  ASSERT_TRUE(fs::exists(pdf));
  fs::create_directories(TEST_OUTPUT_DIR);
  EXPECT_EQ(pdftest::PageObjects(pdf), 1);
  const QString info = pdftest::PdfInfo(pdf);
  EXPECT_EQ(pdftest::PdfInfoField(info, "Pages"), "1") << info.toStdString();
  EXPECT_EQ(pdftest::PdfInfoField(info, "Title"), "El sur") << "the document name";
  fs::copy_file(pdf, fs::path(TEST_OUTPUT_DIR) / "print_card.pdf",
                fs::copy_options::overwrite_existing);

  // The page as a person sees it, at 100 dots per inch.
  const QImage page = pdftest::RenderFirstPage(pdf, 100, fs::path(TEST_OUTPUT_DIR) / "print_card_pdf");
  ASSERT_FALSE(page.isNull());
  // The cover's brown, at the top right, below its blue band.
  const QRect brown = pdftest::InkBounds(page, page.rect(), [](const QColor& c) {
    return std::abs(c.red() - 150) < 30 && std::abs(c.green() - 60) < 30 && std::abs(c.blue() - 40) < 30;
  });
  ASSERT_FALSE(brown.isEmpty()) << "no cover on the page";
  EXPECT_GT(brown.left(), page.width() * 0.6);
  EXPECT_LT(brown.top(), page.height() * 0.15);
  // Rendered pixels per device pixel: Qt's PDF printer works at 1200 dots per inch.
  const double k = 100.0 / 1200.0;
  const QRect blue = pdftest::InkBounds(page, page.rect(), [](const QColor& c) {
    return c.blue() > 110 && c.red() < 80 && c.green() < 100;
  });
  ASSERT_FALSE(blue.isEmpty());
  EXPECT_NEAR(blue.bottom() + 1, brown.top(), 1.5);
  // The cover's top edge is the top of the title's row, 3.0 units down: the ink of "TITULO: "
  // starts just below it (by the font's ascent less its cap height).
  const QRect title = pdftest::InkBounds(page, QRect(0, blue.top() - 20, page.width() / 4, 40),
                                         pdftest::Dark);
  ASSERT_FALSE(title.isEmpty());
  EXPECT_GE(title.top(), blue.top());
  EXPECT_LE(title.top(), blue.top() + 5);
  // The cover is W / 8.39 device pixels wide (the brown below its white band spans it all).
  EXPECT_NEAR(brown.width(), static_cast<double>(width) / 8.39 * k, 1.5);
  const QRect ink = pdftest::InkBounds(page, page.rect(), pdftest::Dark);
  ASSERT_FALSE(ink.isEmpty());
  // The labels' left edge is 1.5 units across, the cover's 15.0.
  const double left = ink.left() - static_cast<double>(PageXToPixels(1.5, width)) * k;  // the printable area
  EXPECT_NEAR(brown.left() - ink.left(), static_cast<double>(PageXToPixels(15.0, width) - PageXToPixels(1.5, width)) * k, 3.0);
  // Nothing runs past the printable area's right edge.
  EXPECT_LE(ink.right(), left + static_cast<double>(width) * k + 1);
  EXPECT_LE(brown.right(), left + static_cast<double>(width) * k + 1);

  // A synopsis far longer than the page: still one page, the text below the paper lost. The
  // title is long enough to run over the cover: drawn on the page's opaque white background,
  // it cuts a white strip out of the cover's top.
  question.reset();  // its answers are used up; it would take the next print dialog
  card = RunOffCard();
  card.title = "El sur: Estrella, su padre el zahor\xed y la casa de La Gaviota en el norte de Espa\xf1" "a";
  ShowTexts(card);
  const fs::path longPdf = dir_.path() / "larga.pdf";
  auto longAnswer = PrintDialogAnswer::PrintToPdf(QString::fromStdString(longPdf.string()));
  std::unique_ptr<DialogAnswers> longQuestion;
  longAnswer->onOpen = [&] {
    longQuestion = std::make_unique<DialogAnswers>(std::vector{DialogAnswers::Button(kAnswerYes)});
  };
  PrintCard();
  ASSERT_TRUE(longAnswer->answered());
  ASSERT_TRUE(fs::exists(longPdf));
  EXPECT_EQ(pdftest::PageObjects(longPdf), 1);
  EXPECT_EQ(pdftest::PdfInfoField(pdftest::PdfInfo(longPdf), "Pages"), "1");
  const QImage longPage =
      pdftest::RenderFirstPage(longPdf, 100, fs::path(TEST_OUTPUT_DIR) / "print_card_long_pdf");
  ASSERT_FALSE(longPage.isNull());
  const QRect longInk = pdftest::InkBounds(longPage, longPage.rect(), pdftest::Dark);
  EXPECT_GT(longInk.bottom(), longPage.height() * 0.85) << "the synopsis fills the page";
  EXPECT_LT(longInk.right(), longPage.width() - 20);
  const QRect cover = pdftest::InkBounds(longPage, longPage.rect(), [](const QColor& c) {
    return c.blue() > 110 && c.red() < 80 && c.green() < 100;  // its blue top band
  });
  ASSERT_FALSE(cover.isEmpty());
  const QRect strip = pdftest::InkBounds(longPage, cover, [](const QColor& c) {
    return c.red() > 240 && c.green() > 240 && c.blue() > 240;
  });
  ASSERT_FALSE(strip.isEmpty()) << "the title is drawn over the cover without its white box";
  EXPECT_LE(std::abs(strip.top() - cover.top()), 2);  // both start at 3.0 units
  EXPECT_LT(strip.height(), cover.height());          // a strip, not the whole band
  EXPECT_EQ(strip.left(), cover.left());              // the title runs on across the cover's left edge
}
