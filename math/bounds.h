// An axis-aligned bounding box, grown point by point from an empty start.
#pragma once

#include <algorithm>

#include "math/vector.h"

namespace brevoxa {

struct CBoundingBox {
  // The start corners: any real point grows the box past them.
  static constexpr double kStart = 1e14;

  CVector min{kStart, kStart, kStart};
  CVector max{-kStart, -kStart, -kStart};

  void Reset() { *this = CBoundingBox(); }
  bool IsEmpty() const { return min.x > max.x || min.y > max.y || min.z > max.z; }
  void Add(const CVector& p) {
    min.Set(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
    max.Set(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
  }
};

}  // namespace brevoxa
