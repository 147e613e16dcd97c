// The busy window on the whole program: its frame, its two-line message with the source's tag,
// the order in which it locks and frees the main window, clicks lost while it shows, and a PNG.
#include <QAccessible>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <initializer_list>

#include "program/gadgets.h"
#include "program/variables.h"
#include "app/shell.h"
#include "program/busy_window.h"
#include "services/gui/gui_qt.h"
#include "services/text/qt_text.h"
#include "tests/support/app_fixture.h"

namespace {

class BusyWindow : public AppFixture {};

// What the windows look like at one moment.
struct Seen {
  bool taken = false;
  bool busyShown = false;
  QString label;
  bool mainEnabled = false;
  bool titlesEnabled = false;
  bool topmost = false;
};

Seen Look() {
  Seen s;
  s.taken = true;
  QWidget* busy = GuiWindowClient(kBusyWindow);
  s.busyShown = busy != nullptr && busy->isVisible();
  s.topmost = busy != nullptr && (busy->windowFlags() & Qt::WindowStaysOnTopHint);
  if (auto* label = qobject_cast<QLabel*>(GuiGadgetWidget(kBusyLabel))) s.label = label->text();
  s.mainEnabled = GuiWindowEnabled(kMainWindow);
  s.titlesEnabled = GuiGadgetWidget(kTitlesList)->isEnabled();
  return s;
}

// Calls `then` when the widget is hidden.
class OnHide : public QObject {
 public:
  OnHide(QWidget* widget, std::function<void()> then) : then_(std::move(then)) {
    widget->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Hide) then_();
    return false;
  }

 private:
  std::function<void()> then_;
};

}  // namespace

// The pixels of `after` that differ from `before`, outside some rectangles.
int ChangedOutside(const QImage& before, const QImage& after, std::initializer_list<QRect> except) {
  int changed = 0;
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x)
      if (before.pixel(x, y) != after.pixel(x, y) &&
          std::none_of(except.begin(), except.end(), [&](const QRect& r) { return r.contains(x, y); }))
        ++changed;
  return changed;
}

TEST_F(BusyWindow, ShowsTheTwoLinesAboveTheLockedMainWindow) {
  QWidget* main = app().Window(kMainWindow);
  app().Pump();  // the lists' pending layout, done before a person sees the window
  const QImage unlocked = main->grab().toImage();
  BusyMessage(1, "Buscando Posibles Títulos..."_t);
  QWidget* busy = app().Window(kBusyWindow);
  ASSERT_NE(busy, nullptr);
  EXPECT_TRUE(busy->isVisible());
  EXPECT_EQ(busy->windowTitle(), "Procesando...");
  EXPECT_EQ(busy->size(), QSize(400, 105));
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(busy->windowFlags() & Qt::WindowStaysOnTopHint);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_NEAR(busy->frameGeometry().center().x(), screen.center().x(), 12);

  auto* label = qobject_cast<QLabel*>(app().Widget(kBusyLabel));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->parentWidget(), busy);
  EXPECT_EQ(label->geometry(), QRect(15, 30, 365, 600));
  EXPECT_EQ(GadgetGetText(kBusyLabel), "Buscando Posibles Títulos...\r\n(CULTURALIA)"_t);
  EXPECT_EQ(label->text(), QString::fromUtf8("Buscando Posibles Títulos...\n(CULTURALIA)"));
  EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
  EXPECT_TRUE(label->wordWrap());
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_EQ(label->font().family(), "Arial");
  EXPECT_TRUE(label->font().bold());
  const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
  EXPECT_EQ(label->font().pixelSize(), qRound(14 * dpi / 72.0));

  EXPECT_FALSE(GuiWindowEnabled(kMainWindow));
  EXPECT_FALSE(app().Widget(kTitlesList)->isEnabled());
  EXPECT_TRUE(app().Window(kMainWindow)->isVisible());  // locked, still shown
  // Locked, not greyed: every pixel of the window is as it was, but for the titles list and the
  // search field, whose selection shows in its inactive colour while the busy window is active.
  const QImage locked = main->grab().toImage();
  const QRect titles = app().Widget(kTitlesList)->geometry();
  const QRect search = app().Widget(kSearchField)->geometry();
  EXPECT_EQ(ChangedOutside(unlocked, locked, {titles, search}), 0);
  EXPECT_GT(ChangedOutside(unlocked, locked, {search}), 0);

  QDir().mkpath(TEST_OUTPUT_DIR);
  ASSERT_TRUE(busy->grab().save(QStringLiteral(TEST_OUTPUT_DIR) + "/busy_window.png"));

  BusyMessage(0, ""_t);
  EXPECT_FALSE(busy->isVisible());
  EXPECT_NE(app().Window(kBusyWindow), nullptr);  // hidden, not destroyed
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(GuiWindowEnabled(kMainWindow));
  EXPECT_TRUE(app().Widget(kTitlesList)->isEnabled());
}

