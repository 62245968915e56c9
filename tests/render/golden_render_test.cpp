// Small scenes rendered through the foreground path, compared byte for byte
// with tests/data/golden (BREVOXA_REGENERATE=1 rewrites them; look first).
// A mismatch leaves the new picture in golden-actual beside the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "material/color_map.h"
#include "material/random_source.h"
#include "material/texture_bumps.h"
#include "material/texture_check.h"
#include "material/texture_solid.h"
#include "render/background_render.h"
#include "render/image_output.h"
#include "render/render_document.h"
#include "support/render_scene.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddAimedCamera;
using testing::AddGeneratedForm;
using testing::AddLightAt;
using testing::RecordingReceiver;
using testing::RenderStore;
using testing::SaveMaterial;
using testing::SettingsOfSize;

MaterialSettings Matte(const CVector& colour, const CVector& specular = {}, double hardness = 10) {
  MaterialSettings m;
  m.color = colour;
  m.specular = specular;
  m.hardness = hardness;
  return m;
}

std::unique_ptr<ITexture> Checks(const CVector& first, const CVector& second) {
  auto check = std::make_unique<ICheckTexture>();
  ICheckTexture::Values v;
  v.mapping = kMapPlane;
  v.firstColor = first;
  v.secondColor = second;
  check->SetValues(v);
  return check;
}

// A plane in the form's z = 0 with checks `check` units across, their origin far off.
void Plane(Workspace& ws, const CVector& centre, const CVector& rotation, double width, double height,
           const std::string& material, double check = 1.0) {
  AddGeneratedForm(
      ws, centre, material,
      [&](IObject& form) {
        if (ILayer* layer = form.AddPlane(width, height, 4, 4)) {
          const double scale = check * 3;
          layer->SetLocalScale({scale, scale, scale});
          layer->SetLocalPosition({-20 * scale, -20 * scale, 0});
        }
      },
      rotation);
}

void Floor(Workspace& ws, double side, const std::string& material) { Plane(ws, {}, {}, side, side, material); }

// A ball whose layer frame (and so its solid textures) is turned and scaled.
void Ball(Workspace& ws, const CVector& centre, double radius, const std::string& material,
          const CVector& textureRotation = {}, double textureScale = 1.0) {
  AddGeneratedForm(ws, centre, material, [&](IObject& form) {
    if (ILayer* layer = form.AddSphere(radius, 24, 12)) {
      layer->SetLocalRotation(textureRotation);
      layer->SetLocalScale({textureScale, textureScale, textureScale});
    }
  });
}

EnvironmentSettings PlainSky(const CVector& horizon, bool shadows) {
  EnvironmentSettings sky;
  sky.horizon = horizon;
  sky.ambientLight = {45, 45, 50};
  sky.shadows = shadows;
  return sky;
}

RenderSettings Picture(int width, int height, int depthLimit, Supersampling sampling = Supersampling::none) {
  RenderSettings settings = SettingsOfSize(width, height, sampling);
  settings.depthLimit = static_cast<uint16_t>(depthLimit);
  return settings;
}

struct GoldenScene {
  const char* name;
  RenderSettings settings;
  EnvironmentSettings sky;
  // Fills the workspace and the store's materials; returns the camera.
  ICamera* (*build)(Workspace&, const RenderStore&);
};

void PrintTo(const GoldenScene& scene, std::ostream* out) { *out << scene.name; }

EnvironmentSettings StarrySky(double stars = 3) {
  EnvironmentSettings sky;
  sky.enablePoles = true;
  sky.positivePole = {20, 50, 190};
  sky.horizon = {235, 205, 170};
  sky.negativePole = {70, 45, 20};
  sky.poleTension = 0.6;
  sky.stars = stars;
  return sky;
}

EnvironmentSettings FoggySky() {
  EnvironmentSettings sky = PlainSky({0, 0, 0}, true);
  sky.fogColor = {205, 205, 215};
  sky.fogOccludedPerUnit = 5;
  return sky;
}

