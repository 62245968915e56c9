// ILayer: a group of polygons of a form with one material. Its data begins
// with a complete frame and it reuses the frame's operations, so in C++ it is
// an IAxis; its class record names IDrawable as its base, as stored files
// expect, so IsKindOf(IAxis) is false for a layer.
#pragma once

#include "scene/axis.h"

namespace brevoxa {

class ILayer : public IAxis {
  DECLARE_SERIAL(ILayer)
 public:
  bool CanScale() const override { return true; }
  bool CanRotate() const override { return true; }
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }
};

}  // namespace brevoxa
