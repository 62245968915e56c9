// The default OBJSTORE: the settings files every new document links to,
// the plain image of new bitmap textures, the material preview scenes, the
// demonstration workspace and the folder for rendered pictures. The build
// writes it beside the programs; the same program always writes the same
// bytes.
#pragma once

#include <string>

namespace brevoxa {
class IUserInterface;
}

namespace brevoxa::store {

inline constexpr const char* kRenderedFolder = "RENDERED";

// Writes every file into dir, creating it (and its parents) when needed.
// Files of these names are replaced; nothing else in dir is touched. The
// first failure is shown through ui and ends the build with false.
bool BuildStore(const std::string& dir, IUserInterface& ui);

}  // namespace brevoxa::store
