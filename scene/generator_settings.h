// The values of the generators' definition dialogs as plain data: labels,
// defaults and ranges, and the check that OK (or "Create") runs. The editor's
// dialogs and the command line share them, so both refuse the same values
// with the same message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "math/vector.h"
#include "ui/field_range.h"

namespace brevoxa {

class ILayer;
class IObject;

// A numeric field of a definition dialog: its label and the values it takes.
struct GeneratorField {
  const char* label;
  NumberRange range;
};

// The buttons of the five primitive dialogs.
inline constexpr const char* kCreateButton = "Create";
inline constexpr const char* kCancelButton = "Cancel";
// The editor's refusal when the target of a primitive is not a form.
inline constexpr const char* kNotAFormMessage = "Can only add primitive to a form object.";

// One generator call makes at most this many points and polygons together.
// The dialog ranges alone allow a sphere of 30000 x 30000 divisions, almost
// two billion elements, which no machine can hold; the limit keeps four
// times the largest plane the dialog allows.
inline constexpr uint64_t kMaxGeneratedElements = 8'000'000;
// The refusal of a request above that limit.
std::string TooManyElementsMessage();
// Empty when elements is within the limit, else the refusal.
std::optional<std::string> CheckGeneratedElements(uint64_t elements);

// Each Check gives the message of the first field, in dialog order, that
// the dialog would refuse, then the size refusal; empty when all is well.
// AddTo runs the generator with the values; null when refused.

struct DiskDefinition {
  static constexpr const char* kTitle = "Disk Definition";
  static constexpr GeneratorField kRadius{"&Radius:", {0.1, 30000.0, false}};
  static constexpr GeneratorField kDivisions{"&Number of Divisions:", {3.0, 30000.0, true}};
  static constexpr const char* kCentrePointLabel = "&Make Center Point";

  double radius = 50.0;
  int32_t divisions = 12;
  bool centrePoint = false;

  uint64_t ElementCount() const;
  std::optional<std::string> Check() const;
  ILayer* AddTo(IObject& form) const;
  bool operator==(const DiskDefinition&) const = default;
};

struct ConeDefinition {
  static constexpr const char* kTitle = "Cone Definition";
  static constexpr GeneratorField kRadius{"&Radius:", {0.1, 30000.0, false}};
  static constexpr GeneratorField kHeight{"&Height:", {0.1, 30000.0, false}};
  static constexpr GeneratorField kDivisions{"&Number of Divisions:", {3.0, 30000.0, true}};
  static constexpr const char* kCloseBottomLabel = "Close &Bottom";

  double radius = 50.0;
  double height = 100.0;
  int32_t divisions = 12;
  bool closeBottom = true;

  uint64_t ElementCount() const;
  std::optional<std::string> Check() const;
  ILayer* AddTo(IObject& form) const;
  bool operator==(const ConeDefinition&) const = default;
};

struct CylinderDefinition {
  static constexpr const char* kTitle = "Cylinder Definition";
  static constexpr GeneratorField kTopRadius{"&Top Radius:", {0.1, 30000.0, false}};
  static constexpr GeneratorField kBottomRadius{"&Bottom Radius:", {0.1, 30000.0, false}};
  static constexpr GeneratorField kHeight{"&Height:", {0.1, 30000.0, false}};
  static constexpr GeneratorField kDivisions{"&Number of Divisions:", {3.0, 30000.0, true}};
  static constexpr const char* kCloseTopLabel = "&Close Top";
  static constexpr const char* kCloseBottomLabel = "C&lose Bottom";

  double topRadius = 50.0;
  double bottomRadius = 50.0;
  double height = 100.0;
  int32_t divisions = 12;
  bool closeTop = true;
  bool closeBottom = true;

  uint64_t ElementCount() const;
  std::optional<std::string> Check() const;
  ILayer* AddTo(IObject& form) const;
  bool operator==(const CylinderDefinition&) const = default;
};

struct SphereDefinition {
  static constexpr const char* kTitle = "Sphere Definition";
  static constexpr GeneratorField kRadius{"&Radius:", {0.1, 30000.0, false}};
  static constexpr GeneratorField kHorizontalDivisions{"H&orizontal Divisions:", {3.0, 30000.0, true}};
  static constexpr GeneratorField kVerticalDivisions{"&Vertical Divisions:", {3.0, 30000.0, true}};

  double radius = 50.0;
  int32_t horizontalDivisions = 12;
  int32_t verticalDivisions = 12;

  uint64_t ElementCount() const;
  std::optional<std::string> Check() const;
  ILayer* AddTo(IObject& form) const;
  bool operator==(const SphereDefinition&) const = default;
};

struct PlaneDefinition {
  static constexpr const char* kTitle = "Plane Definition";
  static constexpr GeneratorField kWidth{"&Width:", {0.001, 30000.0, false}};
  static constexpr GeneratorField kHeight{"H&eight:", {0.001, 30000.0, false}};
  static constexpr GeneratorField kHorizontalDivisions{"H&orizontal Divisions:", {1.0, 1000.0, true}};
  static constexpr GeneratorField kVerticalDivisions{"&Vertical Divisions:", {1.0, 1000.0, true}};

  double width = 50.0;
  double height = 50.0;
  int32_t horizontalDivisions = 10;
  int32_t verticalDivisions = 10;

  uint64_t ElementCount() const;
  std::optional<std::string> Check() const;
  ILayer* AddTo(IObject& form) const;
  bool operator==(const PlaneDefinition&) const = default;
};

// The sweep dialogs open with the values last confirmed in the workspace,
// which keeps one of each; these defaults are a new workspace's.

struct ExtrudeSettings {
  static constexpr const char* kTitle = "Extrude";
  static constexpr GeneratorField kDivisions{"&Number Of Divisions:", {1.0, 1000.0, true}};
  static constexpr const char* kTranslationLabel = "&Translation:";
  static constexpr const char* kScaleLabel = "&Scale:";
  static constexpr const char* kRotationLabel = "&Rotation:";

  int32_t divisions = 1;
  CVector translation{-50.0, 0.0, 0.0};
  CVector scale{1.0, 1.0, 1.0};
  CVector rotation{0.0, 0.0, 0.0};  // degrees

  // The divisions only: the vectors have no range (the sweep itself refuses
  // non-finite ones), and the size depends on the selection.
  std::optional<std::string> Check() const;
  // The "Extrusion Group" layer.
  ILayer* ApplyTo(IObject& form) const;
  bool operator==(const ExtrudeSettings&) const = default;
};

struct LatheSettings {
  static constexpr const char* kTitle = "Lathe";
  static constexpr GeneratorField kDivisions{"Number Of &Divisions:", {1.0, 1000.0, true}};
  static constexpr const char* kSealedCentreLabel = "Sealed &Center";

  int32_t divisions = 12;
  bool sealedCentre = true;

  std::optional<std::string> Check() const;
  ILayer* ApplyTo(IObject& form) const;
  bool operator==(const LatheSettings&) const = default;
};

}  // namespace brevoxa
