// Ray–polygon tests: where a ray meets a polygon's plane, and whether that
// point lies inside the polygon, found through the triangles of the fan
// from the polygon's first vertex.
#pragma once

#include <cmath>
#include <span>

#include "render/hit_record.h"
#include "render/ray.h"

namespace brevoxa {

class IPoint;
class IPolygon;

// Nearer than this a ray never hits anything: secondary rays start exactly
// on the surface they leave, and this keeps them from meeting it again.
inline constexpr double kMinHitDistance = 1e-5;
// Below this |normal · direction| a ray counts as running in the plane.
inline constexpr double kParallelTolerance = 1e-5;

// The distance t along the ray to the polygon's plane (normal · X = planeD).
// False when the ray is parallel to the plane, or the polygon has no normal.
bool IntersectPlane(const IPolygon& polygon, const Ray& ray, double& t);
// The same for a plane given by its normal and distance. Inline: the octree
// calls it for every entry of every leaf a ray passes.
inline bool IntersectPlane(const CVector& normal, double planeD, const Ray& ray, double& t) {
  const double denominator = normal.Dot(ray.direction);
  // Written so that a NaN denominator fails too.
  if (!(std::fabs(denominator) >= kParallelTolerance)) return false;
  t = (planeD - normal.Dot(ray.origin)) / denominator;
  return true;
}

// Whether the point at distance t lies inside the polygon, or within a
// rounding error of its outline, so that neighbours sharing an edge leave
// no gap between them. On success the record receives the point, t, the fan
// coordinates and the fan triangle's vertices; on failure it is left as it
// was. The polygon's normal must be computed (its dominant axis chooses the
// projection plane).
bool ContainsHit(const IPolygon& polygon, HitRecord& hit, const Ray& ray, double t);

// The same test over the vertices' world positions in order, projected
// along dominantAxis (1 X, 2 Y, 3 Z); points[i] is the point at
// positions[i], for the record. The octree keeps both in arrays.
bool ContainsHit(std::span<const CVector> positions, const IPoint* const* points, int dominantAxis,
                 HitRecord& hit, const Ray& ray, double t);

// A box around a polygon outside which ContainsHit never accepts a point,
// whatever its rounding, so that a point found outside it is refused
// without the fan test. Along the projection axis it is unbounded; for a
// polygon whose fan triangles are too thin for the bound to hold, or whose
// size is lost in its coordinates' rounding, it is unbounded everywhere.
struct FanRejectBox {
  float lo[3];
  float hi[3];

  // Whether ray.At(t), computed as ContainsHit computes it, lies outside.
  // A NaN point never does.
  bool Refuses(const CVector& point) const {
    return point.x < lo[0] || point.x > hi[0] || point.y < lo[1] || point.y > hi[1] || point.z < lo[2] ||
           point.z > hi[2];
  }
};

FanRejectBox MakeFanRejectBox(std::span<const CVector> positions, int dominantAxis);

}  // namespace brevoxa
