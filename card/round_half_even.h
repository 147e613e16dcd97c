#pragma once
// RoundHalfEven: a value to the nearest integer, a value exactly halfway to the even neighbour,
// whatever rounding mode the floating-point environment is in. The card rounds with it wherever
// it scales: the cover into the cover box, page units into printer pixels, the print picture.
// std::nearbyint and std::rint follow the current mode, and std::round sends halves away from
// zero, so none of them gives this rule on its own.
//
// E.g. 2.5 -> 2, 3.5 -> 4, 2.5000000000000004 -> 3, -2.5 -> -2, -3.5 -> -4, -0.5 -> 0.
//
// Why the mode cannot reach it: floor and fmod are exact, and so is v - floor(v) except for v in
// (-0.5, 0), where its rounding still leaves a fraction of at least 0.5 and the answer 0 either
// way. The value must fit an int64 (callers round sizes and positions of a page or a picture).
#include <cmath>
#include <cstdint>

inline std::int64_t RoundHalfEven(double v) {
  double whole = std::floor(v);
  const double fraction = v - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<std::int64_t>(whole);
}
