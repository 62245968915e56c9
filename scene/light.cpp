// The light's class record and level name.
#include "scene/light.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ILight, IRoot, 0)

std::string ILight::GetLevelName(int level) const { return level == kRootLevel ? "Light" : std::string(); }

}  // namespace brevoxa
