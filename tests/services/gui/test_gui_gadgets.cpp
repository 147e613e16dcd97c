// The GUI layer's gadgets other than lists, on real widgets: option groups, texts of every byte,
// plain text everywhere, picture boxes, the link label, frames that block nothing, and the
// message box, file dialog and desktop hand-off.
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "app/embedded_pictures.h"
#include "services/images/images.h"
#include "services/text/qt_text.h"
#include "tests/services/gui/gui_test_support.h"
#include "tests/support/desktop_recorder.h"
#include "tests/support/dialogs.h"

using guitest::ClickWindowAt;
using guitest::GuiTest;
using guitest::OpenShown;
using guitest::Subtypes;
using guitest::TakeAll;

namespace {

class GuiGadgets : public GuiTest {
 protected:
  void TearDown() override {
    ImageFreeAll();
    GuiTest::TearDown();
  }
};
class GuiDialogs : public GuiTest {};

QRadioButton* Option(int n) { return qobject_cast<QRadioButton*>(GuiGadgetWidget(n)); }
// A click on the option's round mark, where the style draws it. An option takes clicks only on
// its mark and label: the middle of a wide option with a short label is blank with a narrow font.
void ClickOption(int n) {
  QRadioButton* option = Option(n);
  QStyleOptionButton look;
  look.initFrom(option);
  QTest::mouseClick(option, Qt::LeftButton, Qt::NoModifier,
                    option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &look, option)
                        .center());
}

// Every byte a text may hold: 1 to 255.
Text EveryByte() {
  Text t;
  for (int b = 1; b <= 255; ++b) t.push_back(static_cast<char>(b));
  return t;
}

}  // namespace

// --- Option buttons -----------------------------------------------------------------------

TEST_F(GuiGadgets, OptionsMadeOneAfterAnotherFormOneGroup) {
  OpenShown(1);
  GadgetCreateOption(26, 10, 10, 120, 20, "Usar Culturalia"_t);
  GadgetCreateOption(27, 10, 30, 120, 20, "Usar IMDB"_t);
  GadgetCreateButton(3, 10, 60, 80, 25, "Buscar"_t);  // ends the group
  GadgetCreateOption(40, 150, 10, 120, 20, "otro A"_t);
  GadgetCreateOption(41, 150, 30, 120, 20, "otro B"_t);

  GadgetSetState(26, std::int64_t{1});
  GadgetSetState(40, std::int64_t{1});
  EXPECT_EQ(GadgetGetState(26), 1);
  EXPECT_EQ(GadgetGetState(40), 1);
  EXPECT_TRUE(TakeAll().empty());  // set by the program: no event

  // A click selects it, clears the rest of its group only, and raises subtype 0.
  ClickOption(27);
  EXPECT_EQ(GadgetGetState(27), 1);
  EXPECT_EQ(GadgetGetState(26), 0);
  EXPECT_EQ(GadgetGetState(40), 1);
  std::vector<Event> events = TakeAll();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, GadgetActivity);
  EXPECT_EQ(events[0].number, 27);
  EXPECT_EQ(events[0].subtype, 0);
  EXPECT_EQ(events[0].window, 1);

  // Clicking the selected one again keeps it selected and raises the event again.
  ClickOption(27);
  EXPECT_EQ(GadgetGetState(27), 1);
  EXPECT_EQ(Subtypes(TakeAll(), 27), (std::vector<int>{0}));

  // By the program: selecting one clears the others; 0 clears it alone.
  GadgetSetState(26, std::int64_t{1});
  EXPECT_EQ(GadgetGetState(26), 1);
  EXPECT_EQ(GadgetGetState(27), 0);
  GadgetSetState(26, std::int64_t{0});
  EXPECT_EQ(GadgetGetState(26), 0);
  EXPECT_EQ(GadgetGetState(27), 0);

  // The other group.
  ClickOption(41);
  EXPECT_EQ(GadgetGetState(41), 1);
  EXPECT_EQ(GadgetGetState(40), 0);
  // Space on the focused option works as a click.
  Option(26)->setFocus();
  TakeAll();
  QTest::keyClick(Option(26), Qt::Key_Space);
  EXPECT_EQ(GadgetGetState(26), 1);
  EXPECT_EQ(Subtypes(TakeAll(), 26), (std::vector<int>{0}));
  EXPECT_EQ(GadgetGetState(41), 1);

  // An option made again under its number, right after its group, is still one of the group.
  GadgetSetState(40, std::int64_t{1});
  GadgetCreateOption(41, 150, 30, 120, 20, "otro B"_t);
  GadgetSetState(41, std::int64_t{1});
  EXPECT_EQ(GadgetGetState(40), 0);
}

