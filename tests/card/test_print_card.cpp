// PrintCard on a recording printer of printable width 4800 (every text, font, position and
// picture it draws), and once for real through the print dialog into Qt's PDF printer.
//
// Page units: x in W / 21 and y in W / 29.7 pixels, to the nearest integer with halves to even.
// With W = 4800 the labels stand at x 343, the rows at y 485, 647, 808, 970 and 1131, the cast
// starts at (914, 1131), the pitch is 162 and the cover (572 wide) sits at (3429, 485).
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/gadgets.h"
#include "app/globals.h"
#include "card/card.h"
#include "services/gui/gui.h"
#include "services/gui/gui_qt.h"
#include "services/images/images.h"
#include "services/printing/printing.h"
#include "services/printing/printing_recording.h"
#include "services/text/qt_text.h"
#include "services/text/text.h"
#include "tests/card/card_window.h"
#include "tests/services/printing/pdf_page.h"
#include "tests/services/printing/print_dialog_answer.h"
#include "tests/sources/test_film_support.h"
#include "tests/support/dialogs.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kW = 4800;

// The page units by the rule itself, in the default rounding mode (to nearest, halves to even).
std::int64_t X(double units, std::int64_t w = kW) {
  return static_cast<std::int64_t>(std::nearbyint(units * (static_cast<double>(w) / 21.0)));
}
std::int64_t Y(double units, std::int64_t w = kW) {
  return static_cast<std::int64_t>(std::nearbyint(units * (static_cast<double>(w) / 29.7)));
}

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

CardTexts ElSur() {
  return {"El sur", "Drama", "Espa\xf1" "a", "V\xed" "ctor Erice",
          "Omero Antonutti\r\nSonsoles Aranguren\r\nIciar Bollain\r\nLola Cardona\r\n"
          "Rafaela Aparicio\r\nGermaine Montero\r\nAurore Cl\xe9ment",
          "Estrella, una ni\xf1" "a que vive con sus padres en una casa del norte de Espa\xf1" "a "
          "llamada La Gaviota, siente una intensa fascinaci\xf3n por su padre, un m\xe9" "dico "
          "con dotes de zahor\xed que guarda un secreto del sur. A\xf1os despu\xe9s, ya "
          "adolescente, Estrella intenta desvelar lo que su padre nunca le cont\xf3 y "
          "reconstruye, recuerdo a recuerdo, la vida de un hombre que se fue apagando ante "
          "sus ojos sin que ella llegara a comprenderle del todo."};
}

// One segment per font that PrintCard chose, with the texts drawn in it.
struct Segment {
  DrawRecord font;
  std::vector<DrawRecord> texts;
};

struct Printout {
  std::vector<DrawRecord> records;
  std::vector<DialogSeen> seen;

