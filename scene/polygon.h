// IPolygon: a planar polygon over points that its form owns.
#pragma once

#include "scene/drawable.h"

namespace brevoxa {

class IPolygon : public IDrawable {
  DECLARE_SERIAL(IPolygon)
 public:
  bool IsPolygon() const override { return true; }
  bool HasProperties() const override { return true; }
};

}  // namespace brevoxa
