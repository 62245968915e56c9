// Numeric field ranges and their messages.
#include "ui/field_range.h"

#include <cmath>
#include <cstdio>

namespace brevoxa {

std::string FormatBound(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

std::optional<std::string> NumberRange::Check(double value) const {
  bool ok = Contains(value) && (!integer || std::trunc(value) == value);
  if (ok) return std::nullopt;
  return std::string(integer ? "Please enter an integer between " : "Please enter a number between ") + FormatBound(min) +
         " and " + FormatBound(max) + ".";
}

}  // namespace brevoxa
