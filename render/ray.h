// Ray: a half-line the renderer traces, from an origin along a direction.
// The renderer always builds the direction as a unit vector; the queries
// still accept any direction and simply find nothing along a NaN one.
#pragma once

#include "math/vector.h"

namespace brevoxa {

struct Ray {
  CVector origin;
  CVector direction;

  CVector At(double t) const { return origin + direction * t; }
};

}  // namespace brevoxa
