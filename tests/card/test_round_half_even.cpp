// RoundHalfEven, the one rounding of the card: one row per case, run in the default rounding
// mode and again in each other mode of the floating-point environment.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <string>

#include "card/round_half_even.h"

TEST(RoundHalfEven, NearestWithHalvesToEvenInEveryRoundingMode) {
  struct Row {
    double value;
    std::int64_t rounded;
  };
  const Row rows[] = {
      {0.0, 0},    {0.4, 0},   {0.5, 0},    {0.6, 1},   {1.5, 2},   {2.5, 2},   {3.5, 4},
      {2.5000000000000004, 3},  // just above a half: not a tie
      {0.49999999999999994, 0},  // just below a half
      {-0.4, 0},   {-0.5, 0},  {-0.6, -1},  {-1.5, -2}, {-2.5, -2}, {-3.5, -4},
      {-0.49999999999999994, 0},
      {342.5, 342},  // 4795 / 14: "TITULO: " on a page 4795 pixels wide
      {786.6507747318236, 787},  // a 400 x 550 cover printed 572.1 pixels wide
      {1e15 + 0.5, 1000000000000000}, {1e15 + 1.5, 1000000000000002},
  };
  const int saved = std::fegetround();
  for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    for (const Row& row : rows) {
      // The value is read through a volatile so that the compiler cannot round it beforehand
      // in its own mode.
      volatile double value = row.value;
      EXPECT_EQ(RoundHalfEven(value), row.rounded)
          << "value " << std::to_string(row.value) << " in rounding mode " << mode;
    }
  }
  std::fesetround(saved);
}