TEST_F(BusyWindow, TheTagFollowsTheSourceAndEachShowingIsAFreshWindow) {
  program.currentSource = kSourceImdb;
  BusyMessage(1, "Cargando Datos de la Pelicula..."_t);
  EXPECT_EQ(GadgetGetText(kBusyLabel), "Cargando Datos de la Pelicula...\r\n(IMDB)");
  QPointer<QWidget> first = app().Window(kBusyWindow);
  QPointer<QWidget> firstLabel = app().Widget(kBusyLabel);
  BusyMessage(0, ""_t);
  program.currentSource = kSourceCulturalia;
  BusyMessage(1, "Cargando Datos de la Pelicula..."_t);
  EXPECT_TRUE(first.isNull());
  EXPECT_TRUE(firstLabel.isNull());
  EXPECT_EQ(GadgetGetText(kBusyLabel), "Cargando Datos de la Pelicula...\r\n(CULTURALIA)");
  // Only exactly 1 shows: any other value hides.
  BusyMessage(2, "x"_t);
  EXPECT_FALSE(app().Window(kBusyWindow)->isVisible());
  EXPECT_TRUE(GuiWindowEnabled(kMainWindow));
}

TEST_F(BusyWindow, AHideWithoutAShowOnlyEnablesTheMainWindowAndTheList) {
  GadgetSetEnabled(kTitlesList, false);
  WindowSetEnabled(kMainWindow, false);
  BusyMessage(0, ""_t);
  EXPECT_EQ(app().Window(kBusyWindow), nullptr);
  EXPECT_TRUE(GuiWindowEnabled(kMainWindow));
  EXPECT_TRUE(app().Widget(kTitlesList)->isEnabled());
}

TEST_F(BusyWindow, StepsComeInTheirOrder) {
  // A timer set now fires in the first flush, which comes when the busy window is shown: the
  // titles list is off already, the main window not yet, and the label has its first text.
  Seen showing;
  QTimer::singleShot(0, [&] { showing = Look(); });
  BusyMessage(1, "Buscando Posibles Títulos..."_t);
  ASSERT_TRUE(showing.taken);
  EXPECT_TRUE(showing.busyShown);
  EXPECT_EQ(showing.label, "Text_Mensaje");
  EXPECT_FALSE(showing.titlesEnabled);
  EXPECT_TRUE(showing.mainEnabled);
  EXPECT_FALSE(showing.topmost);
  const Seen shown = Look();
  EXPECT_FALSE(shown.mainEnabled);
  EXPECT_TRUE(shown.topmost);
  EXPECT_EQ(shown.label, QString::fromUtf8("Buscando Posibles Títulos...\n(CULTURALIA)"));

  // Hiding: both are free again and the window no longer on top before it goes and the flush.
  // (A timer would fire earlier, in the pass that unlocking the main window makes while it is
  // still locked, so the look is taken as the busy window goes.)
  Seen hiding;
  OnHide onHide(app().Window(kBusyWindow), [&] { hiding = Look(); });
  BusyMessage(0, ""_t);
  ASSERT_TRUE(hiding.taken);
  EXPECT_FALSE(hiding.busyShown);
  EXPECT_TRUE(hiding.mainEnabled);
  EXPECT_TRUE(hiding.titlesEnabled);
  EXPECT_FALSE(hiding.topmost);
}

TEST_F(BusyWindow, ClicksWhileItShowsAreLost) {
  ListAddRow(kFavouritesList, -1, "Alien\n123\nC"_t);
  BusyMessage(1, "Buscando Posibles Títulos..."_t);
  app().Click(kExitButton);
  app().Click(kImdbOption);
  app().Click(kSearchButton);
  app().ClickRow(kFavouritesList, 0);
  app().TypeInto(kSearchField, "otra");
  // Nor what a screen reader does: press, toggle, set or edit a text, select a row.
  auto reader = [](int gadget) { return QAccessible::queryAccessibleInterface(GuiGadgetWidget(gadget)); };
  reader(kExitButton)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  reader(kImdbOption)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  reader(kSearchField)->setText(QAccessible::Value, "otra");
  reader(kSearchField)->editableTextInterface()->insertText(0, "otra ");
  QAccessibleInterface* row = reader(kFavouritesList)->tableInterface()->cellAt(0, 0);
  ASSERT_NE(row, nullptr);
  row->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  reader(kFavouritesList)->tableInterface()->selectRow(0);
  EXPECT_FALSE(static_cast<QPushButton*>(app().Widget(kExitButton))->isDown());
  EXPECT_EQ(GadgetGetState(kFavouritesList), -1);
  EXPECT_EQ(GadgetGetText(kSearchField), "Blade Runner");
  EXPECT_EQ(GadgetGetState(kImdbOption), 0);
  // Neither the close box of the busy window (it has none: the request is ignored) nor the
  // main window's close box while it is locked carries over.
  app().Window(kBusyWindow)->close();
  app().Window(kMainWindow)->close();
  BusyMessage(0, ""_t);
  EXPECT_EQ(app().RunQueued(), 0);
  EXPECT_EQ(program.quitRequested, 0);
  EXPECT_EQ(program.currentSource, kSourceCulturalia);
  EXPECT_TRUE(app().Window(kBusyWindow) != nullptr);
  // Afterwards the window answers again, to the screen reader too.
  app().Click(kImdbOption);
  EXPECT_EQ(app().RunQueued(), 1);
  EXPECT_EQ(program.currentSource, kSourceImdb);
  reader(kSearchField)->setText(QAccessible::Value, "otra");
  EXPECT_EQ(GadgetGetText(kSearchField), "otra");
  reader(kFavouritesList)->tableInterface()->selectRow(0);
  EXPECT_EQ(GadgetGetState(kFavouritesList), 0);
}
