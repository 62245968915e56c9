// The definition dialogs' checks, and the generator each set of values runs.
#include "scene/generator_settings.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "scene/form_object.h"

namespace brevoxa {

namespace {

using FieldValue = std::pair<const GeneratorField*, double>;

std::optional<std::string> CheckFields(std::initializer_list<FieldValue> fields) {
  for (auto [field, value] : fields)
    if (auto message = field->range.Check(value)) return message;
  return std::nullopt;
}

// Counts are only asked for values within their ranges; a negative one
// counts as none rather than wrapping round.
uint64_t Count(int32_t n) { return static_cast<uint64_t>(std::max<int32_t>(n, 0)); }

}  // namespace

std::string TooManyElementsMessage() {
  std::string text = "The new layer would have too many points and polygons; at most ";
  text += std::to_string(kMaxGeneratedElements);
  text += " can be made at once.";
  return text;
}

std::optional<std::string> CheckGeneratedElements(uint64_t elements) {
  if (elements <= kMaxGeneratedElements) return std::nullopt;
  return TooManyElementsMessage();
}

// --- Disk ---

uint64_t DiskDefinition::ElementCount() const {
  const uint64_t n = Count(divisions);
  // With a centre point: a point and a triangle per division, and the centre.
  return centrePoint ? 1 + 2 * n : n + 1;
}

std::optional<std::string> DiskDefinition::Check() const {
  if (auto message = CheckFields({{&kRadius, radius}, {&kDivisions, double(divisions)}})) return message;
  return CheckGeneratedElements(ElementCount());
}

ILayer* DiskDefinition::AddTo(IObject& form) const { return form.AddDisk(radius, divisions, centrePoint); }

// --- Cone ---

uint64_t ConeDefinition::ElementCount() const {
  const uint64_t n = Count(divisions);
  return closeBottom ? 1 + 3 * n + 1 : 1 + 2 * n;
}

std::optional<std::string> ConeDefinition::Check() const {
  if (auto message = CheckFields({{&kRadius, radius}, {&kHeight, height}, {&kDivisions, double(divisions)}}))
    return message;
  return CheckGeneratedElements(ElementCount());
}

ILayer* ConeDefinition::AddTo(IObject& form) const { return form.AddCone(radius, height, divisions, closeBottom); }

// --- Cylinder ---

uint64_t CylinderDefinition::ElementCount() const {
  const uint64_t n = Count(divisions);
  const uint64_t caps = (closeTop ? 1 : 0) + (closeBottom ? 1 : 0);
  return 3 * n + caps * (n + 1);
}

std::optional<std::string> CylinderDefinition::Check() const {
  if (auto message = CheckFields({{&kTopRadius, topRadius},
                                  {&kBottomRadius, bottomRadius},
                                  {&kHeight, height},
                                  {&kDivisions, double(divisions)}}))
    return message;
  return CheckGeneratedElements(ElementCount());
}

ILayer* CylinderDefinition::AddTo(IObject& form) const {
  return form.AddCylinder(topRadius, bottomRadius, height, divisions, closeTop, closeBottom);
}

// --- Sphere ---

uint64_t SphereDefinition::ElementCount() const {
  const uint64_t h = Count(horizontalDivisions), v = Count(verticalDivisions);
  return 2 + h * (v > 0 ? v - 1 : 0) + h * v;
}

std::optional<std::string> SphereDefinition::Check() const {
  if (auto message = CheckFields({{&kRadius, radius},
                                  {&kHorizontalDivisions, double(horizontalDivisions)},
                                  {&kVerticalDivisions, double(verticalDivisions)}}))
    return message;
  return CheckGeneratedElements(ElementCount());
}

ILayer* SphereDefinition::AddTo(IObject& form) const {
  return form.AddSphere(radius, horizontalDivisions, verticalDivisions);
}

// --- Plane ---

uint64_t PlaneDefinition::ElementCount() const {
  const uint64_t nx = Count(horizontalDivisions), ny = Count(verticalDivisions);
  return (nx + 1) * (ny + 1) + nx * ny;
}

std::optional<std::string> PlaneDefinition::Check() const {
  if (auto message = CheckFields({{&kWidth, width},
                                  {&kHeight, height},
                                  {&kHorizontalDivisions, double(horizontalDivisions)},
                                  {&kVerticalDivisions, double(verticalDivisions)}}))
    return message;
  return CheckGeneratedElements(ElementCount());
}

ILayer* PlaneDefinition::AddTo(IObject& form) const {
  return form.AddPlane(width, height, horizontalDivisions, verticalDivisions);
}

// --- Sweeps ---

std::optional<std::string> ExtrudeSettings::Check() const { return kDivisions.range.Check(divisions); }

ILayer* ExtrudeSettings::ApplyTo(IObject& form) const { return form.Extrude(divisions, translation, scale, rotation); }

std::optional<std::string> LatheSettings::Check() const { return kDivisions.range.Check(divisions); }

ILayer* LatheSettings::ApplyTo(IObject& form) const { return form.Lathe(divisions, sealedCentre); }

}  // namespace brevoxa
