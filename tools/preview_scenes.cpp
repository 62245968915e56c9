// The preview skies and workspaces. Every preview is seen by one camera
// from above and to the side, lit by a bright key light and a dim fill so
// that a material's colour, highlight and shading all show.
#include "tools/preview_scenes.h"

#include <utility>

#include "math/view_tran.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/workspace.h"
#include "tools/scene_parts.h"

namespace brevoxa::store {

namespace {

// A single view filling most of the main window.
constexpr PixelRect kPreviewPlacement{0, 0, 6000, 6000};

EnvironmentSettings PreviewSky(const char* name) {
  EnvironmentSettings sky;
  sky.name = name;
  sky.shadows = true;
  sky.ambientLight = {40, 40, 40};
  return sky;
}

// Camera, lights and links shared by the three previews; the camera looks at
// target from the +X side, as a new editing camera does.
void SetUpPreview(Workspace& ws, const char* name, const CVector& eye, const CVector& target) {
  ws.SetName(name);
  ws.SetDescription("Material preview");
  ws.GetEnvironmentLink().SetFileName(kPreviewSkyFile);
  ws.GetRenderLink().SetFileName(kPreviewSettingsFile);
  ICamera* camera = AddCamera(ws, "Preview camera", eye, target, 10.0, 10.0);
  AddLight(ws, "Key light", {60, 45, 80}, {230, 230, 230});
  AddLight(ws, "Fill light", {30, -70, 20}, {80, 80, 90});
  AddCameraView(ws, *camera, kPreviewPlacement);
}

}  // namespace

EnvironmentSettings BlackSky() { return PreviewSky("Black"); }

EnvironmentSettings WhiteSky() {
  EnvironmentSettings sky = PreviewSky("White");
  sky.horizon = {255, 255, 255};
  return sky;
}

EnvironmentSettings GradientSky() {
  EnvironmentSettings sky = PreviewSky("Color Gradient");
  sky.enablePoles = true;
  sky.positivePole = {30, 70, 210};
  sky.horizon = {225, 230, 240};
  sky.negativePole = {30, 25, 20};
  // Below 1 the colours leave the horizon quickly, so the few degrees of
  // sky a preview camera sees already show the gradient.
  sky.poleTension = 0.5;
  return sky;
}

RenderSettings PreviewRenderSettings() {
  RenderSettings settings;
  settings.name = "Preview";
  settings.width = 160;
  settings.height = 120;
  settings.supersampling = Supersampling::low;
  // Deep enough to see through both walls of a glass sphere.
  settings.depthLimit = 4;
  settings.jpegQuality = 90;
  return settings;
}

void BuildSpherePreview(Workspace& ws) {
  SetUpPreview(ws, "Sphere", {40, 13, 9}, {0, 0, 0});
  auto sphere = NewForm("Sphere", "PREVSPH.FRM", {0, 0, 0});
  sphere->AddSphere(10, 32, 16);
  AddForm(ws, std::move(sphere), kPreviewMaterialFile);
}

void BuildBoxPreview(Workspace& ws) {
  SetUpPreview(ws, "Box", {36, 21, 17}, {0, 0, 0});
  auto box = NewForm("Box", "PREVBOX.FRM", {0, 0, 0});
  AddBox(*box, {16, 16, 16});
  AddForm(ws, std::move(box), kPreviewMaterialFile);
}

void BuildComplexPreview(Workspace& ws) {
  SetUpPreview(ws, "Complex", {58, 8, 30}, {0, 0, 4});
  auto floor = NewForm("Floor", "PREVCPX1.FRM", {0, 0, 0});
  floor->AddPlane(90, 90, 6, 6);
  AddForm(ws, std::move(floor), kPreviewMaterialFile);

  auto sphere = NewForm("Sphere", "PREVCPX2.FRM", {-2, -13, 8});
  sphere->AddSphere(8, 24, 12);
  AddForm(ws, std::move(sphere), kPreviewMaterialFile);

  auto ring = NewForm("Ring", "PREVCPX3.FRM", {12, 6, 3});
  AddRing(*ring, 7, 3, 24, 12);
  AddForm(ws, std::move(ring), kPreviewMaterialFile);

  auto cone = NewForm("Cone", "PREVCPX4.FRM", {-10, 12, 0});
  cone->AddCone(7, 18, 24, true);
  AddForm(ws, std::move(cone), kPreviewMaterialFile);
}

}  // namespace brevoxa::store
