// The shading record of one surface point: what the renderer knows about a
// hit, and what the material and its textures make of it.
#pragma once

#include "math/vector.h"

namespace brevoxa {

// The renderer fills point and normal (world space) and reads the four
// outputs after CMaterialDoc::EvaluateSurface. A texture's Apply gets a work
// copy whose outputs hold the material's own values and the input normal,
// and overwrites only the channels it affects. Colours are on the 0..255
// scale.
struct SurfacePoint {
  CVector point;          // P, the hit point
  CVector normal;         // N, unit; zero when only the filter is wanted
  CVector color;          // K, the diffuse colour
  CVector filter;         // F, the transmission weights
  CVector reflect;        // R, the mirror weights
  CVector shadingNormal;  // N', the normal to shade with
};

}  // namespace brevoxa
