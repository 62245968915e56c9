// Ray–polygon tests: plane distance and the fan-triangle containment test.
#include "render/intersect.h"

#include <cmath>

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

// The two coordinates other than the dominant axis.
Projected Project(const CVector& v, int dominantAxis) {
  switch (dominantAxis) {
    case 1: return {v.y, v.z};
    case 2: return {v.x, v.z};
    default: return {v.x, v.y};
  }
}

// The fan test over any sequence of vertices. PointAt turns an element of
// the sequence into its IPoint. Apart from the tolerance and the choice of
// row for α below, the arithmetic is the renderer's long-standing one: the
// fan coordinates and which triangle answers first reach the image through
// smooth shading.
template <class Iterator, class PointAt>
bool ContainsHitIn(Iterator first, Iterator last, PointAt pointAt, int dominantAxis, HitRecord& hit,
                   const Ray& ray, double t) {
  if (first == last || dominantAxis < 1 || dominantAxis > 3) return false;
  const CVector h = ray.At(t);
  const IPoint* q0 = pointAt(*first);
  const Projected p0 = Project(q0->world, dominantAxis);
  const Projected ph = Project(h, dominantAxis);
  const double u0 = ph.a - p0.a;
  const double w0 = ph.b - p0.b;

  Iterator it = first;
  ++it;
  if (it == last) return false;
  const IPoint* qi = pointAt(*it);
  Projected pi = Project(qi->world, dominantAxis);
  for (++it; it != last; ++it) {
    const IPoint* qi1 = pointAt(*it);
    const Projected pi1 = Project(qi1->world, dominantAxis);
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
      hit.q0 = q0;
      hit.qi = qi;
      hit.qi1 = qi1;
      return true;
    }
    qi = qi1;
    pi = pi1;
  }
  return false;
}

}  // namespace

bool IntersectPlane(const IPolygon& polygon, const Ray& ray, double& t) {
  return IntersectPlane(polygon.GetNormal(), polygon.GetPlaneD(), ray, t);
}

bool ContainsHit(const IPolygon& polygon, HitRecord& hit, const Ray& ray, double t) {
  const IObList& points = polygon.GetPoints();
  return ContainsHitIn(points.begin(), points.end(),
                       [](const IDrawable* e) { return static_cast<const IPoint*>(e); },
                       polygon.GetDominantAxis(), hit, ray, t);
}

bool ContainsHit(std::span<const IPoint* const> vertices, int dominantAxis, HitRecord& hit,
                 const Ray& ray, double t) {
  return ContainsHitIn(vertices.begin(), vertices.end(), [](const IPoint* p) { return p; },
                       dominantAxis, hit, ray, t);
}

}  // namespace brevoxa
