// The camera's class record and level name.
#include "scene/camera.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ICamera, IRoot, 0)

std::string ICamera::GetLevelName(int level) const { return level == kRootLevel ? "Camera" : std::string(); }

}  // namespace brevoxa
