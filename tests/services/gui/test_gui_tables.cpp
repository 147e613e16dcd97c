// The GUI layer's numbered tables, its one event queue, the close box, the Enter shortcut and
// the window frames, on real widgets driven by QTest.
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "tests/services/gui/gui_test_support.h"

using guitest::GuiTest;
using guitest::OpenShown;
using guitest::TakeAll;

namespace {

class GuiTables : public GuiTest {};
class GuiEvents : public GuiTest {};
class GuiShortcuts : public GuiTest {};
class GuiWindows : public GuiTest {};

void ClickButton(int gadget) {
  QTest::mouseClick(GuiGadgetWidget(gadget), Qt::LeftButton);
}

}  // namespace

// --- Numbered tables ----------------------------------------------------------------------

TEST_F(GuiTables, MakingUnderAUsedNumberFreesTheOldObjectFirst) {
  OpenShown(1);
  GadgetCreateButton(7, 10, 10, 80, 25, "uno"_t);
  QPointer<QWidget> first = GuiGadgetWidget(7);
  ASSERT_FALSE(first.isNull());
  GadgetCreateTextField(7, 10, 50, 80, 20, "dos"_t, 0);
  EXPECT_TRUE(first.isNull());  // the old button was destroyed, not just forgotten
  EXPECT_NE(qobject_cast<QLineEdit*>(GuiGadgetWidget(7)), nullptr);
  EXPECT_EQ(GadgetGetText(7), "dos");

  // One table for the gadgets of all windows: number 7 in another window replaces it again.
  QPointer<QWidget> field = GuiGadgetWidget(7);
  OpenShown(2);
  GadgetCreateButton(7, 0, 0, 50, 20, "tres"_t);
  EXPECT_TRUE(field.isNull());
  EXPECT_EQ(GuiGadgetWidget(7)->window(), GuiWindowClient(2));

  // A window made again under its number takes its gadgets with it.
  QPointer<QWidget> window2 = GuiWindowClient(2);
  QPointer<QWidget> button = GuiGadgetWidget(7);
  WindowOpen(2, 0, 0, 100, 100, "otra"_t, kWindowInvisible);
  EXPECT_TRUE(window2.isNull());
  EXPECT_TRUE(button.isNull());
  EXPECT_EQ(GadgetGetText(7), "");
  ASSERT_NE(GuiWindowClient(2), nullptr);
  EXPECT_EQ(GuiWindowClient(2)->windowTitle(), "otra");
}

TEST_F(GuiTables, NumbersFarBeyondTheFirstSixteenAndTheirNeighbours) {
  OpenShown(40);  // the window table grows to hold it
  for (int n : {0, 15, 16, 17, 31, 32, 1000}) {
    ASSERT_NE(GadgetCreateButton(n, 0, 0, 40, 20, TextOfNumber(n)), nullptr) << n;
  }
  for (int n : {0, 15, 16, 17, 31, 32, 1000}) EXPECT_EQ(GadgetGetText(n), TextOfNumber(n)) << n;
  // Numbers in between hold nothing.
  for (int n : {1, 14, 18, 33, 999, 1001}) EXPECT_EQ(GuiGadgetWidget(n), nullptr) << n;
  EXPECT_EQ(GadgetCreateButton(-1, 0, 0, 40, 20, "x"_t), nullptr);
  EXPECT_EQ(WindowOpen(-3, 0, 0, 40, 20, "x"_t, 0), nullptr);
  EXPECT_EQ(FontLoad(-1, "Arial"_t, 10, 0), nullptr);
}

