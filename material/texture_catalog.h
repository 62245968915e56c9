// The texture kinds a user can add to a material, with the codes the
// "Add Texture" dialog carries, and the factory that makes one.
#pragma once

#include <memory>

#include "material/texture.h"

namespace brevoxa {

// Codes of the "Add Texture" list. Rolling Bumps and Wood - Range have none:
// they come only from stored materials.
enum class TextureKind : int {
  bitmap = 1,
  radialWave = 3,
  wood = 4,
  marble = 5,
  checkerboard = 6,
  colorRange = 7,
  clouds = 8,
  granite = 9,
  roughness = 12,
};

struct TextureChoice {
  const char* label;
  TextureKind kind;
};

namespace add_texture_dialog {
inline constexpr const char* kCaption = "Add Texture";
inline constexpr const char* kListLabel = "&Texture List:";
inline constexpr const char* kHelpLabel = "&Help...";
// In alphabetical order, as the sorted list shows them.
inline constexpr TextureChoice kChoices[] = {
    {"Bitmap", TextureKind::bitmap},         {"Checkerboard", TextureKind::checkerboard},
    {"Clouds", TextureKind::clouds},         {"Color Range", TextureKind::colorRange},
    {"Granite", TextureKind::granite},       {"Marble", TextureKind::marble},
    {"Radial Wave", TextureKind::radialWave}, {"Roughness", TextureKind::roughness},
    {"Wood", TextureKind::wood},
};
}  // namespace add_texture_dialog

// A texture of the kind with its defaults; null for a code not in the list.
std::unique_ptr<ITexture> MakeTexture(TextureKind kind);

}  // namespace brevoxa
