// The fetch limits the program and the demo are built with. This executable links the same
// limits object they do; the fetcher's own tests run with shorter limits, so that a stalled
// server costs them seconds, and check there that every load keeps to whatever limits it has.
#include <gtest/gtest.h>

#include "services/webview/webview.h"

TEST(ProgramFetchLimits, AreThirtySecondsInAllFifteenWithoutAByteAndSixteenMegabytes) {
  const WebViewLimits limits = FetchLimits();
  EXPECT_EQ(limits.totalMilliseconds, 30000);
  EXPECT_EQ(limits.idleMilliseconds, 15000);
  EXPECT_EQ(limits.maxBytes, 16777216);
}