TEST_F(GuiGadgets, BackColourIsIgnoredByOptionsAndFrames) {
  OpenShown(1);
  GadgetCreateOption(1, 10, 10, 120, 20, "a"_t);
  GadgetCreateFrame(2, 0, 0, 200, 100, "b"_t);
  const QPalette before1 = GuiGadgetWidget(1)->palette();
  const QPalette before2 = GuiGadgetWidget(2)->palette();
  GadgetSetBackColour(1, Rgb{255, 0, 0});
  GadgetSetBackColour(2, Rgb{255, 0, 0});
  EXPECT_EQ(GuiGadgetWidget(1)->palette(), before1);
  EXPECT_EQ(GuiGadgetWidget(2)->palette(), before2);
  EXPECT_FALSE(GuiGadgetWidget(1)->autoFillBackground());
  EXPECT_FALSE(GuiGadgetWidget(2)->autoFillBackground());
}

// --- Texts --------------------------------------------------------------------------------

TEST_F(GuiGadgets, EveryWindows1252ByteSurvivesSetTextAndGetText) {
  OpenShown(1);
  GadgetCreateTextField(2, 0, 0, 300, 20, ""_t, 0);
  GadgetCreateTextField(3, 0, 30, 300, 20, ""_t, kTextFieldReadOnly | kTextFieldBorderless);
  GadgetCreateButton(4, 0, 60, 100, 20, ""_t);
  GadgetCreateLabel(5, 0, 90, 300, 60, ""_t, 0);
  GadgetCreateFrame(6, 0, 160, 300, 40, ""_t);
  GadgetCreateOption(7, 0, 210, 300, 20, ""_t);
  GadgetCreateLink(8, 0, 240, 300, 20, ""_t, Rgb{0, 0, 255});
  const Text all = EveryByte();
  // Bytes 32 to 255: the printable ones, including the five that Windows-1252 leaves undefined
  // (0x81, 0x8D, 0x8F, 0x90, 0x9D), which must come back as themselves.
  const Text printable = all.substr(31);
  for (int g = 2; g <= 8; ++g) {
    GadgetSetText(g, printable);
    EXPECT_EQ(GadgetGetText(g), printable) << "gadget " << g;
  }
  // Every byte 1 to 255 in a one-line field: control bytes included, none lost or changed.
  GadgetSetText(2, all);
  const Text back = GadgetGetText(2);
  EXPECT_EQ(back.size(), all.size());
  EXPECT_EQ(back, all);
  // The bytes that are letters in Windows-1252 and elsewhere in Latin-1 show as their letters.
  auto* field = qobject_cast<QLineEdit*>(GuiGadgetWidget(2));
  GadgetSetText(2, Text("\x80\x8A\x9F\xE9\xF1"));
  EXPECT_EQ(field->text(), QString::fromUtf8("€ŠŸéñ"));
  // Typed text comes back as Windows-1252 bytes.
  field->clear();
  for (const QChar c : QString::fromUtf8("Añadir €"))
    QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
  EXPECT_EQ(GadgetGetText(2), "A\xF1""adir \x80");
}

TEST_F(GuiGadgets, MultiLineFieldsAndLabelsKeepTheirLineBreaks) {
  OpenShown(1);
  GadgetCreateTextField(23, 0, 0, 175, 195, ""_t,
                        kTextFieldReadOnly | kTextFieldMultiLine | kTextFieldBorderless);
  GadgetCreateLabel(34, 0, 200, 335, 80, ""_t, 0);
  GadgetSetText(23, "uno\r\ndos\r\ntres"_t);
  EXPECT_EQ(GadgetGetText(23), "uno\r\ndos\r\ntres");
  EXPECT_EQ(qobject_cast<QPlainTextEdit*>(GuiGadgetWidget(23))->toPlainText(), "uno\ndos\ntres");
  GadgetSetText(34, "uno\r\ndos"_t);
  EXPECT_EQ(GadgetGetText(34), "uno\r\ndos");
  EXPECT_EQ(qobject_cast<QLabel*>(GuiGadgetWidget(34))->text(), "uno\ndos");
}

