// The benchmark store's extra settings files and the sphere scenes.
#include "bench/render_scenes.h"

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <system_error>

#include "material/environment.h"
#include "material/material_doc.h"
#include "render/render_doc.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/workspace.h"
#include "tools/scene_parts.h"
#include "tools/store_builder.h"
#include "tools/store_files.h"
#include "ui/recording_ui.h"

namespace brevoxa::bench {

namespace {

constexpr const char* kSphereSettingsFile = "BENCH.RDR";
constexpr const char* kSphereSkyFile = "BENCH.ENV";
constexpr const char* kStarrySkyFile = "BENCHSTR.ENV";
constexpr const char* kGroundMaterialFile = "BENCHGND.MAT";
constexpr const char* kMirrorMaterialFile = "BENCHMIR.MAT";
constexpr const char* kHighSettingsFile = "BENCHHI.RDR";
constexpr const char* kFlatSkyFile = "BENCHFLT.ENV";
constexpr const char* kHighWorkspaceFile = "BENCHHI.WSP";

MaterialSettings Ground() {
  MaterialSettings s;
  s.name = "Bench ground";
  s.color = {170, 160, 140};
  return s;
}

MaterialSettings Mirror() {
  MaterialSettings s;
  s.name = "Bench mirror";
  s.color = {30, 30, 30};
  s.reflect = {128, 128, 128};
  return s;
}

EnvironmentSettings PlainSky(bool shadows, double stars = 0) {
  EnvironmentSettings s;
  s.name = "Bench sky";
  s.shadows = shadows;
  s.horizon = {150, 180, 220};
  s.ambientLight = {30, 30, 30};
  s.stars = stars;
  return s;
}

RenderSettings PictureSettings(int width, int height, int octreeLimit, Supersampling supersampling) {
  RenderSettings s;
  s.name = "Bench";
  s.width = static_cast<uint16_t>(width);
  s.height = static_cast<uint16_t>(height);
  s.depthLimit = 3;
  s.octreeLimit = static_cast<uint16_t>(octreeLimit);
  s.autoDisplay = false;
  s.supersampling = supersampling;
  return s;
}

template <class Document, class Settings>
bool WriteSettings(const Settings& settings, const std::string& path, IUserInterface& ui) {
  Document document;
  return document.SetSettings(settings) && store::WriteDocument(document, path, ui);
}

// The camera and the key light both scenes share.
void AddViewAndKeyLight(Workspace& ws) {
  constexpr double kDistance = 1.0;
  const double width = 2 * kDistance * std::tan(25.0 * std::acos(-1.0) / 180.0);
  store::AddCamera(ws, "Bench camera", {0, -4.5, 2.2}, {0, 0, 0.9}, width, kDistance);
  store::AddLight(ws, "Key", {-5, -5, 8}, {220, 220, 210});
}

}  // namespace

BenchStore::BenchStore()
    : folder_(std::filesystem::temp_directory_path() / ("brevoxa_render_bench_" + std::to_string(getpid()))),
      storeDir_((folder_ / "OBJSTORE").string()),
      scope_(storeDir_) {
  RecordingUi ui;
  ok_ = store::BuildStore(storeDir_, ui) && WriteSettings<CEnvironment>(PlainSky(true), File(kSphereSkyFile), ui) &&
        WriteSettings<CEnvironment>(PlainSky(false), File(kFlatSkyFile), ui) &&
        WriteSettings<CEnvironment>(PlainSky(true, 3), File(kStarrySkyFile), ui) &&
        WriteSettings<CMaterialDoc>(Ground(), File(kGroundMaterialFile), ui) &&
        WriteSettings<CMaterialDoc>(Mirror(), File(kMirrorMaterialFile), ui);
}

BenchStore::~BenchStore() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string BenchStore::File(const std::string& name) const {
  return (std::filesystem::path(storeDir_) / name).string();
}

bool BuildSphereScene(const BenchStore& store, Workspace& ws, int sphereDivisions, int octreeLimit,
                      Supersampling supersampling, bool secondSphere, bool stars) {
  RecordingUi ui;
  const RenderSettings settings = PictureSettings(640, 480, octreeLimit, supersampling);
  if (!WriteSettings<CRenderDoc>(settings, store.File(kSphereSettingsFile), ui)) return false;
  ws.GetRenderLink().SetFileName(kSphereSettingsFile);
  ws.GetEnvironmentLink().SetFileName(stars ? kStarrySkyFile : kSphereSkyFile);
  AddViewAndKeyLight(ws);
  store::AddLight(ws, "Fill", {4, -3, 5}, {110, 110, 120});

  auto ground = store::NewForm("Ground", "BENCHGND.FRM", {0, 0, 0});
  ground->AddPlane(16, 16, 10, 10);
  store::AddForm(ws, std::move(ground), kGroundMaterialFile);
  auto sphere = store::NewForm("Sphere", "BENCHSPH.FRM", {0, 0, 1});
  sphere->AddSphere(1, sphereDivisions, sphereDivisions);
  store::AddForm(ws, std::move(sphere), kMirrorMaterialFile);
  if (secondSphere) {
    auto small = store::NewForm("Small sphere", "BENCHSM.FRM", {1.7, 1.3, 0.6});
    small->AddSphere(0.6, sphereDivisions, sphereDivisions);
    store::AddForm(ws, std::move(small), kMirrorMaterialFile);
  }
  return true;
}

std::string WriteHighScene(const BenchStore& store, int width, int height) {
  RecordingUi ui;
  const RenderSettings settings = PictureSettings(width, height, 6, Supersampling::high);
  if (!WriteSettings<CRenderDoc>(settings, store.File(kHighSettingsFile), ui)) return {};

  Workspace ws;
  ws.SetName("Bench high");
  ws.GetRenderLink().SetFileName(kHighSettingsFile);
  ws.GetEnvironmentLink().SetFileName(kFlatSkyFile);
  AddViewAndKeyLight(ws);
  auto ground = store::NewForm("Ground", "BENCHHIG.FRM", {0, 0, 0});
  ground->AddPlane(16, 16, 1, 1);
  store::AddForm(ws, std::move(ground), kGroundMaterialFile);
  auto ball = store::NewForm("Ball", "BENCHHIB.FRM", {0, 0, 0.5});
  ball->AddSphere(0.5, 16, 8);
  store::AddForm(ws, std::move(ball), kGroundMaterialFile);
  const std::string path = store.File(kHighWorkspaceFile);
  return ws.Save(path, ui) && ui.Messages().empty() ? path : std::string();
}

const ICamera* FirstCamera(const Workspace& ws) {
  for (const IDrawable* item : ws.GetItems())
    if (item->IsKindOf(RUNTIME_CLASS(ICamera))) return static_cast<const ICamera*>(item);
  return nullptr;
}

}  // namespace brevoxa::bench
