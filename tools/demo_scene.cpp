// The demonstration scene. Sizes are world units; the floor is the plane
// z = 0 and every solid stands on it. The polygon count stays near two
// thousand so that the scene renders in seconds.
#include "tools/demo_scene.h"

#include <stdexcept>
#include <utility>

#include "material/color_map.h"
#include "material/texture_check.h"
#include "material/texture_solid.h"
#include "math/view_tran.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/workspace.h"
#include "tools/scene_parts.h"

namespace brevoxa::store {

namespace {

constexpr const char* kFloorMaterial = "DEMOFLR.MAT";
constexpr const char* kGlassMaterial = "DEMOGLS.MAT";
constexpr const char* kChromeMaterial = "DEMOCHR.MAT";
constexpr const char* kMirrorMaterial = "DEMOMIR.MAT";
constexpr const char* kRedMaterial = "DEMORED.MAT";
constexpr const char* kMarbleMaterial = "DEMOMRB.MAT";
constexpr const char* kWoodMaterial = "DEMOWOD.MAT";

// The floor's checks are this many world units on a side.
constexpr double kCheckSize = 20.0;

std::unique_ptr<CMaterialDoc> MakeMaterial(const MaterialSettings& settings) {
  auto material = std::make_unique<CMaterialDoc>();
  if (!material->SetSettings(settings)) throw std::logic_error("material " + settings.name + " is out of range");
  return material;
}

std::unique_ptr<CMaterialDoc> Floor() {
  MaterialSettings s;
  s.name = "Demo floor";
  s.specular = {60, 60, 60};
  s.hardness = 20;
  // A little polish, so the solids stand in their own faint reflections.
  s.reflect = {35, 35, 35};
  auto material = MakeMaterial(s);
  auto check = std::make_unique<ICheckTexture>();
  ICheckTexture::Values v;
  v.mapping = kMapPlane;
  v.firstColor = {45, 45, 60};
  v.secondColor = {215, 210, 195};
  check->SetValues(v);
  material->AddTexture(std::move(check));
  return material;
}

std::unique_ptr<CMaterialDoc> Glass() {
  MaterialSettings s;
  s.name = "Demo glass";
  s.color = {8, 10, 12};
  s.filter = {215, 225, 230};
  s.reflect = {25, 25, 25};
  s.specular = {255, 255, 255};
  s.hardness = 120;
  s.indexOfRefraction = 1.5;
  return MakeMaterial(s);
}

std::unique_ptr<CMaterialDoc> Chrome() {
  MaterialSettings s;
  s.name = "Demo chrome";
  s.color = {20, 20, 24};
  s.reflect = {205, 205, 215};
  s.specular = {255, 255, 255};
  s.hardness = 80;
  return MakeMaterial(s);
}

std::unique_ptr<CMaterialDoc> Mirror() {
  MaterialSettings s;
  s.name = "Demo mirror";
  s.color = {6, 6, 6};
  s.reflect = {235, 235, 235};
  return MakeMaterial(s);
}

std::unique_ptr<CMaterialDoc> Red() {
  MaterialSettings s;
  s.name = "Demo red";
  s.color = {190, 35, 25};
  s.specular = {220, 220, 220};
  s.hardness = 40;
  return MakeMaterial(s);
}

std::unique_ptr<CMaterialDoc> Marble() {
  MaterialSettings s;
  s.name = "Demo marble";
  s.specular = {180, 180, 180};
  s.hardness = 60;
  auto material = MakeMaterial(s);
  auto marble = std::make_unique<IMarbleTexture>();
  IColorMapTexture::Values v;
  v.turbulence = 3.0;
  // Mostly pale stone, darkening into thin grey veins at the top of the map.
  v.colorMap.SetSegment(0, ColorMapSegment::linear, {238, 234, 226});
  v.colorMap.SetSegment(16, ColorMapSegment::linear, {205, 200, 195});
  v.colorMap.SetSegment(19, ColorMapSegment::linear, {120, 120, 130});
  v.colorMap.SetSegment(20, ColorMapSegment::linear, {60, 60, 70});
  marble->SetValues(v);
  material->AddTexture(std::move(marble));
  return material;
}

std::unique_ptr<CMaterialDoc> Wood() {
  MaterialSettings s;
  s.name = "Demo wood";
  s.specular = {90, 80, 70};
  s.hardness = 25;
  auto material = MakeMaterial(s);
  auto wood = std::make_unique<IWoodTexture>();
  IWoodTexture::Values v;
  v.baseColor = {200, 130, 70};
  v.grainColor = {120, 70, 35};
  v.radialWaves = 3;
  v.lengthPerTwist = 6;
  v.radialRingSize = 1.2;
  wood->SetValues(v);
  material->AddTexture(std::move(wood));
  return material;
}

}  // namespace

std::vector<NamedMaterial> DemoMaterials() {
  std::vector<NamedMaterial> materials;
  materials.push_back({kFloorMaterial, Floor()});
  materials.push_back({kGlassMaterial, Glass()});
  materials.push_back({kChromeMaterial, Chrome()});
  materials.push_back({kMirrorMaterial, Mirror()});
  materials.push_back({kRedMaterial, Red()});
  materials.push_back({kMarbleMaterial, Marble()});
  materials.push_back({kWoodMaterial, Wood()});
  return materials;
}

EnvironmentSettings DemoSky() {
  EnvironmentSettings sky;
  sky.name = "Demo sky";
  sky.shadows = true;
  sky.enablePoles = true;
  sky.positivePole = {35, 80, 190};
  sky.horizon = {200, 212, 230};
  sky.negativePole = {40, 35, 30};
  sky.poleTension = 0.8;
  sky.ambientLight = {35, 35, 40};
  return sky;
}

RenderSettings DemoRenderSettings() {
  RenderSettings settings;
  settings.name = "Demo";
  settings.width = 640;
  settings.height = 480;
  settings.supersampling = Supersampling::low;
  settings.depthLimit = 4;
  settings.jpegQuality = 90;
  return settings;
}

void BuildDemo(Workspace& ws) {
  ws.SetName("Demo");
  ws.SetDescription("Glass, chrome, a mirror, marble and wood on a checkerboard floor");
  ws.GetEnvironmentLink().SetFileName(kDemoSkyFile);
  ws.GetRenderLink().SetFileName(kDemoSettingsFile);

  ICamera* camera = AddCamera(ws, "Demo camera", {175, 70, 80}, {0, -5, 14}, 10.0, 11.0);
  AddLight(ws, "Sun", {160, -110, 230}, {230, 225, 210});
  AddLight(ws, "Sky fill", {-40, 150, 110}, {105, 110, 125});

  auto floor = NewForm("Floor", "DEMOFLR.FRM", {0, 0, 0});
  ILayer* tiles = floor->AddPlane(300, 300, 6, 6);
  // The checks follow the layer's frame. Six to a unit of the pattern, they
  // become kCheckSize across when the frame is scaled by three times that;
  // and moved far off, every visible check lies on one side of the
  // pattern's origin, where the cell at zero would be twice as wide.
  if (tiles != nullptr) {
    const double scale = kCheckSize * 3;
    tiles->SetLocalScale({scale, scale, scale});
    tiles->SetLocalPosition({-20 * scale, -20 * scale, 0});
  }
  AddForm(ws, std::move(floor), kFloorMaterial);

  auto glass = NewForm("Glass ball", "DEMOGLS.FRM", {35, 12, 13});
  glass->AddSphere(13, 32, 16);
  AddForm(ws, std::move(glass), kGlassMaterial);

  auto chrome = NewForm("Chrome ball", "DEMOCHR.FRM", {-15, -40, 16});
  chrome->AddSphere(16, 32, 16);
  AddForm(ws, std::move(chrome), kChromeMaterial);

  auto cone = NewForm("Red cone", "DEMOCON.FRM", {-5, 45, 0});
  cone->AddCone(11, 30, 32, true);
  AddForm(ws, std::move(cone), kRedMaterial);

  auto column = NewForm("Marble column", "DEMOCOL.FRM", {-45, 5, 0});
  // Noise varies over about one unit of its frame: scaled up, the marble's
  // veins run a few times round the column rather than as fine grain.
  if (ILayer* stone = column->AddCylinder(9, 9, 34, 32, true, true)) stone->SetLocalScale({12, 12, 12});
  AddForm(ws, std::move(column), kMarbleMaterial);

  auto ring = NewForm("Wooden ring", "DEMORNG.FRM", {62, -30, 4.5});
  AddRing(*ring, 12, 4.5, 32, 12);
  AddForm(ws, std::move(ring), kWoodMaterial);

  // Standing on its lower edge behind the solids, turned to face the camera
  // side of the scene; the plane is made flat and turned upright.
  auto mirror = NewForm("Mirror", "DEMOMIR.FRM", {-85, -10, 35}, {0, 90, 20});
  mirror->AddPlane(70, 130, 1, 1);
  AddForm(ws, std::move(mirror), kMirrorMaterial);

  AddCameraView(ws, *camera, {0, 0, 5000, 5000});
  AddParallelView(ws, IViewTran::top, "Top", 0, 0, 320, {5000, 0, 10000, 5000});
  AddParallelView(ws, IViewTran::front, "Front", 0, -40, 320, {0, 5000, 5000, 10000});
  AddParallelView(ws, IViewTran::right, "Right", 0, -40, 320, {5000, 5000, 10000, 10000});
}

}  // namespace brevoxa::store
