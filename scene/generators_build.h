// Private to the generator sources: the new layer a generator fills, with
// the points it adds to the form on the way.
#pragma once

#include <cmath>
#include <initializer_list>

#include "math/vector.h"

namespace brevoxa {

class ILayer;
class IObject;
class IPoint;
class IPolygon;

namespace generators {

class LayerBuilder {
 public:
  // Appends a new layer of that name to the form, attached to its frame.
  LayerBuilder(IObject& form, const char* name);

  ILayer& Layer() const { return *layer_; }
  // A new point of the form at the local position, placed in its frame.
  IPoint* Point(const CVector& local);
  // A new polygon at the tail of the layer.
  IPolygon* Polygon(std::initializer_list<IPoint*> points = {});
  // The quad, or the two triangles (a, c, d) and (a, b, c) of the same
  // winding when its points do not lie in one plane.
  void QuadOrTriangles(IPoint* a, IPoint* b, IPoint* c, IPoint* d);
  void Triangles(IPoint* a, IPoint* b, IPoint* c, IPoint* d);

 private:
  IObject& form_;
  ILayer* layer_;
};

inline bool IsFinite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace generators
}  // namespace brevoxa
