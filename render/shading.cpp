// Shading of the nearest hit: the normal to shade with, the ambient light,
// each light with its shadow ray and highlight, the reflected and the
// transmitted ray, and fog.
#include "render/shading.h"

#include <algorithm>
#include <cmath>

#include "material/environment.h"
#include "material/material_doc.h"
#include "render/hit_record.h"
#include "render/octree.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"

namespace brevoxa {

namespace {

// Component by component: colours acting as factors.
CVector Modulate(const CVector& a, const CVector& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

bool IsBlack(const CVector& c) { return c.x == 0.0 && c.y == 0.0 && c.z == 0.0; }

// The normal handed to the material: smooth from the fan triangle's vertex
// normals or the polygon's own, turned towards the viewer for opaque
// surfaces. Transparent ones keep their orientation, which is how the
// transmitted ray tells entering from leaving.
CVector FacingNormal(const CMaterialDoc& material, const HitRecord& hit, const CVector& view) {
  CVector n = hit.normal;
  if (material.GetPhong() && hit.q0 && hit.qi && hit.qi1) {
    n = hit.q0->normal * (1.0 - hit.alpha - hit.beta) + hit.qi->normal * hit.alpha + hit.qi1->normal * hit.beta;
  }
  n.Normalize();
  if (!material.IsTransparent() && hit.normal.Dot(view) < 0.0) n = n * -1.0;
  return n;
}

// What one light adds at the surface point.
CVector Illumination(const TraceContext& context, const CMaterialDoc& material, const SurfacePoint& surface,
                     const CVector& view, const ILight& light) {
  CVector toLight = light.GetPosition() - surface.point;
  const double distance = toLight.Length();
  // Normalize, with the length just taken.
  if (distance != 0.0) toLight = {toLight.x / distance, toLight.y / distance, toLight.z / distance};

  CVector filter(1.0, 1.0, 1.0);
  ShadowResult shadow = ShadowResult::clear;
  if (context.environment->shadows) {
    ++context.counters->shadowRays;
    shadow = TraceShadow(context, {surface.point, toLight}, distance, filter);
    if (shadow == ShadowResult::blocked) return {};
  }

  const CVector& n = surface.shadingNormal;
  const double cosine = n.Dot(toLight);
  // Written so that a light without a direction (NaN) adds nothing either.
  if (!(cosine > 0.0)) return {};
  const double h = n.Dot((toLight + view) / 2.0);
  // A black highlight adds nothing, so its power (the dearest step here)
  // is skipped. Only for exponents of the form's range: h is at most 1 but
  // for rounding, so their powers are finite and times black give 0.
  const bool unseen =
      IsBlack(material.GetSpecular()) && MaterialSettings::kHardness.range.Contains(material.GetHardness());
  const double highlight = h <= 0.0 || unseen ? 0.0 : std::pow(h, material.GetHardness());

  CVector lightFactor = light.GetColour() / 255.0;
  if (shadow == ShadowResult::filtered) lightFactor = Modulate(lightFactor, filter);
  return Modulate(surface.color * cosine + material.GetSpecular() * highlight, lightFactor);
}

CVector Reflected(const TraceContext& context, const Ray& ray, const SurfacePoint& surface, uint16_t depth) {
  const CVector weight = surface.reflect / 255.0;
  if (IsBlack(weight)) return {};
  const CVector& n = surface.shadingNormal;
  const Ray reflected{surface.point, ray.direction + n * (2.0 * n.CosAngle(ray.direction * -1.0))};
  ++context.counters->reflectedRays;
  return Modulate(TraceRay(context, reflected, depth + 1), weight);
}

CVector Transmitted(const TraceContext& context, const CMaterialDoc& material, const Ray& ray,
                    const SurfacePoint& surface, uint16_t depth) {
  const CVector weight = surface.filter / 255.0;
  if (IsBlack(weight)) return {};
  const double index = material.GetIndexOfRefraction();
  double cosIn = surface.shadingNormal.Dot(ray.direction * -1.0);
  double eta = 1.0 / index;
  CVector towardsViewer = surface.shadingNormal;
  if (!(cosIn > 0.0)) {
    // Leaving the medium: the normal points out of it, away from the viewer.
    cosIn = -cosIn;
    eta = index;
    towardsViewer = towardsViewer * -1.0;
  }
  const double k = 1.0 - (1.0 - cosIn * cosIn) * eta * eta;
  // Total internal reflection: the light stays inside and adds nothing here.
  if (!(k > 0.0)) return {};
  const Ray transmitted{surface.point, ray.direction * eta + towardsViewer * (cosIn * eta - std::sqrt(k))};
  ++context.counters->transmittedRays;
  return Modulate(TraceRay(context, transmitted, depth + 1), weight);
}

CVector Fogged(const EnvironmentSettings& environment, const CVector& colour, double distance) {
  const double density = environment.fogOccludedPerUnit;
  if (!(density > 0.0)) return colour;
  const double f = std::min(density * distance * 0.01, 1.0);
  return environment.fogColor * f + colour * (1.0 - f);
}

}  // namespace

const CMaterialDoc& LayerMaterial(const ILayer& layer) {
  // Asked at every hit: the run-time class is one virtual call and a short
  // walk, where dynamic_cast compared type names (1.5 % of tracing).
  const CObject* document = layer.GetMaterial().GetDocument();
  if (document != nullptr && document->IsKindOf(RUNTIME_CLASS(CMaterialDoc)))
    return *static_cast<const CMaterialDoc*>(document);
  // Built once, on first use, and only read afterwards: safe from any
  // number of render threads.
  static const CMaterialDoc defaults;
  return defaults;
}

CVector TraceRay(const TraceContext& context, const Ray& ray, uint16_t depth) {
  const EnvironmentSettings& environment = *context.environment;
  HitRecord hit;
  if (!context.octree->FindNearestHit(ray, Octree::kMaxHitDistance, hit, *context.counters)) {
    // Fog hides the sky completely; neither colour is clamped.
    if (environment.fogOccludedPerUnit != 0.0) return environment.fogColor;
    if (context.random != nullptr) return BackgroundColor(environment, ray, *context.random);
    if (context.deferredStarRays != nullptr && DrawsStars(environment)) {
      ++*context.deferredStarRays;
      if (depth == 1) *context.deferredStarRays |= kPrimaryRayMissed;
    }
    return SkyColor(environment, ray);
  }

  const CMaterialDoc& material = LayerMaterial(*hit.layer);
  const CVector view = ray.direction * -1.0;
  SurfacePoint surface;
  surface.point = hit.point;
  surface.normal = FacingNormal(material, hit, view);
  material.EvaluateSurface(*hit.layer, surface);

  CVector colour = Modulate(surface.color, environment.ambientLight / 255.0);
  for (const ILight* light : context.lights) colour += Illumination(context, material, surface, view, *light);
  if (depth < context.depthLimit) {
    colour += Reflected(context, ray, surface, depth);
    colour += Transmitted(context, material, ray, surface, depth);
  }
  return Fogged(environment, colour, hit.t).Clamped();
}

}  // namespace brevoxa
