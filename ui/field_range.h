// Ranges of numeric dialog fields, checked when OK is pressed. The data
// lives in the core so that the editor's dialogs and the command line refuse
// the same values with the same message.
#pragma once

#include <optional>
#include <string>

namespace brevoxa {

struct NumberRange {
  double min = 0.0;
  double max = 0.0;
  bool integer = false;  // integer fields have their own message

  bool Contains(double value) const { return value >= min && value <= max; }
  // Empty when the value is accepted, else "Please enter a number between
  // %1 and %2." (or "...an integer between...") with the bounds filled in.
  std::optional<std::string> Check(double value) const;
};

// A bound as the range message writes it: up to 15 significant digits, no
// trailing zeros ("0.1", "30000").
std::string FormatBound(double value);

}  // namespace brevoxa
