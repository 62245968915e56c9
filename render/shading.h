// Shading: the colour seen along a ray. TraceRay finds the nearest polygon,
// shades it from its layer's material, the ambient light and every light
// (with shadow rays when the environment asks for them), follows one
// reflected and one transmitted ray while the depth limit allows and blends
// in fog; rays that meet nothing take the environment's background. Colours
// are on the 0..255 scale.
#pragma once

#include <cstdint>
#include <span>

#include "math/vector.h"
#include "render/ray.h"
#include "render/render_counters.h"

namespace brevoxa {

class CMaterialDoc;
class ILayer;
class ILight;
class Octree;
class RandomSource;
struct EnvironmentSettings;

// Everything one render thread reads while tracing. The octree, the
// environment and the lights stay unchanged for the whole render; the
// counters and the random source belong to the thread that traces. The
// octree, environment, counters and random source must all be set.
struct TraceContext {
  const Octree* octree = nullptr;
  const EnvironmentSettings* environment = nullptr;
  // In scene-list order.
  std::span<const ILight* const> lights;
  // Rays of depth below the limit spawn reflected and transmitted rays.
  int depthLimit = 3;
  RenderCounters* counters = nullptr;
  // The stars' draws: the render thread's own source. A render traced on
  // several threads leaves it null and defers the draws: a background ray
  // then shows the sky as if it drew no star and is counted in
  // deferredStarRays, so that the caller can replay the source in sample
  // order and trace again the samples that would have shown a star. Its
  // top bit (kPrimaryRayMissed) says that a primary ray met nothing: such
  // a sample is its background alone.
  RandomSource* random = nullptr;
  uint32_t* deferredStarRays = nullptr;
};

inline constexpr uint32_t kPrimaryRayMissed = 1u << 31;

// The colour along the ray, clamped to 0..255 when it meets a polygon (the
// background and the fog colour of a miss are returned as they are).
// Primary rays have depth 1.
CVector TraceRay(const TraceContext& context, const Ray& ray, uint16_t depth);

enum class ShadowResult : int {
  outsideScene = 0,  // the ray starts outside the scene's box
  blocked = 1,       // an opaque surface lies before the light
  filtered = 2,      // the light is reached through filtering surfaces
  clear = 3,         // nothing lies before the light
};

// Walks the ray towards a light at the given distance. filter is set to
// (1, 1, 1) and leaves as the product of the filters crossed, each polygon
// counted once however many leaves list it. Only the materials' filter
// outputs are read; nothing is shaded.
ShadowResult TraceShadow(const TraceContext& context, const Ray& ray, double distance, CVector& filter);

// The environment's background along a ray that met nothing: a star, the
// horizon colour, or the sky shell blended towards its poles. With stars on
// it takes one draw from random, and a second for a star's brightness.
CVector BackgroundColor(const EnvironmentSettings& environment, const Ray& ray, RandomSource& random);

// Whether rays that meet nothing draw from the random source: stars are on
// and no fog hides the sky.
bool DrawsStars(const EnvironmentSettings& environment);
// The background without stars: the horizon colour or the sky shell.
CVector SkyColor(const EnvironmentSettings& environment, const Ray& ray);
// Takes from random the draws BackgroundColor takes for one ray; true when
// that ray shows a star.
bool TakeStarDraws(const EnvironmentSettings& environment, RandomSource& random);

// The material a layer shades with: the document its material link opened,
// or a new material's values while the link is not open.
const CMaterialDoc& LayerMaterial(const ILayer& layer);

}  // namespace brevoxa
