// HitRecord: what a ray query found, for the shading code to read. The
// polygon tests fill the geometric part (point, distance, fan triangle);
// the octree adds the form, layer and polygon the hit belongs to.
#pragma once

#include "math/vector.h"

namespace brevoxa {

class ILayer;
class IObject;
class IPoint;
class IPolygon;

struct HitRecord {
  const IObject* form = nullptr;
  const ILayer* layer = nullptr;
  const IPolygon* polygon = nullptr;
  // The polygon's own geometric normal, as ComputeNormal left it (not
  // turned towards the viewer).
  CVector normal;
  CVector point;
  // Distance along the ray: point = origin + direction * t.
  double t = 0.0;
  // Fan coordinates within the triangle (q0, qi, qi1) of the polygon's fan:
  // point = q0 + alpha * (qi - q0) + beta * (qi1 - q0) in the projection
  // plane, so q0 weighs 1 - alpha - beta in smooth shading.
  double alpha = 0.0;
  double beta = 0.0;
  const IPoint* q0 = nullptr;
  const IPoint* qi = nullptr;
  const IPoint* qi1 = nullptr;
};

// The record goes by both names: the scene elements' Intersect slot calls it
// a hit record, the queries a ray hit.
using RayHit = HitRecord;

}  // namespace brevoxa