TEST_F(GuiGadgets, MarkupIsShownAsItsCharacters) {
  const Text markup = "<b>x</b> <img src=\"http://h/a.png\"> &amp; <a href=\"y\">z</a>"_t;
  const QString shown = TextToQString(markup);
  OpenShown(1);
  WindowSetTitle(1, markup);
  GadgetCreateLabel(2, 0, 0, 380, 40, markup, 0);
  GadgetCreateLabel(3, 0, 40, 380, 40, markup, kLabelCentred);
  GadgetCreateLink(4, 0, 80, 380, 20, markup, Rgb{0, 0, 255});
  GadgetCreateButton(5, 0, 100, 380, 25, markup);
  GadgetCreateFrame(6, 0, 130, 380, 40, markup);
  GadgetCreateOption(7, 0, 175, 380, 20, markup);
  GadgetCreateTextField(8, 0, 200, 380, 20, markup, kTextFieldReadOnly);
  GadgetCreateTextField(9, 0, 225, 380, 40, markup, kTextFieldMultiLine);
  GadgetCreateList(10, 0, 270, 380, 30, markup, 300, 0);
  ListAddRow(10, -1, markup);

  EXPECT_EQ(GuiWindowClient(1)->windowTitle(), shown);
  for (int g : {2, 3, 4}) {
    auto* label = qobject_cast<QLabel*>(GuiGadgetWidget(g));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << g;
    EXPECT_EQ(label->text(), shown) << g;
    EXPECT_FALSE(label->openExternalLinks()) << g;
  }
  // Labels that were changed later stay plain as well.
  GadgetSetText(2, "<i>otra</i>"_t);
  EXPECT_EQ(qobject_cast<QLabel*>(GuiGadgetWidget(2))->textFormat(), Qt::PlainText);
  // Buttons, frames and options would take "&" as a mnemonic and show "&amp;" as an underlined
  // "amp;": each "&" must stand for itself.
  QString doubled = shown;
  doubled.replace("&", "&&");
  EXPECT_EQ(qobject_cast<QPushButton*>(GuiGadgetWidget(5))->text(), doubled);
  EXPECT_EQ(qobject_cast<QGroupBox*>(GuiGadgetWidget(6))->title(), doubled);
  EXPECT_EQ(qobject_cast<QRadioButton*>(GuiGadgetWidget(7))->text(), doubled);
  for (int g : {5, 6, 7}) EXPECT_EQ(GadgetGetText(g), markup) << g;
  GadgetSetText(5, "Tom & Jerry"_t);
  EXPECT_EQ(GadgetGetText(5), "Tom & Jerry");
  EXPECT_EQ(qobject_cast<QPushButton*>(GuiGadgetWidget(5))->text(), "Tom && Jerry");
  EXPECT_EQ(qobject_cast<QLineEdit*>(GuiGadgetWidget(8))->text(), shown);
  EXPECT_EQ(qobject_cast<QPlainTextEdit*>(GuiGadgetWidget(9))->toPlainText(), shown);
  EXPECT_EQ(GuiListModel(10)->Cell(0, 0), shown);
  EXPECT_EQ(GadgetGetText(3), markup);

  // What it looks like: a bold "x" would be as wide as the plain text's first letters are not.
  auto* label = qobject_cast<QLabel*>(GuiGadgetWidget(3));
  QLabel reference;
  reference.setTextFormat(Qt::RichText);
  reference.setFont(label->font());
  reference.setText(shown);
  EXPECT_GT(label->sizeHint().width(), reference.sizeHint().width());
  QDir().mkpath(TEST_OUTPUT_DIR);
  GuiWindowClient(1)->grab().save(QStringLiteral(TEST_OUTPUT_DIR) + "/gui_plain_text.png");
}

// --- Labels -------------------------------------------------------------------------------

