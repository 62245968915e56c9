// The pieces every generator builds with: a new layer of the form, its new
// points and polygons, and the status text that reports it.
#include "scene/generators.h"

#include <memory>

#include "scene/form_object.h"
#include "scene/generators_build.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {

std::string AddedLayerStatus(const ILayer& layer) {
  std::string text = "Added Layer ";
  text += layer.GetName();
  return text;
}

namespace generators {

LayerBuilder::LayerBuilder(IObject& form, const char* name) : form_(form), layer_(new ILayer) {
  form.GetLayers().AddTail(layer_);
  layer_->AttachTo(form.GetFrame());
  layer_->SetName(name);
  form.InvalidateBounds();
}

IPoint* LayerBuilder::Point(const CVector& local) {
  auto* point = new IPoint(local);
  form_.GetPoints().AddTail(point);
  point->PlaceIn(form_.GetFrame());
  return point;
}

IPolygon* LayerBuilder::Polygon(std::initializer_list<IPoint*> points) {
  auto* polygon = new IPolygon;
  layer_->GetPolygons().AddTail(polygon);
  for (IPoint* p : points) polygon->AddPoint(p);
  return polygon;
}

void LayerBuilder::QuadOrTriangles(IPoint* a, IPoint* b, IPoint* c, IPoint* d) {
  // The planarity test is the one the polygon editing level applies, so a
  // generated face is never one that editing would then throw out.
  auto quad = std::make_unique<IPolygon>();
  for (IPoint* p : {a, b, c, d}) quad->AddPoint(p);
  if (quad->IsPlanar()) {
    layer_->GetPolygons().AddTail(quad.release());
  } else {
    Triangles(a, b, c, d);
  }
}

void LayerBuilder::Triangles(IPoint* a, IPoint* b, IPoint* c, IPoint* d) {
  Polygon({a, c, d});
  Polygon({a, b, c});
}

}  // namespace generators
}  // namespace brevoxa