  std::vector<Segment> Segments() const {
    std::vector<Segment> out;
    for (const DrawRecord& r : records) {
      if (r.kind == DrawRecord::kFont) out.push_back({r, {}});
      else if (r.kind == DrawRecord::kText && !out.empty()) out.back().texts.push_back(r);
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

// The width of a text in the card's print font of that style on the recording output.
std::int64_t Measure(int style, const Text& text) {
  DrawStart(RecordingTarget(kW));
  DrawFont(FontLoad(7, "Arial", 0, style));
  const std::int64_t w = MeasureText(text);
  DrawStop();
  return w;
}

// Where running text goes, straight from the layout rules: a new line before an item when the
// previous one ended right of the limit; below the picture's bottom (plus `bottomUnits`) the
// limit widens to 16.0 for good.
struct RunningPen {
  double x = 0, y = 0;
  std::int64_t limit = 0;
  double pictureHeight = 0;
  void Before(double bottomUnits) {
    if (x > static_cast<double>(limit)) {
      x = static_cast<double>(X(4.0));
      y += static_cast<double>(Y(1.0));
      if (y > pictureHeight + static_cast<double>(Y(bottomUnits))) limit = X(16.0);
    }
  }
};

struct Placed {
  Text text;
  std::int64_t x, y;
};

// The cast items as the layout cuts them: a piece per CR, as many as CR LF pairs plus one,
// trimmed, with ", " after, the LF that followed the CR dropped.
std::vector<Text> CastItems(const Text& cast) {
  std::vector<Text> items;
  std::int64_t n = 1;
  for (std::size_t p = cast.find("\r\n"); p != Text::npos; p = cast.find("\r\n", p + 2)) ++n;
  std::size_t begin = 0;
  for (std::int64_t i = 1; i <= n; ++i) {
    const std::size_t cr = cast.find('\r', begin);
    const Text piece = cast.substr(begin, cr == Text::npos ? Text::npos : cr - begin);
    Text item = TextTrim(piece) + ", ";
    if (i > 1) item.erase(0, 1);
    items.push_back(item);
    if (cr == Text::npos) break;
    begin = cr + 1;
  }
  return items;
}

std::vector<Text> SynopsisWords(const Text& synopsis) {
  std::vector<Text> words;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t sp = synopsis.find(' ', begin);
    Text field = synopsis.substr(begin, sp == Text::npos ? Text::npos : sp - begin);
    for (std::size_t p; (p = field.find("\r\n")) != Text::npos;) field.erase(p, 2);
    words.push_back(field);
    if (sp == Text::npos) break;
    begin = sp + 1;
  }
  return words;
}

// The expected running text of a card: the cast, then "SINOPSIS:" and the synopsis words.
struct Expected {
  std::vector<Placed> cast, synopsis;
  std::int64_t synopsisLabelY = 0;
};

Expected Lay(const CardTexts& card, bool picture, double pictureHeight) {
  Expected e;
  RunningPen pen;
  pen.x = static_cast<double>(X(4.0));
  pen.y = static_cast<double>(Y(7.0));
  pen.limit = picture ? X(11.0) : X(16.0);
  pen.pictureHeight = pictureHeight;
  for (const Text& item : CastItems(card.cast)) {
    pen.Before(3.0);
    e.cast.push_back({item, std::llround(pen.x), std::llround(pen.y)});
    pen.x += static_cast<double>(Measure(kFontItalic, item));
  }
  pen.y += static_cast<double>(Y(2.0));
  e.synopsisLabelY = std::llround(pen.y);
  pen.x = static_cast<double>(X(4.0));
  for (const Text& word : SynopsisWords(card.synopsis)) {
    pen.Before(4.0);
    if (!word.empty()) e.synopsis.push_back({word, std::llround(pen.x), std::llround(pen.y)});
    pen.x += static_cast<double>(Measure(0, word + " "));
  }
  return e;
}

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
    PrinterUseRecorder(kW);
    DrawRecordsClear();
  }
  void TearDown() override {
    PrintingShutdown();
    PrinterUseDialog();
    WindowClose(kMainWindow);
    ImageFreeAll();
  }
  // A card on show with its own downloaded cover of that size.
  void WithCover(int width, int height) {
    filmtest::WriteBytes(kCoverFile, CoverJpeg(width, height, QColor(150, 60, 40)));
    program.cardHasCover = 1;
  }
  Printout Print(std::vector<DialogAnswers::Step> steps) {
    DrawRecordsClear();
    DialogAnswers answers(std::move(steps));
    PrintCard();
    Printout out{DrawRecords(), answers.seen()};
    for (const DialogSeen& s : out.seen) EXPECT_FALSE(s.unexpected) << Utf8(s.caption);
    return out;
  }

  filmtest::ScratchDirectory dir_;
};

// The picture height of a w x h cover scaled to W / 8.39 wide, unrounded.
double PictureHeight(int w, int h) {
  const double s = w * 8.39 / static_cast<double>(kW);
  return h / s;
}

}  // namespace

