// The factory behind the "Add Texture" dialog.
#include "material/texture_catalog.h"

#include "material/texture_bitmap.h"
#include "material/texture_bumps.h"
#include "material/texture_check.h"
#include "material/texture_solid.h"

namespace brevoxa {

std::unique_ptr<ITexture> MakeTexture(TextureKind kind) {
  switch (kind) {
    case TextureKind::bitmap: return std::make_unique<IBitmapTexture>();
    case TextureKind::radialWave: return std::make_unique<IRadialWaveTexture>();
    case TextureKind::wood: return std::make_unique<IWoodTexture>();
    case TextureKind::marble: return std::make_unique<IMarbleTexture>();
    case TextureKind::checkerboard: return std::make_unique<ICheckTexture>();
    case TextureKind::colorRange: return std::make_unique<IColorRangeTexture>();
    case TextureKind::clouds: return std::make_unique<ICloudsTexture>();
    case TextureKind::granite: return std::make_unique<IGraniteTexture>();
    case TextureKind::roughness: return std::make_unique<IRoughnessTexture>();
  }
  return nullptr;
}

}  // namespace brevoxa
