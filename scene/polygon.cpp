// The polygon's class record.
#include "scene/polygon.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IPolygon, IDrawable, 0)

}  // namespace brevoxa