TEST(PageUnits, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(PageXToPixels(1.5, 4800), 343);
  EXPECT_EQ(PageYToPixels(3.0, 4800), 485);
  EXPECT_EQ(PageYToPixels(1.0, 4800), 162);
  EXPECT_EQ(PageXToPixels(11.0, 4800), 2514);
  EXPECT_EQ(PageXToPixels(16.0, 4800), 3657);
  EXPECT_EQ(PageXToPixels(15.0, 4800), 3429);
  // W = 21: one unit is one pixel, and halves go to the even side.
  EXPECT_EQ(PageXToPixels(0.5, 21), 0);
  EXPECT_EQ(PageXToPixels(1.5, 21), 2);
  EXPECT_EQ(PageXToPixels(2.5, 21), 2);
  EXPECT_EQ(PageXToPixels(3.5, 21), 4);
  // 4795 / 14 is 342.5: "TITULO: " then stands at 342.
  EXPECT_EQ(PageXToPixels(1.5, 4795), 342);
  // Also in another rounding mode of the floating-point unit.
  const int mode = std::fegetround();
  std::fesetround(FE_UPWARD);
  EXPECT_EQ(PageXToPixels(2.5, 21), 2);
  EXPECT_EQ(PageXToPixels(1.5, 4800), 343);
  std::fesetround(FE_DOWNWARD);
  EXPECT_EQ(PageXToPixels(3.5, 21), 4);
  EXPECT_EQ(PageYToPixels(3.0, 4800), 485);
  std::fesetround(mode);
}

TEST_F(PrintCardTest, QuestionOnlyForACardWithItsOwnCover) {
  ShowTexts(ElSur());
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
  ShowTexts(ElSur());
  WithCover(400, 550);
  for (const DialogAnswers::Step& step :
       {DialogAnswers::Button(kAnswerCancel), DialogAnswers::Escape(), DialogAnswers::Close()}) {
    const Printout p = Print({step});
    ASSERT_EQ(p.seen.size(), 1u);
    // The job was started before asking; it ends with nothing on its page.
    EXPECT_EQ(p.Kinds(), (std::vector<DrawRecord::Kind>{DrawRecord::kJobStart, DrawRecord::kDrawStart,
                                                       DrawRecord::kDrawStop, DrawRecord::kJobStop}));
  }
}

TEST_F(PrintCardTest, CancelledPrintDialogDoesNothing) {
  ShowTexts(ElSur());
  WithCover(400, 550);
  PrinterUseRecorder(kW, false);
  const Printout p = Print({});
  EXPECT_TRUE(p.seen.empty());
  EXPECT_TRUE(p.records.empty());
}

