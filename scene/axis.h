// IAxis: a local coordinate frame (position, rotation, scale) of a form, a
// layer, a camera or a light.
#pragma once

#include "scene/drawable.h"

namespace brevoxa {

class IAxis : public IDrawable {
  DECLARE_SERIAL(IAxis)
};

}  // namespace brevoxa
