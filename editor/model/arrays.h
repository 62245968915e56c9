// Arrays: the selected form replicated into a regular three-dimensional
// pattern of copies, positional (spaced along the axes) or rotational
// (turned in steps), each optionally jittered.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "math/vector.h"
#include "ui/field_range.h"

namespace brevoxa {

enum class ArrayKind : int32_t { positional = 0, rotational = 1 };

// The values of the "Array" dialog.
struct ArraySettings {
  static constexpr const char* kTitle = "Array";
  static constexpr const char* kKindLabels[2] = {"Positional Array", "Rotational Array"};
  static constexpr NumberRange kNumberRange{1.0, 30000.0, true};
  static constexpr NumberRange kSpacingRange{0.0, 30000.0, false};
  static constexpr NumberRange kPositionJitterRange{0.0, 30000.0, false};
  static constexpr NumberRange kRotationJitterRange{0.0, 360.0, false};

  ArrayKind kind = ArrayKind::positional;
  int32_t number[3] = {1, 1, 1};  // X, Y, Z
  CVector spacing;
  CVector positionJitter;
  CVector rotationJitter;  // degrees

  // The first refused field in the dialog's order (numbers, spacings,
  // position jitters, rotation jitters; X, Y, Z each), or nothing.
  std::optional<std::string> Check() const;
};

// The refusal of an array whose copies would hold more points, layers and
// polygons than one request may make (kMaxGeneratedElements).
std::string TooManyArrayElementsMessage();

// Each component r * jitter / 32767 with r drawn from the calling thread's
// random source, Z first, then Y, then X: always between 0 and jitter.
CVector DrawJitter(const CVector& jitter);

}  // namespace brevoxa