TEST_F(PrintCardTest, LayoutWithTheCover) {
  const CardTexts card = ElSur();
  ShowTexts(card);
  WithCover(400, 550);
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});

  // The job, under the title, and its one drawing.
  ASSERT_GE(p.records.size(), 2u);
  EXPECT_EQ(p.records.front().kind, DrawRecord::kJobStart);
  EXPECT_EQ(p.records.front().text, "El sur");
  EXPECT_EQ(p.Of(DrawRecord::kJobStart).size(), 1u);
  EXPECT_EQ(p.Of(DrawRecord::kJobStop).size(), 1u);
  EXPECT_EQ(p.records.back().kind, DrawRecord::kJobStop);

  // The cover: image 999, W / 8.39 = 572.1 pixels wide, its proportions kept, at (15.0, 3.0).
  const auto pictures = p.Of(DrawRecord::kPicture);
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].x, 3429);
  EXPECT_EQ(pictures[0].y, 485);
  EXPECT_EQ(pictures[0].width, 572);
  EXPECT_EQ(pictures[0].height, std::llround(PictureHeight(400, 550)));  // 786.65
  EXPECT_EQ(pictures[0].image, ImageHandle(kPrintPictureImage));
  EXPECT_EQ(ImagePixelWidth(kPrintPictureImage), 572);
  EXPECT_EQ(ImagePixelHeight(kPrintPictureImage), 787);

  // The fonts, each made anew: bold labels, bold "ACTORES: ", italic cast, bold "SINOPSIS:",
  // regular synopsis, italic values; all Arial.
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  const bool bold[] = {true, true, false, true, false, false};
  const bool italic[] = {false, false, true, false, false, true};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE("font " + std::to_string(i + 1));
    EXPECT_EQ(segments[i].font.fontFace, "Arial");
    EXPECT_EQ(segments[i].font.bold, bold[i]);
    EXPECT_EQ(segments[i].font.italic, italic[i]);
    EXPECT_EQ(segments[i].font.fontPixelSize, segments[0].font.fontPixelSize);
  }

  // The fixed texts at their places.
  const std::vector<Placed> labels = {{"TITULO: ", X(1.5), Y(3.0)},
                                      {"GENERO: ", X(1.5), Y(4.0)},
                                      {"NACIONALIDAD: ", X(1.5), Y(5.0)},
                                      {"DIRECTOR: ", X(1.5), Y(6.0)}};
  ExpectPlaced(segments[0].texts, labels, "labels");
  EXPECT_EQ(segments[0].texts[0].x, 343);
  EXPECT_EQ(segments[0].texts[0].y, 485);
  ExpectPlaced(segments[1].texts, {{"ACTORES: ", X(1.5), Y(7.0)}}, "cast label");
  const std::vector<Placed> values = {{"El sur", X(3.5), Y(3.0)},
                                      {"Drama", X(4.0), Y(4.0)},
                                      {"Espa\xf1" "a", X(5.5), Y(5.0)},
                                      {"V\xed" "ctor Erice", X(4.2), Y(6.0)}};
  ExpectPlaced(segments[5].texts, values, "values");
  EXPECT_EQ(segments[5].texts[0].x, 800);
  EXPECT_EQ(segments[5].texts[0].y, 485);

  // The running texts.
  const Expected e = Lay(card, true, PictureHeight(400, 550));
  ExpectPlaced(segments[2].texts, e.cast, "cast");
  ASSERT_FALSE(segments[2].texts.empty());
  EXPECT_EQ(segments[2].texts[0].x, 914);
  EXPECT_EQ(segments[2].texts[0].y, 1131);
  ExpectPlaced(segments[3].texts, {{"SINOPSIS:", X(1.5), e.synopsisLabelY}}, "synopsis label");
  ExpectPlaced(segments[4].texts, e.synopsis, "synopsis");

  // Beside the picture the cast keeps left of 11.0 units (2514): its first line (y 1131, above
  // the picture's bottom at 485 + 786.65) breaks there; the next line is below it and runs to
  // 16.0 (3657).
  std::int64_t firstLineEnd = 0, secondLineEnd = 0;
  for (const DrawRecord& r : segments[2].texts) {
    if (r.y == 1131) {
      EXPECT_LE(r.x, 2514) << r.text;
    }
    if (r.y == 1131) firstLineEnd = std::max(firstLineEnd, r.x + r.width);
    if (r.y == 1131 + 162) secondLineEnd = std::max(secondLineEnd, r.x);
  }
  EXPECT_GT(firstLineEnd, 2514 - 900);
  EXPECT_GT(secondLineEnd, 2514) << "the limit did not widen below the picture";
  for (const DrawRecord& r : segments[4].texts) EXPECT_LE(r.x, 3657) << r.text;
}

TEST_F(PrintCardTest, LayoutWithoutTheCover) {
  const CardTexts card = ElSur();
  ShowTexts(card);
  WithCover(400, 550);
  const Printout no = Print({DialogAnswers::Button(kAnswerNo)});
  program.cardHasCover = 0;
  const Printout none = Print({});
  for (const Printout* p : {&no, &none}) {
    EXPECT_TRUE(p->Of(DrawRecord::kPicture).empty());
    const std::vector<Segment> segments = p->Segments();
    ASSERT_EQ(segments.size(), 6u);
    const Expected e = Lay(card, false, 0);
    ExpectPlaced(segments[2].texts, e.cast, "cast");
    ExpectPlaced(segments[3].texts, {{"SINOPSIS:", X(1.5), e.synopsisLabelY}}, "synopsis label");
    ExpectPlaced(segments[4].texts, e.synopsis, "synopsis");
    // The limit is 3657 from the first line: something on it starts beyond 2514.
    bool beyondNarrowLimit = false;
    for (const DrawRecord& r : segments[2].texts)
      if (r.y == 1131 && r.x > 2514) beyondNarrowLimit = true;
    EXPECT_TRUE(beyondNarrowLimit);
  }
  EXPECT_EQ(no.records.size(), none.records.size());
}

