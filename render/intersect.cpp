// Ray–polygon tests: plane distance and the fan-triangle containment test.
#include "render/intersect.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "math/float_bounds.h"
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

// Why the box holds. Say the fan test accepts the point h in the triangle
// (q0, qi, qi+1) with the computed coordinates α, β: β and α lie within
// 1e-9 of [0, 1] and α + β ≤ 1 + 1e-9, so h lies within about L of q0.
// With L the largest projected edge coordinate of the triangle (u1, w1,
// u2, w2) and D its determinant u1·w2 − u2·w1, β's rounding error is at
// most about 16 units of rounding times L²/|D|, and α's, whose row divides
// by the larger of |u1|, |w1| (at least |D| / 2L), about 2 L²/|D| times
// that again. Allowing L²/|D| ≤ 1000, they stay below 2e-12 and 4e-9; so
// the exact coordinates of h are at least −6e-9, and h lies within 1.2e-8
// of the triangle's extent outside its bounding rectangle. The box adds a
// millionth of the polygon's extent, and only where its coordinates are at
// most a million times that extent, so that the margin outlasts the
// rounding of the box and of h − q0.
FanRejectBox MakeFanRejectBox(std::span<const CVector> positions, int dominantAxis) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  FanRejectBox open;
  for (int axis = 0; axis < 3; ++axis) {
    open.lo[axis] = -kInfinity;
    open.hi[axis] = kInfinity;
  }
  if (positions.size() < 3 || dominantAxis < 1 || dominantAxis > 3) return open;
  const int axisA = dominantAxis == 1 ? 1 : 0;
  const int axisB = dominantAxis == 3 ? 1 : 2;

  constexpr double kMaxThinness = 1000.0;
  const double a0 = Axis(positions[0], axisA), b0 = Axis(positions[0], axisB);
  for (size_t i = 2; i < positions.size(); ++i) {
    // The differences exactly as the fan test forms them.
    const double u1 = Axis(positions[i - 1], axisA) - a0, w1 = Axis(positions[i - 1], axisB) - b0;
    const double u2 = Axis(positions[i], axisA) - a0, w2 = Axis(positions[i], axisB) - b0;
    const double determinant = u1 == 0.0 ? -u2 * w1 : u1 * w2 - u2 * w1;
    const double largest = std::max({std::fabs(u1), std::fabs(w1), std::fabs(u2), std::fabs(w2)});
    if (!(largest * largest <= kMaxThinness * std::fabs(determinant))) return open;
  }

  double lo[2] = {a0, b0}, hi[2] = {a0, b0}, magnitude = 0.0;
  for (const CVector& v : positions) {
    const double c[2] = {Axis(v, axisA), Axis(v, axisB)};
    for (int k = 0; k < 2; ++k) {
      lo[k] = std::min(lo[k], c[k]);
      hi[k] = std::max(hi[k], c[k]);
      magnitude = std::max(magnitude, std::fabs(c[k]));
    }
  }
  const double extent = std::max(hi[0] - lo[0], hi[1] - lo[1]);
  if (!(std::isfinite(magnitude) && extent > 0.0 && magnitude <= 1e6 * extent)) return open;
  const double margin = 1e-6 * extent;
  FanRejectBox box = open;
  const int axes[2] = {axisA, axisB};
  for (int k = 0; k < 2; ++k) {
    box.lo[axes[k]] = FloatBelow(lo[k] - margin);
    box.hi[axes[k]] = FloatAbove(hi[k] + margin);
  }
  return box;
}

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
