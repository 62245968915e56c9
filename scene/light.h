// ILight: a point light, a top-level item moved by its one handle point.
#pragma once

#include <string>

#include "scene/root.h"

namespace brevoxa {

class ILight : public IRoot {
  DECLARE_SERIAL(ILight)
 public:
  // A light is dragged by its handle and has a properties sheet, so it
  // answers as a camera does.
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }
  int GetLevelCount() const override { return 1; }
  std::string GetLevelName(int level) const override;
};

}  // namespace brevoxa
