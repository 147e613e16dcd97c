// The fixed-size main window asked to be maximised or to fill the screen, by a title bar's button
// (through the window's states, before the window system answers) or by the window system itself:
// it stays shown at its size, and the program goes on from a search to the exit button. On
// Wayland a window that draws itself at another size than the one the compositor gave has its
// connection ended, and the program with it: the Wayland run has this on weston
// (tests/x11/platform_run.sh), the ordinary run on the offscreen platform.
#include <gtest/gtest.h>

#include <QEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "services/text/text.h"
#include "tests/support/sample_site_fixture.h"

namespace {

// How many times the window system has put a window on screen since the watch began.
class Exposures : public QObject {
 public:
  explicit Exposures(QWindow* window) : window_(window) { window->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Expose && window_->isExposed()) ++count;
    return false;
  }

 private:
  QWindow* window_;
};

class WindowStates : public SampleSiteFixture {};

}  // namespace

TEST_F(WindowStates, AskedToMaximiseOrFillTheScreenTheWindowKeepsItsSizeAndTheProgramGoesOn) {
  app().TypeInto(kSearchField, QStringLiteral("colmena"));
  app().Click(kSearchButton);
  app().RunQueued();
  ASSERT_EQ(TextToUtf8(GadgetGetText(kTitleField)), "El espíritu de la colmena");
  ASSERT_EQ(program.cardHasCover, 1);

  QWidget* main = app().Window(kMainWindow);
  QWindow* window = main->windowHandle();
  for (const Qt::WindowState large : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
    for (const bool byTitleBar : {true, false}) {
      const Exposures shown(window);
      if (byTitleBar) {
        window->setWindowStates(large);
      } else {
        QWindowSystemInterface::handleWindowStateChanged<QWindowSystemInterface::SynchronousDelivery>(
            window, large);
      }
      // Shown again by the window system (on Wayland: the compositor has had the request), in
      // its normal state.
      EXPECT_TRUE(QTest::qWaitFor([&] {
        return shown.count > 0 && main->windowState() == Qt::WindowNoState &&
               window->windowStates() == Qt::WindowNoState;
      })) << large << (byTitleBar ? " by the title bar" : " by the window system");
      EXPECT_EQ(main->size(), QSize(795, 560)) << large << byTitleBar;
    }
  }
  app().SaveShot("window_states/after_maximise_and_full_screen.png");
  EXPECT_EQ(TextToUtf8(GadgetGetText(kTitleField)), "El espíritu de la colmena");

  app().Click(kExitButton);
  app().RunQueued();
  EXPECT_EQ(program.quitRequested, 1);
  EXPECT_TRUE(app().ShutDown());
  EXPECT_FALSE(app().FileExists("portada.jpg"));
}