TEST_F(GuiGadgets, LabelsWrapAtTheirWidthAndCutWhatDoesNotFit) {
  OpenShown(1, 400, 400);
  GadgetCreateLabel(34, 10, 10, 200, 60, ""_t, 0);
  GadgetCreateLabel(35, 10, 100, 200, 60, ""_t, kLabelCentred);
  auto* synopsis = qobject_cast<QLabel*>(GuiGadgetWidget(34));
  auto* busy = qobject_cast<QLabel*>(GuiGadgetWidget(35));
  EXPECT_TRUE(synopsis->wordWrap());
  EXPECT_TRUE(busy->wordWrap());
  EXPECT_TRUE(synopsis->alignment() & Qt::AlignLeft);
  EXPECT_TRUE(synopsis->alignment() & Qt::AlignTop);
  EXPECT_TRUE(busy->alignment() & Qt::AlignHCenter);
  Text longText;
  for (int i = 0; i < 60; ++i) longText += "palabra ";
  GadgetSetText(34, longText);
  // The label keeps its size: what is below its height is cut, never scrolled or grown.
  EXPECT_EQ(synopsis->size(), QSize(200, 60));
  EXPECT_GT(synopsis->heightForWidth(200), 60);
}

// --- Picture boxes and picture buttons ----------------------------------------------------

TEST_F(GuiGadgets, APictureBoxTakesTheSizeOfItsPictureAndErasesWithNone) {
  const EmbeddedPicture power = PowerIconPicture();
  const EmbeddedPicture cover = NoCoverPicture();
  ImageHandle_t small = ImageFromMemory(1, power.data, power.size);
  ImageHandle_t large = ImageFromMemory(2, cover.data, cover.size);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  QWidget* window = OpenShown(1, 400, 400);
  WindowSetBackColour(1, Rgb{255, 245, 206});
  GadgetCreatePicture(24, 50, 60, 200, 275, small);
  auto* box = qobject_cast<QLabel*>(GuiGadgetWidget(24));
  EXPECT_EQ(box->geometry(), QRect(50, 60, 32, 32));
  EXPECT_EQ(GadgetGetState(24), reinterpret_cast<std::intptr_t>(small));
  GadgetSetState(24, large);
  EXPECT_EQ(box->geometry(), QRect(50, 60, 200, 275));
  // A later resize changes the box, not the picture.
  GadgetResize(24, kLeaveUnchanged, kLeaveUnchanged, 100, 100);
  EXPECT_EQ(box->geometry(), QRect(50, 60, 100, 100));
  EXPECT_EQ(box->pixmap().size(), QSize(200, 275));
  GadgetResize(24, 5, kLeaveUnchanged, kLeaveUnchanged, kLeaveUnchanged);
  EXPECT_EQ(box->geometry(), QRect(5, 60, 100, 100));
  // The picture is a copy: freeing the image leaves the box showing it.
  ImageFree(2);
  EXPECT_FALSE(box->pixmap().isNull());
  // None: the area shows the window's background.
  GadgetSetState(24, ImageHandle_t{nullptr});
  EXPECT_TRUE(box->pixmap().isNull());
  EXPECT_EQ(GadgetGetState(24), 0);
  QApplication::processEvents();
  const QImage shot = window->grab().toImage();
  EXPECT_EQ(shot.pixelColor(30, 90), QColor(255, 245, 206));
  // A box made with no picture keeps the size it was given.
  GadgetCreatePicture(25, 200, 10, 50, 40, nullptr);
  EXPECT_EQ(GuiGadgetWidget(25)->geometry(), QRect(200, 10, 50, 40));
  EXPECT_EQ(GuiGadgetWidget(24)->focusPolicy(), Qt::NoFocus);
}

TEST_F(GuiGadgets, APictureButtonShowsItsPictureAndRaisesZero) {
  const EmbeddedPicture power = PowerIconPicture();
  ImageHandle_t icon = ImageFromMemory(2, power.data, power.size);
  OpenShown(1);
  GadgetCreatePictureButton(11, 165, 10, 45, 40, icon);
  auto* button = qobject_cast<QPushButton*>(GuiGadgetWidget(11));
  EXPECT_FALSE(button->icon().isNull());
  EXPECT_EQ(button->iconSize(), QSize(32, 32));
  EXPECT_EQ(button->geometry(), QRect(165, 10, 45, 40));
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(Subtypes(TakeAll(), 11), (std::vector<int>{0}));
  // The keyboard presses it too, as Space on a focused button.
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Space);
  EXPECT_EQ(Subtypes(TakeAll(), 11), (std::vector<int>{0}));
}