const GoldenScene kScenes[] = {
    // A red ball on a grey floor lit by a white key light from the left and
    // a dim blue fill from the right: the key's shadow falls to the right,
    // bluish where only the fill reaches, the fill's long and grey to the
    // left.
    {"shadows", Picture(64, 48, 3), PlainSky({70, 80, 100}, true),
     [](Workspace& ws, const RenderStore& store) {
       SaveMaterial(store, "FLOOR.MAT", Matte({190, 190, 190}));
       SaveMaterial(store, "BALL.MAT", Matte({200, 40, 30}, {200, 200, 200}, 30));
       Floor(ws, 30, "FLOOR.MAT");
       Ball(ws, {0, 0, 1}, 1, "BALL.MAT");
       AddLightAt(ws, {6, -6, 7}, {235, 235, 235});
       AddLightAt(ws, {4, 7, 3}, {60, 80, 150});
       return AddAimedCamera(ws, {8, 1, 4}, {0, 0, 0.5});
     }},
    // An upright mirror behind a green ball and a red cone shows their far
    // sides, lit by a second light between them and the mirror.
    {"mirror", Picture(64, 48, 3), PlainSky({70, 80, 100}, true),
     [](Workspace& ws, const RenderStore& store) {
       MaterialSettings mirror = Matte({6, 6, 6});
       mirror.reflect = {230, 230, 230};
       SaveMaterial(store, "MIRROR.MAT", mirror);
       SaveMaterial(store, "FLOOR.MAT", Matte({170, 160, 150}));
       SaveMaterial(store, "BALL.MAT", Matte({40, 190, 60}, {220, 220, 220}, 40));
       SaveMaterial(store, "CONE.MAT", Matte({210, 50, 40}));
       Floor(ws, 30, "FLOOR.MAT");
       Plane(ws, {-3, 0, 1.75}, {0, 90, 0}, 3.5, 6, "MIRROR.MAT");
       Ball(ws, {0, -0.8, 0.8}, 0.8, "BALL.MAT");
       AddGeneratedForm(ws, {-1.2, 1.2, 0}, "CONE.MAT", [](IObject& form) { form.AddCone(0.6, 1.8, 16, true); });
       AddLightAt(ws, {6, -3, 6}, {200, 200, 200});
       AddLightAt(ws, {-2, 0.5, 4}, {160, 160, 160});
       return AddAimedCamera(ws, {8, 3, 3}, {-1, 0, 1});
     }},
    // A glass ball in front of an upright checkerboard: the checks show
    // through it upside down and slightly blue, and its shadow is a
    // filtered one.
    {"glass", Picture(64, 48, 5), PlainSky({70, 80, 100}, true),
     [](Workspace& ws, const RenderStore& store) {
       MaterialSettings glass = Matte({5, 5, 8}, {255, 255, 255}, 120);
       glass.filter = {200, 220, 250};
       glass.reflect = {20, 20, 20};
       glass.indexOfRefraction = 1.5;
       SaveMaterial(store, "GLASS.MAT", glass);
       std::vector<std::unique_ptr<ITexture>> checks;
       checks.push_back(Checks({30, 30, 40}, {230, 225, 210}));
       SaveMaterial(store, "WALL.MAT", Matte({}), std::move(checks));
       SaveMaterial(store, "FLOOR.MAT", Matte({150, 150, 150}));
       Floor(ws, 30, "FLOOR.MAT");
       Plane(ws, {-2.5, 0, 3}, {0, 90, 0}, 6, 10, "WALL.MAT", 0.5);
       Ball(ws, {0, 0, 1.2}, 1, "GLASS.MAT");
       AddLightAt(ws, {6, -3, 6}, {240, 240, 240});
       return AddAimedCamera(ws, {6, 0.8, 1.6}, {0, 0, 1.3});
     }},
    // Wood rings facing the camera, marble veins and a shiny ball roughened
    // by noise, on a checked floor.
    {"textures", Picture(80, 60, 3), PlainSky({70, 80, 100}, true),
     [](Workspace& ws, const RenderStore& store) {
       std::vector<std::unique_ptr<ITexture>> textures;
       auto wood = std::make_unique<IWoodTexture>();
       IWoodTexture::Values w;
       w.baseColor = {205, 140, 75};
       w.grainColor = {110, 60, 30};
       w.radialRingSize = 0.15;
       wood->SetValues(w);
       textures.push_back(std::move(wood));
       SaveMaterial(store, "WOOD.MAT", Matte({}, {90, 80, 70}, 20), std::move(textures));

       auto marble = std::make_unique<IMarbleTexture>();
       IColorMapTexture::Values m;
       m.turbulence = 3.0;
       m.colorMap.SetSegment(0, ColorMapSegment::linear, {238, 234, 226});
       m.colorMap.SetSegment(14, ColorMapSegment::linear, {205, 200, 195});
       m.colorMap.SetSegment(18, ColorMapSegment::linear, {110, 110, 125});
       m.colorMap.SetSegment(20, ColorMapSegment::linear, {50, 50, 60});
       marble->SetValues(m);
       textures.push_back(std::move(marble));
       SaveMaterial(store, "MARBLE.MAT", Matte({}, {180, 180, 180}, 60), std::move(textures));

       auto rough = std::make_unique<IRoughnessTexture>();
       rough->SetValues({1.0, IRoughnessTexture::kUseTurbulence});
       textures.push_back(std::move(rough));
       SaveMaterial(store, "ROUGH.MAT", Matte({50, 90, 200}, {255, 255, 255}, 40), std::move(textures));

       textures.push_back(Checks({90, 90, 100}, {200, 200, 190}));
       SaveMaterial(store, "FLOOR.MAT", Matte({}), std::move(textures));

       Floor(ws, 30, "FLOOR.MAT");
       Ball(ws, {0, -2.3, 1}, 1, "WOOD.MAT", {0, 90, 0});
       Ball(ws, {0, 0, 1}, 1, "MARBLE.MAT", {}, 1.5);
       Ball(ws, {0, 2.3, 1}, 1, "ROUGH.MAT", {}, 2);
       AddLightAt(ws, {8, -5, 8}, {240, 240, 235});
       AddLightAt(ws, {6, 6, 3}, {70, 70, 90});
       return AddAimedCamera(ws, {7.5, 0, 2.2}, {0, 0, 0.9}, 1.1);
     }},
    // Nothing but sky: blue towards the zenith, dark towards the ground,
    // pale at the horizon, with stars on 3 % of the samples.
    {"stars", Picture(64, 48, 1), StarrySky(),
     [](Workspace& ws, const RenderStore&) {
       AddLightAt(ws, {0, 0, 10}, {255, 255, 255});
       return AddAimedCamera(ws, {0, 0, 0}, {10, 0, 2.5}, 2.0);
     }},
    // Stars on two samples in five, seen directly, in a mirror ball and
    // through a glass ball: samples that meet the sky along several rays.
    {"starlit", Picture(64, 48, 4), StarrySky(40),
     [](Workspace& ws, const RenderStore& store) {
       MaterialSettings mirror = Matte({10, 10, 10});
       mirror.reflect = {220, 220, 220};
       SaveMaterial(store, "MIRROR.MAT", mirror);
       MaterialSettings glass = Matte({5, 5, 8});
       glass.filter = {210, 230, 250};
       glass.indexOfRefraction = 1.3;
       SaveMaterial(store, "GLASS.MAT", glass);
       Ball(ws, {0, -1.1, 1}, 1, "MIRROR.MAT");
       Ball(ws, {0, 1.1, 1}, 1, "GLASS.MAT");
       AddLightAt(ws, {6, -4, 6}, {240, 240, 240});
       return AddAimedCamera(ws, {6, 0, 1.2}, {0, 0, 1.3});
     }},
    // Balls ever further away fade into the fog, and the sky is all fog.
    {"fog", Picture(64, 48, 1), FoggySky(),
     [](Workspace& ws, const RenderStore& store) {
       SaveMaterial(store, "FLOOR.MAT", Matte({120, 110, 90}));
       SaveMaterial(store, "BALL.MAT", Matte({200, 40, 30}, {200, 200, 200}, 30));
       Floor(ws, 60, "FLOOR.MAT");
       Ball(ws, {3, -1, 0.7}, 0.7, "BALL.MAT");
       Ball(ws, {-1, 1, 0.7}, 0.7, "BALL.MAT");
       Ball(ws, {-6, -1.5, 0.7}, 0.7, "BALL.MAT");
       Ball(ws, {-12, 1.5, 0.7}, 0.7, "BALL.MAT");
       AddLightAt(ws, {8, -6, 9}, {240, 240, 240});
       return AddAimedCamera(ws, {7, 0, 1.5}, {0, 0, 0.7});
     }},
    // The checked floor and a ball again with 3 x 3 samples a pixel: the
    // edges of the checks and of the ball are smoothed.
    {"supersampled", Picture(64, 48, 2, Supersampling::medium), PlainSky({70, 80, 100}, true),
     [](Workspace& ws, const RenderStore& store) {
       std::vector<std::unique_ptr<ITexture>> checks;
       checks.push_back(Checks({40, 40, 60}, {215, 210, 195}));
       SaveMaterial(store, "FLOOR.MAT", Matte({}), std::move(checks));
       SaveMaterial(store, "BALL.MAT", Matte({220, 180, 40}, {220, 220, 220}, 30));
       Floor(ws, 30, "FLOOR.MAT");
       Ball(ws, {0, 0, 1}, 1, "BALL.MAT");
       AddLightAt(ws, {6, -6, 7}, {235, 235, 235});
       return AddAimedCamera(ws, {7, 2, 2.5}, {0, 0, 0.8});
     }},
};

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Rendered {
  std::string ppm;
  RenderCounters counters;
  uint32_t randomState = 0;
};

