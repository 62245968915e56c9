// Ray–polygon tests: plane distance and the fan-triangle containment test.
#include "render/intersect.h"

#include <cmath>
#include <vector>

#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {

namespace {

struct Projected {
  double a;
  double b;
};

// How far outside a fan triangle, in its own coordinates, a point still
// counts as inside. Two polygons that share an edge each compute the hit
// point on their own plane and their own fan coordinates, so a ray through
// the edge can land a rounding error outside both of them and slip through
// the surface; this much overlap closes the seam. It is far below anything
// a picture shows, and relative to the triangle, so it holds at any scale.
constexpr double kFanTolerance = 1e-9;

// The two coordinates other than the dominant axis (1 X, 2 Y, 3 Z).
template <int kDominantAxis>
Projected Project(const CVector& v) {
  if constexpr (kDominantAxis == 1) return {v.y, v.z};
  if constexpr (kDominantAxis == 2) return {v.x, v.z};
  return {v.x, v.y};
}

// The fan test over count vertices: positionAt(i) gives vertex i's world
// position and pointAt(i) its IPoint. Apart from the tolerance and the
// choice of row for α below, the arithmetic is the renderer's long-standing
// one: the fan coordinates and which triangle answers first reach the
// image through smooth shading.
template <int kDominantAxis, class PositionAt, class PointAt>
bool ContainsHitIn(size_t count, PositionAt positionAt, PointAt pointAt, HitRecord& hit, const Ray& ray, double t) {
  if (count < 3) return false;
  const CVector h = ray.At(t);
  const Projected p0 = Project<kDominantAxis>(positionAt(0));
  const Projected ph = Project<kDominantAxis>(h);
  const double u0 = ph.a - p0.a;
  const double w0 = ph.b - p0.b;

  Projected pi = Project<kDominantAxis>(positionAt(1));
  for (size_t i = 2; i < count; ++i) {
    const Projected pi1 = Project<kDominantAxis>(positionAt(i));
    const double u1 = pi.a - p0.a, w1 = pi.b - p0.b;
    const double u2 = pi1.a - p0.a, w2 = pi1.b - p0.b;
    bool solved = false;
    double alpha = 0.0, beta = 0.0;
    if (u1 == 0.0) {
      if (u2 != 0.0 && w1 != 0.0) {
        beta = u0 / u2;
        if (beta >= -kFanTolerance && beta <= 1.0 + kFanTolerance) {
          alpha = (w0 - beta * w2) / w1;
          solved = true;
        }
      }
    } else {
      const double denominator = u1 * w2 - u2 * w1;
      if (denominator != 0.0) {
        beta = (u1 * w0 - w1 * u0) / denominator;
        if (beta >= -kFanTolerance && beta <= 1.0 + kFanTolerance) {
          // Either row of the system gives α once β is known; dividing by the
          // larger of u1 and w1 keeps it accurate. With u1 merely close to 0
          // (an edge from q0 nearly along the b axis, as on the meridians
          // of a sphere) the u row leaves rounding noise over a tiny divisor,
          // and points inside the triangle came out far outside it or the
          // reverse: rays slipped through spheres and shadow rays met the
          // face next to the one they left.
          alpha = std::fabs(u1) >= std::fabs(w1) ? (u0 - u2 * beta) / u1 : (w0 - beta * w2) / w1;
          solved = true;
        }
      }
    }
    if (solved && alpha >= -kFanTolerance && alpha + beta <= 1.0 + kFanTolerance) {
      hit.point = h;
      hit.t = t;
      hit.alpha = alpha;
      hit.beta = beta;
      hit.q0 = pointAt(0);
      hit.qi = pointAt(i - 1);
      hit.qi1 = pointAt(i);
      return true;
    }
    pi = pi1;
  }
  return false;
}

template <class PositionAt, class PointAt>
bool ContainsHitOnAxis(int dominantAxis, size_t count, PositionAt positionAt, PointAt pointAt, HitRecord& hit,
                       const Ray& ray, double t) {
  switch (dominantAxis) {
    case 1: return ContainsHitIn<1>(count, positionAt, pointAt, hit, ray, t);
    case 2: return ContainsHitIn<2>(count, positionAt, pointAt, hit, ray, t);
    case 3: return ContainsHitIn<3>(count, positionAt, pointAt, hit, ray, t);
    default: return false;
  }
}

}  // namespace

bool IntersectPlane(const IPolygon& polygon, const Ray& ray, double& t) {
  return IntersectPlane(polygon.GetNormal(), polygon.GetPlaneD(), ray, t);
}

bool ContainsHit(const IPolygon& polygon, HitRecord& hit, const Ray& ray, double t) {
  std::vector<const IPoint*> list;
  for (const IDrawable* e : polygon.GetPoints()) list.push_back(static_cast<const IPoint*>(e));
  return ContainsHitOnAxis(
      polygon.GetDominantAxis(), list.size(), [&list](size_t k) -> const CVector& { return list[k]->world; },
      [&list](size_t k) { return list[k]; }, hit, ray, t);
}

bool ContainsHit(std::span<const CVector> positions, const IPoint* const* points, int dominantAxis,
                 HitRecord& hit, const Ray& ray, double t) {
  return ContainsHitOnAxis(
      dominantAxis, positions.size(), [positions](size_t k) -> const CVector& { return positions[k]; },
      [points](size_t k) { return points[k]; }, hit, ray, t);
}

}  // namespace brevoxa
