// The curved-drag falloff.
#include "editor/model/curved_drag.h"

#include <cmath>
#include <numbers>

namespace brevoxa {

std::optional<std::string> CurvedDragSettings::Check() const {
  if (auto message = kExponentRange.Check(exponent)) return message;
  return kRadiusRange.Check(radius);
}

double CurvedDragSettings::Weight(double distance) const {
  if (type == CurvedDragType::disable) return 1.0;
  // A radius of 0 (the dialog allows it) would divide by zero: only the
  // grabbed element itself, at distance 0, follows.
  if (!(radius > 0.0)) return distance == 0.0 ? 1.0 : 0.0;
  double t = 1.0 - distance / radius;
  if (!(t > 0.0)) return 0.0;
  if (t > 1.0) t = 1.0;
  switch (type) {
    case CurvedDragType::linear: return t;
    case CurvedDragType::exponential: return std::pow(t, exponent);
    case CurvedDragType::bell: return (std::cos(std::numbers::pi * t + std::numbers::pi) + 1.0) * 0.5;
    default: return 1.0;
  }
}

}  // namespace brevoxa
