// IObject: a form object, the modelled thing of a scene. Its points, layers
// and polygons arrive with the form geometry; this is the item's place in
// the class tree and its editing levels.
#pragma once

#include <string>

#include "scene/root.h"

namespace brevoxa {

class IObject : public IRoot {
  DECLARE_SERIAL(IObject)
 public:
  bool CanScale() const override { return true; }
  bool CanRotate() const override { return true; }
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }

  bool IsForm() const override { return true; }
  int GetLevelCount() const override { return 4; }
  std::string GetLevelName(int level) const override;
};

}  // namespace brevoxa
