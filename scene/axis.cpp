// The frame's class record.
#include "scene/axis.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IAxis, IDrawable, 0)

}  // namespace brevoxa
