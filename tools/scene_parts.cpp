// Cameras, lights, views, forms and the two composite shapes of the store.
#include "tools/scene_parts.h"

#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "math/view_tran.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/generators.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/workspace.h"

namespace brevoxa::store {

namespace {

// What a view's client area is until the editor sizes its window.
constexpr int32_t kClientWidth = 400;
constexpr int32_t kClientHeight = 300;

void SetClientArea(CViewRecord& view) { view.GetViewTran().SetClientRect(0, 0, kClientWidth, kClientHeight); }

// One face of a box: the corners go clockwise as seen from outside, which
// makes the polygon's normal point out of the box.
void AddFace(IObject& form, ILayer& layer, const CVector& centre, const CVector& u, const CVector& v) {
  static constexpr double kCorners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
  auto* face = new IPolygon;
  for (const auto& corner : kCorners) {
    auto* point = new IPoint(centre + u * corner[0] + v * corner[1]);
    form.GetPoints().AddTail(point);
    face->AddPoint(point);
  }
  layer.GetPolygons().AddTail(face);
}

}  // namespace

ICamera* AddCamera(Workspace& ws, const std::string& name, const CVector& eye, const CVector& target,
                   double viewPlaneWidth, double viewPlaneDistance) {
  auto camera = std::make_unique<ICamera>();
  camera->SetName(name);
  camera->SetPosition(eye);
  camera->SetTarget(target);
  // Straight above the eye, at a handle's distance the editor can grab.
  const double reach = (target - eye).Length();
  camera->SetUpPoint(eye + CVector(0, 0, std::round(reach / 6)));
  camera->SetViewPlaneWidth(viewPlaneWidth);
  camera->SetViewPlaneDistance(viewPlaneDistance);
  return static_cast<ICamera*>(ws.AddItem(std::move(camera)));
}

ILight* AddLight(Workspace& ws, const std::string& name, const CVector& position, const CVector& colour) {
  auto light = std::make_unique<ILight>();
  light->SetName(name);
  light->SetPosition(position);
  light->SetColour(colour);
  return static_cast<ILight*>(ws.AddItem(std::move(light)));
}

CViewRecord& AddCameraView(Workspace& ws, ICamera& camera, const PixelRect& placement) {
  CViewRecord& view = ws.AddView();
  view.SetName(camera.GetName());
  view.GetViewTran().SetViewType(IViewTran::camera);
  view.GetViewTran().SetCamera(&camera);
  SetClientArea(view);
  view.Placement().normal = placement;
  return view;
}

CViewRecord& AddParallelView(Workspace& ws, int viewType, const std::string& name, double h, double v,
                             double viewWidth, const PixelRect& placement) {
  CViewRecord& view = ws.AddView();
  view.SetName(name);
  view.GetViewTran().SetViewType(viewType);
  view.GetViewTran().SetCentre(h, v);
  view.GetViewTran().SetViewWidth(viewWidth);
  SetClientArea(view);
  view.Placement().normal = placement;
  return view;
}

std::unique_ptr<IObject> NewForm(const std::string& name, const std::string& fileName, const CVector& position,
                                 const CVector& rotation) {
  auto form = std::make_unique<IObject>();
  form->SetName(name);
  form->SetFileName(fileName);
  form->SetPosition(position);
  form->SetRotation(rotation);
  return form;
}

IObject* AddForm(Workspace& ws, std::unique_ptr<IObject> form, const std::string& materialFile) {
  // A generator that refused its values would leave a form with no layer;
  // the store must never ship one.
  if (form->GetLayers().IsEmpty()) throw std::logic_error("form " + form->GetName() + " has no geometry");
  for (IDrawable* layer : form->GetLayers()) static_cast<ILayer*>(layer)->GetMaterial().SetFileName(materialFile);
  form->UpdateWorldGeometry();
  return static_cast<IObject*>(ws.AddItem(std::move(form)));
}

ILayer* AddBox(IObject& form, const CVector& size) {
  auto* layer = new ILayer;
  layer->SetName("Box Group");
  form.GetLayers().AddTail(layer);
  const CVector h = size * 0.5;
  const CVector x(h.x, 0, 0), y(0, h.y, 0), z(0, 0, h.z);
  // Each face's u x v is its outward normal.
  AddFace(form, *layer, x, y, z);
  AddFace(form, *layer, x * -1, z, y);
  AddFace(form, *layer, y, z, x);
  AddFace(form, *layer, y * -1, x, z);
  AddFace(form, *layer, z, x, y);
  AddFace(form, *layer, z * -1, y, x);
  form.InvalidateBounds();
  return layer;
}

ILayer* AddRing(IObject& form, double ringRadius, double tubeRadius, int divisions, int sides) {
  auto* guide = new ILayer;
  form.GetLayers().AddHead(guide);
  auto* circle = new IPolygon;
  guide->GetPolygons().AddTail(circle);
  std::vector<IPoint*> points;
  // Inner edge, over the top, outer edge, underneath: the order that makes
  // the lathed faces point out of the tube.
  for (int k = 0; k < sides; ++k) {
    const double a = k * kFullTurn / sides;
    auto* point = new IPoint(CVector(ringRadius - tubeRadius * std::cos(a), 0, tubeRadius * std::sin(a)));
    form.GetPoints().AddTail(point);
    circle->AddPoint(point);
    points.push_back(point);
  }
  guide->GetPolygons().SelectItem(circle, true);
  ILayer* ring = form.Lathe(divisions, false);
  // Left in place the guide would stand inside the tube as a flat disk,
  // which a transparent material would show.
  form.GetLayers().Remove(guide);
  delete guide;
  for (IPoint* point : points) {
    form.GetPoints().Remove(point);
    delete point;
  }
  form.InvalidateBounds();
  if (ring == nullptr) throw std::logic_error("the ring's lathe was refused");
  return ring;
}

}  // namespace brevoxa::store