// --- The link label -----------------------------------------------------------------------

TEST_F(GuiGadgets, TheLinkLabelTurnsBlueUnderThePointerAndRaisesZeroOnRelease) {
  OpenShown(1);
  GadgetCreateLink(12, 60, 20, 90, 20, "Equipo Cinevarta 2004"_t, Rgb{0, 0, 255});
  QWidget* link = GuiGadgetWidget(12);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
  // The pointer enters and leaves (as the window system reports it; offscreen has no hover).
  QEnterEvent enter(QPointF(5, 5), QPointF(65, 25), QPointF(65, 25));
  QApplication::sendEvent(link, &enter);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(link, &leave);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::black));

  // Pressing raises nothing; releasing the left button over it raises 0.
  QTest::mousePress(link, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(TakeAll().empty());
  QTest::mouseRelease(link, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  std::vector<Event> events = TakeAll();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, GadgetActivity);
  EXPECT_EQ(events[0].number, 12);
  EXPECT_EQ(events[0].subtype, 0);
  // Released elsewhere, or another button: nothing.
  QTest::mousePress(link, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseRelease(link, Qt::LeftButton, Qt::NoModifier, QPoint(200, 10));
  QTest::mouseClick(link, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_TRUE(TakeAll().empty());
}

// --- Frames -------------------------------------------------------------------------------

TEST_F(GuiGadgets, FramesBlockAndHideNothingWhicheverWasMadeFirst) {
  QWidget* window = OpenShown(1, 400, 300);
  // A button made before the frame that covers it, and one made after inside it.
  GadgetCreateButton(3, 0, 40, 90, 25, "antes"_t);  // across the frame's left edge
  GadgetCreateFrame(13, 5, 10, 300, 200, "FICHA TÉCNICA"_t);
  GadgetCreateButton(4, 20, 100, 90, 25, "después"_t);
  GadgetCreateTextField(5, 20, 150, 150, 20, "campo"_t, 0);
  GadgetCreateFrame(14, 15, 140, 200, 40, "TÍTULO"_t);  // a frame inside a frame, over the field
  QApplication::processEvents();

  // The window system's clicks land on the buttons, not on the frames.
  ClickWindowAt(window, QPoint(45, 52));
  ClickWindowAt(window, QPoint(65, 112));
  std::vector<Event> events = TakeAll();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].number, 3);
  EXPECT_EQ(events[1].number, 4);
  // A click on a frame's own area raises nothing and moves no focus to it.
  ClickWindowAt(window, QPoint(250, 100));
  ClickWindowAt(window, QPoint(16, 11));
  EXPECT_TRUE(TakeAll().empty());
  ClickWindowAt(window, QPoint(60, 160));
  EXPECT_TRUE(GadgetHasFocus(5));
  for (int f : {13, 14}) {
    EXPECT_EQ(GuiGadgetWidget(f)->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(GadgetHasFocus(f));
  }
  // Drawn under the gadgets: where a frame's border runs across a gadget, the gadget's pixels
  // are the same with the frames there and with them hidden.
  const QImage shot = window->grab().toImage();
  QDir().mkpath(TEST_OUTPUT_DIR);
  shot.save(QStringLiteral(TEST_OUTPUT_DIR) + "/gui_frames.png");
  GadgetHide(13, true);
  GadgetHide(14, true);
  const QImage bare = window->grab().toImage();
  for (int g : {3, 5}) {
    const QRect inside = GuiGadgetWidget(g)->geometry().adjusted(3, 3, -3, -3);
    EXPECT_EQ(shot.copy(inside), bare.copy(inside)) << "gadget " << g;
  }
  // And the frames do draw there when the gadget is gone: the check above can see them.
  GadgetHide(13, false);
  GadgetHide(3, true);
  const QImage frameOnly = window->grab().toImage();
  GadgetHide(13, true);
  const QImage nothing = window->grab().toImage();
  const QRect where = QRect(0, 40, 90, 25).adjusted(3, 3, -3, -3);
  EXPECT_NE(frameOnly.copy(where), nothing.copy(where));
}

// --- Message boxes, the file dialog and the desktop ---------------------------------------

TEST_F(GuiDialogs, MessageAskAnswersByItsButtons) {
  OpenShown(1);
  struct Case {
    int buttons;
    DialogAnswers::Step step;
    int answer;
    QMessageBox::Icon icon;
    QStringList texts;
  };
  const QStringList yesNo{QString::fromUtf8("Sí"), "No"};
  const QStringList yesNoCancel{QString::fromUtf8("Sí"), "No", "Cancelar"};
  const Case cases[] = {
      {kAskYesNo, DialogAnswers::Button(kAnswerYes), kAnswerYes, QMessageBox::NoIcon, yesNo},
      {kAskYesNo, DialogAnswers::Button(kAnswerNo), kAnswerNo, QMessageBox::NoIcon, yesNo},
      {kAskYesNoCancelQuestion, DialogAnswers::Button(kAnswerYes), kAnswerYes,
       QMessageBox::Question, yesNoCancel},
      {kAskYesNoCancelQuestion, DialogAnswers::Button(kAnswerNo), kAnswerNo,
       QMessageBox::Question, yesNoCancel},
      {kAskYesNoCancelQuestion, DialogAnswers::Button(kAnswerCancel), kAnswerCancel,
       QMessageBox::Question, yesNoCancel},
      {kAskYesNoCancelQuestion, DialogAnswers::Escape(), kAnswerCancel, QMessageBox::Question,
       yesNoCancel},
      {kAskYesNoCancelQuestion, DialogAnswers::Close(), kAnswerCancel, QMessageBox::Question,
       yesNoCancel},
      {kAskOkInformation, DialogAnswers::Button(kAnswerOk), kAnswerOk, QMessageBox::Information,
       {"Aceptar"}},
      {kAskOkInformation, DialogAnswers::Escape(), kAnswerOk, QMessageBox::Information,
       {"Aceptar"}},
  };
  for (const Case& c : cases) {
    DialogAnswers answers({c.step});
    const int answer = MessageAsk("Título <b>x</b>"_t, "Línea uno\r\n<img src=\"a.png\">"_t,
                                  c.buttons);
    ASSERT_EQ(answers.seen().size(), 1u) << c.buttons;
    const DialogSeen& seen = answers.seen()[0];
    EXPECT_FALSE(seen.unexpected);
    EXPECT_FALSE(seen.buttonMissing);
    EXPECT_EQ(answer, c.answer) << c.buttons << " step " << c.step.action;
    EXPECT_EQ(seen.icon, c.icon) << c.buttons;
    QStringList shownButtons = seen.buttons;  // their order is the desktop style's
    shownButtons.sort();
    QStringList wanted = c.texts;
    wanted.sort();
    EXPECT_EQ(shownButtons, wanted) << c.buttons;
    EXPECT_EQ(seen.caption, QString::fromUtf8("Título <b>x</b>"));
    EXPECT_EQ(seen.text, QString::fromUtf8("Línea uno\n<img src=\"a.png\">"));
    EXPECT_EQ(seen.textFormat, Qt::PlainText);
    EXPECT_TRUE(seen.applicationModal);
  }
  // A Yes/No box cannot be closed without an answer: Escape does nothing there.
  {
    DialogAnswers answers({DialogAnswers::Escape()});
    const int answer = MessageAsk("c"_t, "t"_t, kAskYesNo);
    EXPECT_TRUE(answer == kAnswerYes || answer == kAnswerNo);
  }
  EXPECT_TRUE(TakeAll().empty());
}

// The toolkit's own dialogs read in Spanish whatever the locale (the tests run under C.UTF-8):
// each is rendered to a PNG, the texts of its buttons and labels are read, and it is closed.
TEST_F(GuiDialogs, TheToolkitsOwnDialogsSpeakSpanish) {
  OpenShown(1);
  QDir().mkpath(TEST_OUTPUT_DIR);
  QStringList texts;
  auto readAndClose = [&texts](const QString& png) {
    auto* look = new QTimer;
    QObject::connect(look, &QTimer::timeout, [look, &texts, png] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      look->deleteLater();
      look->stop();
      dialog->grab().save(QStringLiteral(TEST_OUTPUT_DIR) + png);
      texts.clear();
      for (auto* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisible()) texts << b->text().remove('&');
      for (auto* l : dialog->findChildren<QLabel*>())
        if (l->isVisible()) texts << l->text().remove('&');
      dialog->reject();
    });
    look->start(50);
  };
  readAndClose("/gui_dialog_save.png");
  SaveFileDialog("Elige nombre de archivo a grabar"_t, "Portada.jpg"_t, "jpg (*.jpg)|*.*"_t, 0);
  for (const char* t : {"Guardar", "Cancelar", "Ver en:", "Nombre de fichero:"})
    EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t << ": " << texts.join('|').toStdString();
  readAndClose("/gui_dialog_print.png");
  QPrinter printer;
  QPrintDialog print(&printer);
  print.exec();
  for (const char* t : {"Imprimir", "Cancelar", "Propiedades"})
    EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t << ": " << texts.join('|').toStdString();
}

TEST_F(GuiDialogs, SaveFileDialogProposesTheNameAndLeavesTheWorkingDirectory) {
  const std::filesystem::path before = std::filesystem::current_path();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "cinevarta-gui-save";
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  { std::ofstream(dir / "existe.jpg") << "x"; }
  OpenShown(1);
  const Text patterns = "Imagen JPEG|*.jpg|Todos los archivos|*.*"_t;
  {
    DialogAnswers answers({DialogAnswers::FileName(std::string("existe.jpg"))});
    const Text chosen = SaveFileDialog("Elige nombre de archivo a grabar"_t, "Portada.jpg"_t,
                                       patterns, 1);
    ASSERT_EQ(answers.seen().size(), 1u);
    const DialogSeen& seen = answers.seen()[0];
    EXPECT_EQ(seen.caption, "Elige nombre de archivo a grabar");
    EXPECT_EQ(seen.text, "Portada.jpg");
    EXPECT_EQ(seen.nameFilters, (QStringList{"Imagen JPEG (*.jpg)", "Todos los archivos (*.*)"}));
    EXPECT_EQ(seen.selectedNameFilter, "Todos los archivos (*.*)");
    EXPECT_EQ(std::filesystem::path(seen.directory.toStdString()), dir);
    EXPECT_FALSE(seen.confirmsOverwrite);  // an existing file is not asked about
    EXPECT_FALSE(seen.nativeDialog);
    EXPECT_EQ(chosen, TextFromUtf8((dir / "existe.jpg").string()));
  }
  EXPECT_EQ(std::filesystem::current_path(), dir);
  {
    DialogAnswers answers({DialogAnswers::Escape()});
    EXPECT_EQ(SaveFileDialog("t"_t, "Portada.jpg"_t, patterns, 0), "");
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].selectedNameFilter, "Imagen JPEG (*.jpg)");
  }
  // A proposed name with a folder opens in that folder.
  std::filesystem::create_directories(dir / "sub");
  {
    DialogAnswers answers({DialogAnswers::Escape()});
    SaveFileDialog("t"_t, TextFromUtf8((dir / "sub" / "Portada.jpg").string()), patterns, 0);
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(std::filesystem::path(answers.seen()[0].directory.toStdString()), dir / "sub");
    EXPECT_EQ(answers.seen()[0].text, "Portada.jpg");
  }
  // A path longer than the program's 260 characters comes back as a cancel, never cut short.
  const std::filesystem::path deep = dir / std::string(120, 'd') / std::string(120, 'e');
  std::filesystem::create_directories(deep);
  {
    DialogAnswers answers({DialogAnswers::FileName((deep / "Portada.jpg").string())});
    EXPECT_EQ(SaveFileDialog("t"_t, "Portada.jpg"_t, patterns, 0), "");
    EXPECT_TRUE(answers.allAnswered());
  }
  EXPECT_EQ(std::filesystem::current_path(), dir);
  std::filesystem::current_path(before);
  std::filesystem::remove_all(dir);
}

using testsupport::DesktopRecorder;

TEST_F(GuiDialogs, OpenWithShellHandsTheAddressToTheDesktopAndReturns) {
  DesktopRecorder recorder;
  QDesktopServices::setUrlHandler("http", &recorder, "Open");
  OpenWithShell("http://www.cinevarta.example/"_t);
  OpenWithShell(""_t);  // nothing to open
  QDesktopServices::unsetUrlHandler("http");
  ASSERT_EQ(recorder.opened.size(), 1);
  EXPECT_EQ(recorder.opened[0], QUrl("http://www.cinevarta.example/"));
  EXPECT_TRUE(TakeAll().empty());
}