TEST_F(PrintCardTest, TheSynopsisWidensBelowATallPicture) {
  // A 400 x 1000 cover is 1430.3 pixels high: the synopsis keeps to 11.0 units until a line
  // starts below 1430.3 + 646 = 2076.3.
  CardTexts card = ElSur();
  card.cast = "Omero Antonutti";
  card.synopsis = card.synopsis + " " + card.synopsis + " " + card.synopsis;
  ShowTexts(card);
  WithCover(400, 1000);
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  const Expected e = Lay(card, true, PictureHeight(400, 1000));
  ExpectPlaced(segments[4].texts, e.synopsis, "synopsis");
  bool widened = false;
  for (const DrawRecord& r : segments[4].texts) {
    if (r.y <= 2076) {
      EXPECT_LE(r.x, 2514) << r.text << " at y " << r.y;
    }
    if (r.y > 2076 && r.x > 2514) widened = true;
  }
  EXPECT_TRUE(widened);
}

TEST_F(PrintCardTest, EmptyFieldsPrintOnlyTheLabelsAndOneComma) {
  ShowTexts({});
  const Printout p = Print({});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  EXPECT_EQ(segments[0].texts.size(), 4u);
  ExpectPlaced(segments[2].texts, {{", ", 914, 1131}}, "cast");
  ExpectPlaced(segments[3].texts, {{"SINOPSIS:", 343, 1131 + 323}}, "synopsis label");
  EXPECT_TRUE(segments[4].texts.empty());
  EXPECT_TRUE(segments[5].texts.empty());
}

TEST_F(PrintCardTest, RunningTextCases) {
  // One name; two spaces in a row; a line break inside the synopsis; a word wider than the
  // room left.
  CardTexts card = ElSur();
  card.cast = "Omero Antonutti";
  const Text wide(60, 'W');
  card.synopsis = "uno  dos tres\r\ncuatro cinco " + wide + " seis";
  ShowTexts(card);
  const Printout p = Print({});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  ExpectPlaced(segments[2].texts, {{"Omero Antonutti, ", 914, 1131}}, "cast");
  const std::int64_t y = 1131 + 323;
  const std::int64_t x0 = 914;
  const std::int64_t x1 = x0 + Measure(0, "uno ");
  const std::int64_t x2 = x1 + Measure(0, " ");  // the empty word between the two spaces
  const std::int64_t x3 = x2 + Measure(0, "dos ");
  const std::int64_t x4 = x3 + Measure(0, "trescuatro ");
  const std::int64_t x5 = x4 + Measure(0, "cinco ");
  ASSERT_LE(x5, 3657);
  ASSERT_GT(x5 + Measure(0, wide), 3657 + 1000) << "the long word is not wide enough";
  ExpectPlaced(segments[4].texts,
               {{"uno", x0, y}, {"dos", x2, y}, {"trescuatro", x3, y}, {"cinco", x4, y},
                {wide, x5, y}, {"seis", 914, y + 162}},
               "synopsis");
  ASSERT_EQ(segments[4].texts.size(), 6u);
  EXPECT_EQ(segments[4].texts[1].x - segments[4].texts[0].x,
            Measure(0, "uno ") + Measure(0, " "));
}

TEST_F(PrintCardTest, CastPiecesAreCutAtCarriageReturns) {
  // Spaces around a name go; a name's own leading spaces after the LF stay, as the cut leaves
  // them; an empty line is an item of its own.
  CardTexts card = ElSur();
  card.cast = "  Omero Antonutti  \r\n\r\nSonsoles Aranguren ";
  ShowTexts(card);
  const Printout p = Print({});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  const std::int64_t a = Measure(kFontItalic, "Omero Antonutti, ");
  const std::int64_t b = Measure(kFontItalic, ", ");
  ExpectPlaced(segments[2].texts,
               {{"Omero Antonutti, ", 914, 1131}, {", ", 914 + a, 1131},
                {"Sonsoles Aranguren, ", 914 + a + b, 1131}},
               "cast");
}

