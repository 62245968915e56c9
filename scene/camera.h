// ICamera: the viewpoint of a perspective view and of the renderer, edited
// through its handle points at its one editing level.
#pragma once

#include <string>

#include "scene/root.h"

namespace brevoxa {

class ICamera : public IRoot {
  DECLARE_SERIAL(ICamera)
 public:
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }

  int GetLevelCount() const override { return 1; }
  std::string GetLevelName(int level) const override;
};

}  // namespace brevoxa
