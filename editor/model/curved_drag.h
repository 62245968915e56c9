// Curved drag: while points are dragged at a sub-level, the selected
// elements around the grabbed one follow it less the farther away they are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ui/field_range.h"

namespace brevoxa {

// Persisted nowhere, but the dialog's radio buttons keep these numbers.
enum class CurvedDragType : int32_t { disable = 0, linear = 1, exponential = 2, bell = 3 };

// The values of the "Curved Drag" dialog.
struct CurvedDragSettings {
  static constexpr const char* kTitle = "Curved Drag";
  static constexpr const char* kTypeLabel = "&Type:";
  static constexpr const char* kTypeNames[4] = {"Disable", "Linear", "Exponential", "Bell"};
  static constexpr const char* kExponentLabel = "&Exponent:";
  static constexpr NumberRange kExponentRange{0.01, 100.0, false};
  static constexpr const char* kRadiusLabel = "&Radius of Influence:";
  static constexpr NumberRange kRadiusRange{0.0, 30000.0, false};

  CurvedDragType type = CurvedDragType::disable;
  double radius = 50.0;
  double exponent = 1.0;

  // The message for the first field the dialog refuses (exponent, then
  // radius), or nothing.
  std::optional<std::string> Check() const;
  bool IsEnabled() const { return type != CurvedDragType::disable; }
  bool operator==(const CurvedDragSettings&) const = default;

  // How far an element at this distance from the grabbed one follows the
  // drag: 1 with the drag disabled, otherwise between 0 and 1, falling off
  // by the type's curve to 0 at the radius of influence.
  double Weight(double distance) const;
};

}  // namespace brevoxa