TEST_F(GuiTables, OperationsOnEmptyNumbersDoNothingAndAnswerNothing) {
  // No window at all: gadgets cannot be made.
  EXPECT_EQ(GadgetCreateButton(3, 0, 0, 10, 10, "x"_t), nullptr);
  EXPECT_EQ(GuiGadgetWidget(3), nullptr);

  OpenShown(1);
  GadgetCreateButton(3, 0, 0, 60, 20, "vivo"_t);
  for (int n : {2, 4, 16, 500}) {
    GadgetSetText(n, "x"_t);
    GadgetSetState(n, std::int64_t{1});
    GadgetSetState(n, ImageHandle_t{nullptr});
    GadgetSetFont(n, FontLoad(9, "Arial"_t, 9, 0));
    GadgetSetBackColour(n, Rgb{1, 2, 3});
    GadgetSetEnabled(n, false);
    GadgetHide(n, true);
    GadgetFocus(n);
    GadgetResize(n, 1, 2, 3, 4);
    TextFieldSelectAll(n);
    ListAddColumn(n, 0, "c"_t, 10);
    ListRemoveColumn(n, 0);
    ListAddRow(n, -1, "a\nb"_t);
    ListRemoveRow(n, 0);
    ListClear(n);
    ListSelectRow(n, 0, true);
    ListSetColours(n, Rgb{1, 2, 3});
    EXPECT_EQ(GadgetGetText(n), "") << n;
    EXPECT_EQ(GadgetGetState(n), 0) << n;
    EXPECT_FALSE(GadgetHasFocus(n)) << n;
    EXPECT_EQ(ListCount(n), 0) << n;
    EXPECT_EQ(ListCellText(n, -1, 0), "") << n;
    EXPECT_EQ(ListCellText(n, 0, 0), "") << n;
  }
  for (int w : {0, 2, 17}) {
    WindowSetTitle(w, "x"_t);
    WindowSetVisible(w, true);
    WindowSetEnabled(w, false);
    WindowSetTopmost(w, true);
    WindowSetBackColour(w, Rgb{1, 2, 3});
    ShortcutAdd(w, kKeyEnter, 111);
    WindowClose(w);
    EXPECT_EQ(GuiWindowClient(w), nullptr) << w;
  }
  // Gadget 3 in window 1 is untouched by all of that; operations of the wrong kind do nothing.
  EXPECT_EQ(GadgetGetText(3), "vivo");
  EXPECT_TRUE(GuiGadgetWidget(3)->isEnabled());
  EXPECT_TRUE(GuiGadgetWidget(3)->isVisible());
  EXPECT_EQ(GadgetGetState(3), 0);
  EXPECT_EQ(ListCount(3), 0);
  ListAddRow(3, -1, "a"_t);
  EXPECT_EQ(ListCellText(3, -1, 0), "");
  EXPECT_TRUE(TakeAll().empty());  // and none of it raised an event
}

TEST_F(GuiTables, ClosingAWindowEmptiesTheNumbersOfItsGadgets) {
  OpenShown(1);
  GadgetCreateButton(5, 0, 0, 60, 20, "uno"_t);
  OpenShown(2);
  GadgetCreateButton(6, 0, 0, 60, 20, "dos"_t);
  QPointer<QWidget> five = GuiGadgetWidget(5);
  WindowClose(1);
  EXPECT_TRUE(five.isNull());
  EXPECT_EQ(GuiWindowClient(1), nullptr);
  EXPECT_EQ(GadgetGetText(5), "");
  EXPECT_EQ(GadgetGetText(6), "dos");  // the other window keeps its own
  // The number can be used again.
  OpenShown(1);
  GadgetCreateButton(5, 0, 0, 60, 20, "otra vez"_t);
  EXPECT_EQ(GadgetGetText(5), "otra vez");
}

TEST_F(GuiTables, GadgetsGoIntoTheWindowOpenedLast) {
  OpenShown(1);
  OpenShown(2);
  GadgetCreateButton(3, 0, 0, 60, 20, "b"_t);
  EXPECT_EQ(GuiGadgetWidget(3)->parentWidget(), GuiWindowClient(2));
  // Closing the target leaves no target until a window is opened again.
  WindowClose(2);
  EXPECT_EQ(GadgetCreateButton(4, 0, 0, 60, 20, "c"_t), nullptr);
}

// --- The event queue ----------------------------------------------------------------------

TEST_F(GuiEvents, EventWaitBlocksInQtsLoopUntilAnEventIsQueued) {
  OpenShown(1);
  GadgetCreateButton(3, 10, 10, 80, 25, "Buscar"_t);
  // A click made later, from a timer: only Qt's own loop running inside EventWait can fire it.
  bool fired = false;
  QTimer::singleShot(30, [&] {
    fired = true;
    ClickButton(3);
  });
  const Event e = EventWait();
  EXPECT_TRUE(fired);
  EXPECT_EQ(e.kind, GadgetActivity);
  EXPECT_EQ(e.window, 1);
  EXPECT_EQ(e.number, 3);
  EXPECT_EQ(e.subtype, 0);
  EXPECT_EQ(EventPoll().kind, kEventNone);

  // An event queued already is handed out at once, in arrival order.
  ClickButton(3);
  GuiQueueEvent(Event{CloseRequest, 1, 0, 0});
  EXPECT_EQ(EventWait().kind, GadgetActivity);
  EXPECT_EQ(EventWait().kind, CloseRequest);
}