TEST_F(PrintCardTest, UnreadableCoverDrawsNothingAndWidensAtTheFirstNewLine) {
  const CardTexts card = ElSur();
  ShowTexts(card);
  filmtest::WriteBytes(kCoverFile, "<html>Error 500</html>");
  program.cardHasCover = 1;
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});
  EXPECT_TRUE(p.Of(DrawRecord::kPicture).empty());
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  const Expected e = Lay(card, true, 0);
  ExpectPlaced(segments[2].texts, e.cast, "cast");
  ExpectPlaced(segments[4].texts, e.synopsis, "synopsis");
}

TEST_F(PrintCardTest, TheFontFitsTheLineAndTheLabelsEndBeforeTheirValues) {
  ShowTexts(ElSur());
  WithCover(400, 550);
  const Printout p = Print({DialogAnswers::Button(kAnswerYes)});
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  // The recording output stands for a 600 dots-per-inch printer: W = 4800 is 8 inches.
  const double points = segments[0].font.fontPixelSize * 72.0 / 600.0;
  std::cout << "print font: " << segments[0].font.fontPixelSize << " pixels (" << points
            << " points) per character, line " << segments[0].font.lineHeight << " of pitch "
            << Y(1.0) << "\n";
  EXPECT_GE(points, 9.0);   // comfortable to read
  EXPECT_LE(points, 12.0);
  for (const Segment& s : segments) EXPECT_LE(s.font.lineHeight, Y(1.0)) << "a line overflows its pitch";

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

TEST_F(PrintCardTest, AVeryLongSynopsisStaysOnOnePage) {
  CardTexts card = ElSur();
  Text longSynopsis;
  for (int i = 0; i < 40; ++i) longSynopsis += card.synopsis + " ";
  card.synopsis = longSynopsis;
  ShowTexts(card);
  const Printout p = Print({});
  // One job with one drawing: the text that runs below the paper is lost, no page is added.
  EXPECT_EQ(p.Of(DrawRecord::kJobStart).size(), 1u);
  EXPECT_EQ(p.Of(DrawRecord::kDrawStart).size(), 1u);
  EXPECT_EQ(p.Of(DrawRecord::kJobStop).size(), 1u);
  const std::vector<Segment> segments = p.Segments();
  ASSERT_EQ(segments.size(), 6u);
  const Expected e = Lay(card, false, 0);
  ExpectPlaced(segments[4].texts, e.synopsis, "synopsis");
  const std::int64_t pageHeight = std::llround(kW * 29.7 / 21.0);
  EXPECT_GT(segments[4].texts.back().y, pageHeight);
  // The values are still drawn after it, in their places.
  ExpectPlaced(segments[5].texts,
               {{"El sur", X(3.5), Y(3.0)}, {"Drama", X(4.0), Y(4.0)},
                {"Espa\xf1" "a", X(5.5), Y(5.0)}, {"V\xed" "ctor Erice", X(4.2), Y(6.0)}},
               "values");
}

TEST_F(PrintCardTest, PrintedToPdfThroughThePrintDialog) {
  PrinterUseDialog();
  CardTexts card = ElSur();
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
  const double left = ink.left() - static_cast<double>(X(1.5, width)) * k;  // the printable area
  EXPECT_NEAR(brown.left() - ink.left(), static_cast<double>(X(15.0, width) - X(1.5, width)) * k, 3.0);
  // Nothing runs past the printable area's right edge.
  EXPECT_LE(ink.right(), left + static_cast<double>(width) * k + 1);
  EXPECT_LE(brown.right(), left + static_cast<double>(width) * k + 1);

  // A synopsis far longer than the page: still one page, the text below the paper lost.
  question.reset();  // its answers are used up; it would take the next print dialog
  Text longSynopsis;
  for (int i = 0; i < 40; ++i) longSynopsis += card.synopsis + " ";
  card.synopsis = longSynopsis;
  ShowTexts(card);
  const fs::path longPdf = dir_.path() / "larga.pdf";
  auto longAnswer = PrintDialogAnswer::PrintToPdf(QString::fromStdString(longPdf.string()));
  std::unique_ptr<DialogAnswers> longQuestion;
  longAnswer->onOpen = [&] {
    longQuestion = std::make_unique<DialogAnswers>(std::vector{DialogAnswers::Button(kAnswerNo)});
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
}
