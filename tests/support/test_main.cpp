// The tests' main: the GUI layer is started once (headless under QT_QPA_PLATFORM=offscreen), so
// every test can use real widgets.
#include <gtest/gtest.h>

#include "services/gui/gui.h"
#include "services/images/images.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  GuiInit();
  // The program registers the JPEG decoder at start-up; tests that build windows on their own
  // need it too, for the embedded pictures and the covers.
  RegisterJpegDecoder();
  int result = RUN_ALL_TESTS();
  GuiShutdown();
  return result;
}
