// Rounding a double outwards to float: never inwards, never further than
// the next float, and no undefined conversion beyond the float range.
#include "math/float_bounds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace brevoxa {
namespace {

TEST(FloatBounds, RoundOutwardsToTheNeighbouringFloats) {
  const float max = std::numeric_limits<float>::max();
  const float inf = std::numeric_limits<float>::infinity();
  for (const double x : {0.1, -0.1, 1.0, -3.0, 1e-40, 16.000001, 2.2e-5}) {
    const float below = FloatBelow(x), above = FloatAbove(x);
    EXPECT_LE(below, x);
    EXPECT_GE(above, x);
    // Exact floats stay; others lie between two neighbours.
    EXPECT_EQ(below == above, static_cast<double>(static_cast<float>(x)) == x) << x;
    if (below != above) {
      EXPECT_EQ(std::nextafter(below, inf), above) << x;
    }
  }
  EXPECT_EQ(FloatBelow(1e300), max);
  EXPECT_EQ(FloatAbove(1e300), inf);
  EXPECT_EQ(FloatBelow(-1e300), -inf);
  EXPECT_EQ(FloatAbove(-1e300), -max);
  EXPECT_EQ(FloatBelow(std::numeric_limits<double>::infinity()), inf);
  EXPECT_TRUE(std::isnan(FloatBelow(std::nan(""))));
  EXPECT_TRUE(std::isnan(FloatAbove(std::nan(""))));
}

}  // namespace
}  // namespace brevoxa
