// The layer's class record.
#include "scene/layer.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ILayer, IDrawable, 0)

}  // namespace brevoxa
