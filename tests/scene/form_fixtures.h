// Small forms and views that the form tests build on.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "math/view_tran.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "support/vector_near.h"

namespace brevoxa::testing {

inline IPoint* AddPoint(IObject& form, const CVector& local) {
  auto* point = new IPoint(local);
  point->PlaceIn(form.GetFrame());
  form.GetPoints().AddTail(point);
  return point;
}

inline ILayer* AddLayer(IObject& form, const std::string& name = "Layer") {
  auto* layer = new ILayer;
  layer->SetName(name);
  form.GetLayers().AddTail(layer);
  layer->AttachTo(form.GetFrame());
  return layer;
}

inline IPolygon* AddPolygon(ILayer& layer, std::initializer_list<IPoint*> points) {
  auto* polygon = new IPolygon;
  for (IPoint* p : points) polygon->AddPoint(p);
  layer.GetPolygons().AddTail(polygon);
  return polygon;
}

// Polygons over points at given world positions, kept alive by the test.
struct Shapes {
  IPolygon& Polygon(const std::vector<CVector>& corners) {
    polygons.push_back(std::make_unique<IPolygon>());
    for (const CVector& c : corners) {
      points.push_back(std::make_unique<IPoint>(c));
      points.back()->world = c;
      polygons.back()->AddPoint(points.back().get());
    }
    return *polygons.back();
  }
  std::vector<std::unique_ptr<IPoint>> points;
  std::vector<std::unique_ptr<IPolygon>> polygons;
};

// The elements of a list, as the class the list holds.
template <class T>
std::vector<T*> ElementsOf(const IObList& list) {
  std::vector<T*> elements;
  for (IDrawable* e : list) elements.push_back(static_cast<T*>(e));
  return elements;
}
inline std::vector<IPoint*> PointsOf(const IObject& form) { return ElementsOf<IPoint>(form.GetPoints()); }
inline std::vector<ILayer*> LayersOf(const IObject& form) { return ElementsOf<ILayer>(form.GetLayers()); }
inline std::vector<IPolygon*> PolygonsOf(const ILayer& layer) { return ElementsOf<IPolygon>(layer.GetPolygons()); }
inline std::vector<IPoint*> VerticesOf(const IPolygon& polygon) { return ElementsOf<IPoint>(polygon.GetPoints()); }

// A unit cube of eight shared points: layer "Caps" holds the bottom and top,
// "Sides" the four sides. The form frame is moved, turned and scaled.
inline std::unique_ptr<IObject> MakeCube() {
  auto form = std::make_unique<IObject>();
  form->SetName("Cube");
  form->SetFileName("CUBE.FRM");
  form->GetFrame().SetPosition({10, 20, 30});
  form->GetFrame().SetRotation({0, 0, 90});
  form->GetFrame().SetScale({2, 2, 2});
  IPoint* p[8];
  for (int i = 0; i < 8; ++i) p[i] = AddPoint(*form, {double(i & 1), double((i >> 1) & 1), double((i >> 2) & 1)});
  ILayer* caps = AddLayer(*form, "Caps");
  AddPolygon(*caps, {p[0], p[2], p[3], p[1]});
  AddPolygon(*caps, {p[4], p[5], p[7], p[6]});
  ILayer* sides = AddLayer(*form, "Sides");
  sides->GetMaterial().SetFileName("GLASS.MAT");
  AddPolygon(*sides, {p[0], p[1], p[5], p[4]});
  AddPolygon(*sides, {p[1], p[3], p[7], p[5]});
  AddPolygon(*sides, {p[3], p[2], p[6], p[7]});
  AddPolygon(*sides, {p[2], p[0], p[4], p[6]});
  form->SetDescription("A unit cube");
  form->SetExternalName("Cube body");
  return form;
}

// A parallel view 200 x 100 pixels wide showing 100 world units across:
// two pixels per unit, the world origin at pixel (100, 50).
inline void SetUpParallel(IViewTran& view, int type) {
  view.SetViewType(type);
  view.SetClientRect(0, 0, 200, 100);
  view.SetViewWidth(100);
  view.SetCentre(0, 0);
}

// A camera at (0, -50, 0) looking along +Y with Z up in a 200 x 100 view:
// camera coordinates (x, y, z) land at (100 + 200 x / z, 50 - 200 y / z).
struct CameraView {
  CameraView() {
    camera.SetPosition({0, -50, 0});
    camera.SetTarget({0, 0, 0});
    camera.SetUpPoint({0, -50, 10});
    camera.SetViewPlaneDistance(10);
    camera.SetViewPlaneWidth(10);
    view.SetViewType(IViewTran::camera);
    view.SetClientRect(0, 0, 200, 100);
    view.SetCamera(&camera);
  }
  ~CameraView() { view.SetCamera(nullptr); }
  ICamera camera;
  IViewTran view;
};

}  // namespace brevoxa::testing