// On a thread of its own, whose random sequence starts afresh as a background render's.
Rendered RenderScene(const GoldenScene& scene, int threads = 1) {
  RenderStore store(scene.settings);
  store.WriteEnvironment(scene.sky);
  Workspace workspace;
  const ICamera* camera = scene.build(workspace, store);
  RenderDocument document(workspace, std::string(scene.name) + ".wsp");
  document.SetRenderCamera(*camera);
  RecordingReceiver receiver;
  RenderJob job(receiver);
  job.document = &document;
  job.threads = threads;
  RecordingUi ui;
  const std::filesystem::path ppm = store.Folder() / "picture.ppm";
  job.onImageReduced = [&](const std::string& reduced) { WritePpmFile(ppm.string(), reduced, ui); };
  Rendered rendered;
  std::thread([&] {
    RenderInForeground(job, ui);
    rendered.randomState = ThreadRandomSource().GetState();
  }).join();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{}) << scene.name;
  rendered.ppm = ReadBytes(ppm);
  rendered.counters = job.statistics.counters;
  return rendered;
}

void ExpectMatchesGolden(const std::string& name, const std::string& actual) {
  const std::filesystem::path golden = std::filesystem::path(BREVOXA_TEST_DATA) / "golden" / (name + ".ppm");
  ASSERT_FALSE(actual.empty()) << name;
  if (const char* flag = std::getenv("BREVOXA_REGENERATE"); flag && std::string(flag) == "1") {
    std::filesystem::create_directories(golden.parent_path());
    std::ofstream(golden, std::ios::binary) << actual;
    return;
  }
  const std::filesystem::path kept =
      std::filesystem::read_symlink("/proc/self/exe").parent_path() / "golden-actual" / (name + ".ppm");
  std::filesystem::remove(kept);
  if (actual == ReadBytes(golden)) return;
  std::filesystem::create_directories(kept.parent_path());
  std::ofstream(kept, std::ios::binary) << actual;
  ADD_FAILURE() << name << " differs from " << golden << "; the new picture is " << kept;
}

class GoldenRender : public ::testing::TestWithParam<GoldenScene> {};

TEST_P(GoldenRender, MatchesItsReferencePicture) { ExpectMatchesGolden(GetParam().name, RenderScene(GetParam()).ppm); }

// Same bytes, statistics and random state; nothing carries over between renders.
TEST_P(GoldenRender, EveryThreadCountGivesTheSameRender) {
  const Rendered one = RenderScene(GetParam(), 1);
  for (int threads : {2, 3, 8}) {
    const Rendered many = RenderScene(GetParam(), threads);
    SCOPED_TRACE(threads);
    EXPECT_TRUE(many.ppm == one.ppm);
    EXPECT_EQ(many.counters, one.counters);
    EXPECT_EQ(many.randomState, one.randomState);
  }
}

INSTANTIATE_TEST_SUITE_P(Scenes, GoldenRender, ::testing::ValuesIn(kScenes),
                         [](const ::testing::TestParamInfo<GoldenScene>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevoxa
