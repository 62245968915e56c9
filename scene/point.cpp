// The point's class record.
#include "scene/point.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IPoint, IDrawable, 0)

}  // namespace brevoxa
