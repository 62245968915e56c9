// The form object's class record and level names.
#include "scene/form_object.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IObject, IRoot, 0)

std::string IObject::GetLevelName(int level) const {
  switch (level) {
    case kRootLevel: return "Form";
    case kPointLevel: return "Point";
    case kLayerLevel: return "Layer";
    case kPolygonLevel: return "Polygon";
    default: return {};
  }
}

}  // namespace brevoxa
