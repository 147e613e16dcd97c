#include "tests/support/app_fixture.h"

#include <QApplication>
#include <QTest>
#include <QTreeView>

#include <fstream>
#include <iterator>
#include <random>

#include "program/gadgets.h"
#include "program/variables.h"
#include "app/shell.h"
#include "services/gui/gui_qt.h"
#include "tests/support/test_paths.h"

namespace {

std::filesystem::path FreshDirectory() {
  std::random_device random;
  for (;;) {
    auto dir = std::filesystem::temp_directory_path() /
               ("cinevarta-app-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(dir)) return dir;
  }
}

QPoint Centre(const QWidget* w) { return w->rect().center(); }

}  // namespace

AppSession::AppSession(std::function<void(const std::filesystem::path&)> prepare) {
  previous_ = std::filesystem::current_path();
  dir_ = FreshDirectory();
  std::filesystem::current_path(dir_);
  if (prepare) prepare(dir_);
  ResetProgramVariables();
  StartUp();
  Pump();
}

AppSession::~AppSession() {
  // The end of a test answers no question: a list left unsaved is dropped.
  program.favouritesChanged = 0;
  ShutDown();
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(dir_, ignored);
}

void AppSession::WriteFile(const std::string& name, const std::string& bytes) const {
  std::ofstream out(dir_ / name, std::ios::binary);
  out << bytes;
}

std::string AppSession::ReadFile(const std::string& name) const {
  std::ifstream in(dir_ / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool AppSession::FileExists(const std::string& name) const {
  return std::filesystem::exists(dir_ / name);
}

void AppSession::Pump() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void AppSession::SaveShot(const std::string& name) {
  QWidget* main = Window(kMainWindow);
  ASSERT_NE(main, nullptr) << name;
  const std::filesystem::path file = testsupport::TestOutputDir() / name;
  std::error_code ignored;  // a folder that cannot be made fails the save below
  std::filesystem::create_directories(file.parent_path(), ignored);
  EXPECT_TRUE(main->grab().save(QString::fromStdString(file.string()))) << file;
}

int AppSession::RunQueued() {
  int handled = 0;
  while (program.quitRequested == 0) {
    const Event event = EventPoll();
    if (event.kind == kEventNone) break;
    HandleEvent(event);
    ++handled;
  }
  return handled;
}

void AppSession::DiscardQueued() {
  while (EventPoll().kind != kEventNone) {
  }
}

QWidget* AppSession::Widget(int gadget) const { return GuiGadgetWidget(gadget); }
QTreeView* AppSession::List(int gadget) const { return GuiListWidget(gadget); }

QRect AppSession::RowRect(int list, int row) const {
  QTreeView* l = List(list);
  return l != nullptr ? l->visualRect(l->model()->index(row, 0)) : QRect();
}
QWidget* AppSession::Window(int window) const { return GuiWindowClient(window); }

void AppSession::Click(int gadget, Qt::MouseButton button, QPoint at) {
  QWidget* w = Widget(gadget);
  if (w == nullptr) return;
  if (auto* list = qobject_cast<QTreeView*>(w)) w = list->viewport();
  QTest::mouseClick(w, button, Qt::NoModifier, at.x() < 0 ? Centre(w) : at);
}

void AppSession::DoubleClick(int gadget, Qt::MouseButton button, QPoint at) {
  QWidget* w = Widget(gadget);
  if (w == nullptr) return;
  if (auto* list = qobject_cast<QTreeView*>(w)) w = list->viewport();
  const QPoint p = at.x() < 0 ? Centre(w) : at;
  // A person's double click: press, release, the second press (a double click), release.
  QTest::mouseClick(w, button, Qt::NoModifier, p);
  QTest::mouseDClick(w, button, Qt::NoModifier, p);
}

void AppSession::ClickRow(int list, int row, Qt::MouseButton button) {
  const QRect r = RowRect(list, row);
  if (!r.isValid()) return;
  QTreeView* l = List(list);
  QTest::mouseClick(l->viewport(), button, Qt::NoModifier, QPoint(r.left() + 10, r.center().y()));
}

void AppSession::TypeInto(int gadget, const QString& text) {
  QWidget* w = Widget(gadget);
  if (w == nullptr) return;
  w->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(w, Qt::Key_Backspace);
  // QTest knows keys for ASCII only (others abort); an accented letter arrives as a key event
  // carrying its text, as a keyboard layout or input method delivers it.
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(w, c.toLatin1());
    } else {
      QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
      QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

void AppSession::PressKey(int gadget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QWidget* w = Widget(gadget);
  if (w == nullptr) return;
  QTest::keyClick(w, key, modifiers);
}

bool AppSession::ShutDown() {
  if (shutDown_) return true;
  // As the program's own loop: a Yes whose save failed leaves it running.
  if (!::ShutDown()) return false;
  shutDown_ = true;
  // The tests' main keeps the GUI layer for the next test.
  GuiInit();
  return true;
}

void AppFixture::SetUp() {
  session_ = std::make_unique<AppSession>([this](const std::filesystem::path& dir) { Prepare(dir); });
}

void AppFixture::TearDown() { session_.reset(); }