TEST_F(GuiEvents, EventWaitKeepsWaitingThroughQtEventsThatAreNoEvent) {
  OpenShown(1);
  GadgetCreateButton(3, 10, 10, 80, 25, "Buscar"_t);
  // A repaint and a timer that queues nothing do not end the wait; the later click does.
  int ticks = 0;
  QTimer::singleShot(5, [&] {
    ++ticks;
    GuiWindowClient(1)->update();
  });
  QTimer::singleShot(20, [&] { ++ticks; });
  QTimer::singleShot(40, [&] {
    ++ticks;
    ClickButton(3);
  });
  const Event e = EventWait();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(e.number, 3);
}

TEST_F(GuiEvents, EventPollNeverBlocksAndTakesAtMostOneEvent) {
  EXPECT_EQ(EventPoll().kind, kEventNone);  // nothing at all: it returns (kind 0)
  OpenShown(1);
  GadgetCreateButton(3, 10, 10, 80, 25, "a"_t);
  GadgetCreateButton(4, 10, 40, 80, 25, "b"_t);
  ClickButton(3);
  ClickButton(4);
  ClickButton(3);
  EXPECT_EQ(EventPoll().number, 3);
  EXPECT_EQ(EventPoll().number, 4);
  EXPECT_EQ(EventPoll().number, 3);
  EXPECT_EQ(EventPoll().kind, kEventNone);

  // What Qt has pending is processed by a poll, which then hands out what it raised.
  QMetaObject::invokeMethod(GuiGadgetWidget(4), "click", Qt::QueuedConnection);
  QMetaObject::invokeMethod(GuiGadgetWidget(3), "click", Qt::QueuedConnection);
  const Event first = EventPoll();
  EXPECT_EQ(first.kind, GadgetActivity);
  EXPECT_EQ(first.number, 4);
  EXPECT_EQ(EventPoll().number, 3);  // still only one per call
  EXPECT_EQ(EventPoll().kind, kEventNone);
}

TEST_F(GuiEvents, EventWaitForGivesUpWithNoneAndTakesWhatComesInTime) {
  OpenShown(1);
  GadgetCreateButton(3, 10, 10, 80, 25, "a"_t);
  EXPECT_EQ(EventWaitFor(5).kind, kEventNone);
  QTimer::singleShot(0, [] { ClickButton(3); });
  // Long enough never to run out on a loaded machine: the click comes on the first pass.
  EXPECT_EQ(EventWaitFor(60000).number, 3);
}

TEST_F(GuiEvents, DisabledGadgetsAndWindowsRaiseNothing) {
  QWidget* window = OpenShown(1);
  GadgetCreateButton(3, 10, 10, 80, 25, "a"_t);
  GadgetSetEnabled(3, false);
  ClickButton(3);
  EXPECT_TRUE(TakeAll().empty());
  GadgetSetEnabled(3, true);
  GadgetCreateTextField(2, 10, 50, 120, 20, "uno"_t, 0);
  GadgetFocus(3);
  const QImage before = window->grab().toImage();
  WindowSetEnabled(1, false);
  EXPECT_FALSE(GuiWindowEnabled(1));
  // Still shown and painted as before: a locked window is not a greyed one.
  EXPECT_TRUE(GuiGadgetWidget(3)->isVisible());
  EXPECT_TRUE(window->grab().toImage() == before);
  // No click, key, typed text or close box reaches it.
  ClickButton(3);
  guitest::ClickWindowAt(window, QPoint(50, 22));
  QTest::keyClick(GuiGadgetWidget(3), Qt::Key_Space);
  guitest::ClickWindowAt(window, QPoint(60, 60));
  QTest::keyClicks(GuiGadgetWidget(2), "dos");
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(TakeAll().empty());
  EXPECT_EQ(GadgetGetText(2), "uno");
  EXPECT_TRUE(window->isVisible());
  WindowSetEnabled(1, true);
  EXPECT_TRUE(GuiWindowEnabled(1));
  ClickButton(3);
  EXPECT_EQ(TakeAll().size(), 1u);
  EXPECT_FALSE(window->close());
  EXPECT_EQ(TakeAll().size(), 1u);
}

// --- The close box ------------------------------------------------------------------------

