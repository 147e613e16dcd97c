// The tests' main: the GUI layer is started once (headless under QT_QPA_PLATFORM=offscreen), so
// every test can use real widgets.
#include <gtest/gtest.h>

#include "services/gui/gui.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  GuiInit();
  int result = RUN_ALL_TESTS();
  GuiShutdown();
  return result;
}
