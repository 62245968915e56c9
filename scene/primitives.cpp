// The five primitive generators of a form: disk, cone, cylinder, sphere and
// plane, each one new layer. The vertex orders make every face's normal
// (Cross(p2 - p1, p1 - p0)) point away from the solid.
#include <cmath>
#include <utility>
#include <vector>

#include "scene/form_object.h"
#include "scene/generator_settings.h"
#include "scene/generators.h"
#include "scene/generators_build.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {

using generators::LayerBuilder;

namespace {

// A fan of side triangles round the apex, and optionally a bottom of its
// own copies of the rim. A height of 0 makes the centred disk.
ILayer* BuildCone(IObject& form, double radius, double height, int divisions, bool closeBottom) {
  LayerBuilder build(form, kConeGroup);
  IPoint* apex = build.Point({0, 0, height});
  IPolygon* bottom = closeBottom ? build.Polygon() : nullptr;
  IPoint* first = nullptr;
  IPoint* previous = nullptr;
  for (int k = 0; k < divisions; ++k) {
    const double a = k * kFullTurn / divisions;
    const CVector rim(radius * std::cos(a), radius * std::sin(a), 0);
    IPoint* p = build.Point(rim);
    if (k == 0) first = p;
    else build.Polygon({apex, p, previous});
    if (bottom) bottom->AddPoint(build.Point(rim));
    previous = p;
  }
  build.Polygon({apex, first, previous});
  return &build.Layer();
}

}  // namespace

ILayer* IObject::AddDisk(double radius, int divisions, bool centrePoint) {
  if (DiskDefinition{radius, divisions, centrePoint}.Check()) return nullptr;
  if (centrePoint) return BuildCone(*this, radius, 0.0, divisions, false);
  LayerBuilder build(*this, kDiskGroup);
  IPolygon* disk = build.Polygon();
  // From +Y clockwise seen from +Z: the normal is +Z.
  for (int k = 0; k < divisions; ++k) {
    const double a = k * kFullTurn / divisions;
    disk->AddPoint(build.Point({radius * std::sin(a), radius * std::cos(a), 0}));
  }
  return &build.Layer();
}

ILayer* IObject::AddCone(double radius, double height, int divisions, bool closeBottom) {
  if (ConeDefinition{radius, height, divisions, closeBottom}.Check()) return nullptr;
  return BuildCone(*this, radius, height, divisions, closeBottom);
}

ILayer* IObject::AddCylinder(double topRadius, double bottomRadius, double height, int divisions, bool closeTop,
                             bool closeBottom) {
  if (CylinderDefinition{topRadius, bottomRadius, height, divisions, closeTop, closeBottom}.Check()) return nullptr;
  LayerBuilder build(*this, kCylinderGroup);
  IPolygon* bottom = closeBottom ? build.Polygon() : nullptr;
  IPolygon* top = closeTop ? build.Polygon() : nullptr;
  std::vector<IPoint*> topRing;
  if (top) topRing.reserve(divisions);
  IPoint *firstB = nullptr, *firstT = nullptr, *previousB = nullptr, *previousT = nullptr;
  for (int k = 0; k < divisions; ++k) {
    const double a = k * kFullTurn / divisions;
    const double c = std::cos(a), s = std::sin(a);
    const CVector b(bottomRadius * c, bottomRadius * s, 0), t(topRadius * c, topRadius * s, height);
    IPoint* bk = build.Point(b);
    IPoint* tk = build.Point(t);
    if (k == 0) {
      firstB = bk;
      firstT = tk;
    } else {
      build.Polygon({previousT, tk, bk, previousB});
    }
    if (bottom) bottom->AddPoint(build.Point(b));
    if (top) topRing.push_back(build.Point(t));
    previousB = bk;
    previousT = tk;
  }
  build.Polygon({previousT, firstT, firstB, previousB});
  // T'0, T'n-1, ..., T'1: clockwise seen from +Z, so the top faces up.
  if (top) {
    top->AddPoint(topRing.front());
    for (size_t k = topRing.size() - 1; k >= 1; --k) top->AddPoint(topRing[k]);
  }
  return &build.Layer();
}

ILayer* IObject::AddSphere(double radius, int horizontalDivisions, int verticalDivisions) {
  if (SphereDefinition{radius, horizontalDivisions, verticalDivisions}.Check()) return nullptr;
  const int h = horizontalDivisions, v = verticalDivisions;
  LayerBuilder build(*this, kSphereGroup);
  IPoint* north = build.Point({0, 0, radius});
  IPoint* south = build.Point({0, 0, -radius});
  // Rows 1 ... v-1 of a column; slot 0 is unused.
  std::vector<IPoint*> first(v), previous(v), current(v);
  IAxis turn;
  for (int i = 0; i <= h; ++i) {
    if (i < h) {
      const double phi = i * kFullTurn / h;
      for (int j = 1; j < v; ++j) {
        const double theta = j * kHalfTurn / v;
        // Turned in a frame rather than from the closed formula: the two
        // differ in the last bits, and forms made earlier used the frame.
        turn.SetRotation({0, theta * kRadiansToDegrees - 90, phi * kRadiansToDegrees});
        current[j] = build.Point(turn.LocalToWorld({radius, 0, 0}));
      }
      if (i == 0) first = current;
    } else {
      current = first;
    }
    if (i >= 1) {
      build.Polygon({north, current[1], previous[1]});
      for (int j = 2; j < v; ++j) build.Polygon({previous[j - 1], current[j - 1], current[j], previous[j]});
      build.Polygon({south, previous[v - 1], current[v - 1]});
    }
    std::swap(previous, current);
  }
  return &build.Layer();
}

ILayer* IObject::AddPlane(double width, double height, int horizontalDivisions, int verticalDivisions) {
  if (PlaneDefinition{width, height, horizontalDivisions, verticalDivisions}.Check()) return nullptr;
  const int nx = horizontalDivisions, ny = verticalDivisions;
  const double dx = width / nx, dy = height / ny;
  LayerBuilder build(*this, kPlaneGroup);
  std::vector<IPoint*> previous(ny + 1), current(ny + 1);
  // Positions accumulate step by step rather than being multiplied out,
  // as in forms made earlier; the far edge may miss width / 2 by a rounding.
  double x = -width / 2;
  for (int i = 0; i <= nx; ++i, x += dx) {
    double y = -height / 2;
    for (int j = 0; j <= ny; ++j, y += dy) {
      current[j] = build.Point({x, y, 0});
      if (i >= 1 && j >= 1) build.Polygon({current[j], current[j - 1], previous[j - 1], previous[j]});
    }
    std::swap(previous, current);
  }
  return &build.Layer();
}

}  // namespace brevoxa
