// Component-wise closeness of vectors, for results that carry rounding.
#pragma once

#include <gtest/gtest.h>

#include "math/vector.h"

namespace brevoxa::testing {

inline void ExpectNear(const CVector& actual, const CVector& expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

}  // namespace brevoxa::testing