TEST_F(GuiEvents, TheCloseBoxAsksButOnlyWindowCloseCloses) {
  QWidget* window = OpenShown(3);
  GadgetCreateButton(8, 10, 10, 80, 25, "a"_t);
  // What the window manager sends for the close box or the system menu's close.
  EXPECT_FALSE(window->close());
  const std::vector<Event> events = TakeAll();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, CloseRequest);
  EXPECT_EQ(events[0].window, 3);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(GadgetGetText(8), "a");

  // Asked twice, it asks twice and still stands.
  QCloseEvent again;
  QApplication::sendEvent(window, &again);
  EXPECT_FALSE(again.isAccepted());
  EXPECT_EQ(TakeAll().size(), 1u);
  EXPECT_NE(GuiWindowClient(3), nullptr);

  QPointer<QWidget> alive = window;
  WindowClose(3);
  EXPECT_TRUE(alive.isNull());
  EXPECT_TRUE(TakeAll().empty());  // closing by the program asks nothing
}

// --- The Enter shortcut -------------------------------------------------------------------

TEST_F(GuiShortcuts, EnterAndKeypadEnterRaise111AndNeverReachTheGadget) {
  OpenShown(1);
  GadgetCreateTextField(2, 10, 10, 200, 20, "Blade Runner"_t, 0);
  GadgetCreateTextField(23, 10, 40, 200, 80, "a"_t, kTextFieldMultiLine);
  GadgetCreateButton(3, 10, 130, 80, 25, "Buscar"_t);
  ShortcutAdd(1, kKeyEnter, 111);
  auto* field = qobject_cast<QLineEdit*>(GuiGadgetWidget(2));
  QSignalSpy returned(field, &QLineEdit::returnPressed);
  GadgetFocus(2);

  QTest::keyClick(field, Qt::Key_Return);
  QTest::keyClick(field, Qt::Key_Enter, Qt::KeypadModifier);
  std::vector<Event> events = TakeAll();
  ASSERT_EQ(events.size(), 2u);
  for (const Event& e : events) {
    EXPECT_EQ(e.kind, ShortcutPressed);
    EXPECT_EQ(e.window, 1);
    EXPECT_EQ(e.number, 111);
  }
  EXPECT_EQ(returned.count(), 0);  // the field never saw the key
  EXPECT_EQ(GadgetGetText(2), "Blade Runner");

  // Wherever the focus is: a multi-line field gets no new line, a button is not pressed.
  auto* multi = GuiGadgetWidget(23);
  GadgetFocus(23);
  QTest::keyClick(multi, Qt::Key_Return);
  EXPECT_EQ(GadgetGetText(23), "a");
  GadgetFocus(3);
  QTest::keyClick(GuiGadgetWidget(3), Qt::Key_Enter, Qt::KeypadModifier);
  events = TakeAll();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, ShortcutPressed);
  EXPECT_EQ(events[1].kind, ShortcutPressed);  // and no GadgetActivity of the button

  // Enter with a modifier is no shortcut; the field has it.
  GadgetFocus(2);
  QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_TRUE(TakeAll().empty());

  // Adding the key again replaces its number.
  ShortcutAdd(1, kKeyEnter, 222);
  QTest::keyClick(field, Qt::Key_Return);
  events = TakeAll();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].number, 222);
}

TEST_F(GuiShortcuts, OnlyTheWindowThatHasTheShortcut) {
  OpenShown(1);
  GadgetCreateTextField(2, 10, 10, 200, 20, "uno"_t, 0);
  ShortcutAdd(1, kKeyEnter, 111);
  OpenShown(2);
  GadgetCreateTextField(35, 10, 10, 200, 20, "dos"_t, 0);
  auto* other = qobject_cast<QLineEdit*>(GuiGadgetWidget(35));
  QSignalSpy returned(other, &QLineEdit::returnPressed);
  QTest::keyClick(other, Qt::Key_Return);
  EXPECT_TRUE(TakeAll().empty());
  EXPECT_EQ(returned.count(), 1);  // a window without shortcuts lets the key through
  // A disabled window raises nothing.
  WindowSetEnabled(1, false);
  QTest::keyClick(GuiGadgetWidget(2), Qt::Key_Return);
  EXPECT_TRUE(TakeAll().empty());
}

