// Shadow rays: what lies between a surface point and a light, as the
// product of the filters of the surfaces crossed.
#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "material/material_doc.h"
#include "render/octree.h"
#include "render/shading.h"
#include "scene/layer.h"

namespace brevoxa {

namespace {

// The polygons a shadow ray has already taken the filter of. A ray crosses
// a planar polygon at most once, but the walk reports a polygon once for
// every leaf that lists it and whose window holds the hit (one lying in a
// cell face, or hit just past a leaf's exit); multiplying its filter each
// time would make glass shadows blotchy along cell boundaries. A ray
// crosses few surfaces, so a short inline list serves; more spill to the
// heap.
class CrossedPolygons {
 public:
  // False when the polygon is already listed.
  bool Insert(const IPolygon* polygon) {
    const auto inlineEnd = inline_.begin() + std::min(count_, kInline);
    if (std::find(inline_.begin(), inlineEnd, polygon) != inlineEnd) return false;
    if (std::find(overflow_.begin(), overflow_.end(), polygon) != overflow_.end()) return false;
    if (count_ < kInline) {
      inline_[count_] = polygon;
    } else {
      overflow_.push_back(polygon);
    }
    ++count_;
    return true;
  }

 private:
  static constexpr size_t kInline = 16;
  // Only the first count_ are set: left uninitialised, as a shadow ray
  // starts a list and most cross nothing.
  std::array<const IPolygon*, kInline> inline_;
  size_t count_ = 0;
  std::vector<const IPolygon*> overflow_;
};

// The product of the filters along one shadow ray.
class ShadowFilter {
 public:
  explicit ShadowFilter(CVector& product) : product_(product) {}
  bool Crossed() const { return crossed_; }

  // Whether the walk goes on: an opaque surface ends it.
  bool Cross(const HitRecord& hit) {
    if (!seen_.Insert(hit.polygon)) return true;
    // The zero normal: only the filter output is read.
    SurfacePoint surface;
    surface.point = hit.point;
    LayerMaterial(*hit.layer).EvaluateSurface(*hit.layer, surface);
    const CVector& f = surface.filter;
    if (f.x == 0.0 && f.y == 0.0 && f.z == 0.0) return false;
    const CVector factor = f / 255.0;
    product_ = {product_.x * factor.x, product_.y * factor.y, product_.z * factor.z};
    crossed_ = true;
    return true;
  }

 private:
  CVector& product_;
  bool crossed_ = false;
  CrossedPolygons seen_;
};

}  // namespace

ShadowResult TraceShadow(const TraceContext& context, const Ray& ray, double distance, CVector& filter) {
  filter = CVector(1.0, 1.0, 1.0);
  ShadowFilter state(filter);
  const ShadowWalkEnd end = context.octree->ShadowWalk(ray, distance, *context.counters,
                                                       [&state](const HitRecord& hit) { return state.Cross(hit); });
  if (end == ShadowWalkEnd::outsideScene) return ShadowResult::outsideScene;
  if (end == ShadowWalkEnd::stopped) return ShadowResult::blocked;
  return state.Crossed() ? ShadowResult::filtered : ShadowResult::clear;
}

}  // namespace brevoxa
