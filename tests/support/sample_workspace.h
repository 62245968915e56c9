// A small workspace that the workspace, corpus and command-line tests write
// with the real writer: two views (a parallel one and one through a camera),
// two cameras, a light, a form with a clone listed before it, and links that
// differ from the defaults. Saving it writes the form file PIER.FRM into
// OBJSTORE, so callers point OBJSTORE at a folder of their own first.
#pragma once

#include <memory>
#include <string>

#include "math/view_tran.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/workspace.h"

namespace brevoxa::testing {

inline ICamera* AddSampleCamera(Workspace& ws, const std::string& name, const CVector& at) {
  auto camera = std::make_unique<ICamera>();
  camera->SetName(name);
  camera->PlaceAt(at, 100.0);
  camera->SetViewPlaneWidth(12.5);
  camera->SetViewPlaneDistance(7.25);
  return static_cast<ICamera*>(ws.AddItem(std::move(camera)));
}

inline ILight* AddSampleLight(Workspace& ws, const std::string& name, const CVector& at, const CVector& colour) {
  auto light = std::make_unique<ILight>();
  light->SetName(name);
  light->SetPosition(at);
  light->SetColour(colour);
  return static_cast<ILight*>(ws.AddItem(std::move(light)));
}

inline IPolygon* AddTriangle(ILayer& layer, IPoint* a, IPoint* b, IPoint* c) {
  auto* polygon = new IPolygon;
  polygon->AddPoint(a);
  polygon->AddPoint(b);
  polygon->AddPoint(c);
  layer.GetPolygons().AddTail(polygon);
  return polygon;
}

// Two layers of one triangle each, sharing an edge, and a fifth point that
// no polygon uses. The form is not yet in any workspace.
inline std::unique_ptr<IObject> MakeSampleForm(const std::string& name, const std::string& fileName, const CVector& at) {
  auto form = std::make_unique<IObject>();
  form->SetName(name);
  form->SetFileName(fileName);
  form->SetDescription("A wooden pier");
  form->SetExternalName("Pier, 1:100");
  form->SetPosition(at);
  IPoint* p[5];
  const CVector locals[5] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {5, 5, 5}};
  for (int i = 0; i < 5; ++i) {
    p[i] = new IPoint(locals[i]);
    form->GetPoints().AddTail(p[i]);
  }
  auto* floor = new ILayer;
  floor->SetName("Floor");
  form->GetLayers().AddTail(floor);
  AddTriangle(*floor, p[0], p[1], p[2]);
  auto* wall = new ILayer;
  wall->SetName("Wall");
  wall->GetMaterial().SetFileName("BRICK.MAT");
  form->GetLayers().AddTail(wall);
  AddTriangle(*wall, p[0], p[1], p[3]);
  form->UpdateWorldGeometry();
  return form;
}

// A clone of the master, placed elsewhere; the caller adds it.
inline std::unique_ptr<IObject> MakeSampleClone(IObject& master, const std::string& name, const CVector& at) {
  auto clone = std::make_unique<IObject>();
  clone->SetName(name);
  clone->SetPosition(at);
  clone->SetCloneMaster(&master);
  master.AddClone();
  clone->UpdateFromMaster();
  return clone;
}

inline void PopulateSample(Workspace& ws) {
  ws.SetName("Harbour");
  ws.SetDescription("Night scene\nwith two cameras");
  AddSampleCamera(ws, "Quay", {0, 0, 20});
  ICamera* tower = AddSampleCamera(ws, "Tower", {50, -10, 80});
  AddSampleLight(ws, "Lamp", {5, 6, 7}, {255, 200, 100});
  // The clone comes first, so its master first appears inside the clone's
  // header and the list refers back to it.
  std::unique_ptr<IObject> pier = MakeSampleForm("Pier", "PIER.FRM", {100, 0, 0});
  ws.AddItem(MakeSampleClone(*pier, "Pier copy", {100, 40, 0}));
  ws.AddItem(std::move(pier));

  CViewRecord& top = ws.AddView();
  top.SetName("Plan");
  top.SetGridSize(25.0);
  top.GetViewTran().SetViewType(IViewTran::top);
  top.GetViewTran().SetCentre(12.0, -3.5);
  top.GetViewTran().SetViewWidth(400.0);
  top.GetViewTran().SetClientRect(0, 0, 640, 480);
  top.Placement().normal = {0, 0, 5000, 5000};

  CViewRecord& through = ws.AddView();
  through.SetName("Tower view");
  through.GetViewTran().SetViewType(IViewTran::camera);
  through.GetViewTran().SetCamera(tower);
  through.GetViewTran().SetRemoveBackFaces(true);
  through.Placement().normal = {5000, 0, 10000, 5000};

  ws.GetRenderLink().SetFileName("FAST.RDR");
  ws.GetEnvironmentLink().SetFileName("D:\\SKIES\\NIGHT.ENV");
}

}  // namespace brevoxa::testing
