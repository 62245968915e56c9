// The floats on either side of a double: boxes kept in float for compact
// storage must still hold what they bound, so their corners are rounded
// outwards. Values beyond the float range round to the largest float or
// to infinity as the direction asks, without the undefined conversion of
// an out-of-range double; NaN stays NaN.
#pragma once

#include <cmath>
#include <limits>

namespace brevoxa {

// The largest float not above x.
inline float FloatBelow(double x) {
  constexpr float kMax = std::numeric_limits<float>::max();
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  if (std::isnan(x)) return std::numeric_limits<float>::quiet_NaN();
  if (x >= kInfinity) return kInfinity;
  if (x > kMax) return kMax;
  if (x < -kMax) return -kInfinity;
  const auto f = static_cast<float>(x);
  return f > x ? std::nextafter(f, -kInfinity) : f;
}

// The smallest float not below x.
inline float FloatAbove(double x) { return -FloatBelow(-x); }

}  // namespace brevoxa