TEST_F(GuiShortcuts, TabAndShiftTabMoveTheFocusInAnyWindow) {
  OpenShown(2);
  GadgetCreateTextField(10, 10, 10, 100, 20, "a"_t, 0);
  GadgetCreateFrame(11, 0, 0, 300, 200, "marco"_t);
  GadgetCreateButton(12, 10, 40, 100, 25, "b"_t);
  GadgetCreateTextField(13, 10, 70, 100, 60, "c"_t, kTextFieldMultiLine);
  GadgetFocus(10);
  QTest::keyClick(GuiGadgetWidget(10), Qt::Key_Tab);
  EXPECT_TRUE(GadgetHasFocus(12));  // the frame between them is skipped
  QTest::keyClick(GuiGadgetWidget(12), Qt::Key_Tab);
  EXPECT_TRUE(GadgetHasFocus(13));
  QTest::keyClick(GuiGadgetWidget(13), Qt::Key_Tab);  // a multi-line field passes Tab on
  EXPECT_EQ(GadgetGetText(13), "c");
  EXPECT_TRUE(GadgetHasFocus(10));
  QTest::keyClick(GuiGadgetWidget(10), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(GadgetHasFocus(13));
  EXPECT_TRUE(TakeAll().empty());
}

// --- Window frames ------------------------------------------------------------------------

TEST_F(GuiWindows, FramesAsTheFlagsSay) {
  WindowOpen(1, 67, -12, 795, 560, "<b>CineVarta</b> v1.5"_t,
             kWindowCentre | kWindowInvisible | kWindowTitleBar | kWindowSystemMenu |
                 kWindowMinimiseBox);
  QWidget* main = GuiWindowClient(1);
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(main->isVisible());
  EXPECT_EQ(main->windowTitle(), "<b>CineVarta</b> v1.5");  // a title is never markup
  EXPECT_TRUE(main->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(main->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(main->minimumSize(), main->maximumSize());  // not resizable

  WindowOpen(2, 80, 80, 400, 105, "Procesando..."_t, kWindowCentre | kWindowInvisible);
  QWidget* busy = GuiWindowClient(2);
  ASSERT_NE(busy, nullptr);
  EXPECT_TRUE(busy->windowFlags() & Qt::WindowTitleHint);
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(busy->size(), QSize(400, 105));
  // Centred: the 80, 80 asked for is ignored.
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(busy->geometry().center().x(), screen.center().x());
  EXPECT_NEAR(busy->geometry().center().y(), screen.center().y(), 1);

  // Without the centre flag the window stands where it was asked.
  WindowOpen(3, 33, 44, 100, 100, "x"_t, kWindowTitleBar);
  EXPECT_EQ(GuiWindowClient(3)->pos(), QPoint(33, 44));
  EXPECT_TRUE(GuiWindowClient(3)->isVisible());

  WindowSetVisible(2, true);
  EXPECT_TRUE(busy->isVisible());
  WindowSetTopmost(2, true);
  EXPECT_TRUE(busy->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(busy->isVisible());
  EXPECT_EQ(busy->size(), QSize(400, 105));
  WindowSetTopmost(2, false);
  EXPECT_FALSE(busy->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(busy->isVisible());
  WindowSetVisible(2, false);
  EXPECT_FALSE(busy->isVisible());

  WindowSetTitle(1, "Cinevarta - v0.9.4.b"_t);
  EXPECT_EQ(main->windowTitle(), "Cinevarta - v0.9.4.b");
}

TEST_F(GuiWindows, FontsByFaceSizeAndStyle) {
  const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
  const QFont* f = GuiFontOf(FontLoad(1, "Arial"_t, 14, kFontBold | kFontItalic | kFontUnderline |
                                                            kFontStrikeOut));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->family(), "Arial");
  EXPECT_EQ(f->pixelSize(), qRound(14 * dpi / 72.0));
  EXPECT_EQ(f->weight(), QFont::Bold);
  EXPECT_TRUE(f->italic());
  EXPECT_TRUE(f->underline());
  EXPECT_TRUE(f->strikeOut());
  const QFont* plain = GuiFontOf(FontLoad(2, "Arial"_t, 0, 0));
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->weight(), QFont::Normal);
  EXPECT_FALSE(plain->italic());
  EXPECT_EQ(plain->pixelSize(), -1);  // size 0: the platform's default for the face
  // A gadget given a font draws in it; given none, it has the layer's default again.
  OpenShown(1);
  GadgetCreateButton(3, 0, 0, 100, 30, "b"_t);
  GadgetSetFont(3, FontLoad(3, "Arial"_t, 10, kFontBold));
  EXPECT_EQ(GuiGadgetWidget(3)->font().family(), "Arial");
  GadgetSetFont(3, nullptr);
  EXPECT_EQ(GuiGadgetWidget(3)->font(), QFont());
}
