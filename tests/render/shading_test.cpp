// Shading on tiny scenes with answers worked out by hand.
#include "render/shading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "hand_scene.h"
#include "material/environment.h"
#include "material/material_doc.h"
#include "material/random_source.h"
#include "render/octree.h"
#include "scene/light.h"
#include "support/vector_near.h"

namespace brevoxa {
namespace {

using testing::ExpectNear;
using testing::MakeRay;
using testing::Square;

// Forms of one polygon each with a material of their own, and lights.
class Scene : public testing::HandScene {
 public:
  explicit Scene(double size = 1.0) { AddCamera(size); }

  IPolygon& AddPolygon(const std::vector<CVector>& corners, const std::optional<MaterialSettings>& material) {
    IObject& form = AddForm();
    IPolygon& polygon = HandScene::AddPolygon(form, corners);
    form.ComputeNormals();
    if (material) {
      ILayer* layer = static_cast<ILayer*>(form.GetLayers().GetHead());
      layer->GetMaterial().CreateDocument();
      EXPECT_TRUE(dynamic_cast<CMaterialDoc*>(layer->GetMaterial().GetDocument())->SetSettings(*material));
    }
    return polygon;
  }

  void AddLight(const CVector& at, const CVector& colour = {255, 255, 255}) {
    auto* light = new ILight;
    light->SetPosition(at);
    light->SetColour(colour);
    Add(light);
    lights_.push_back(light);
  }

  void Build(int depth = 1) {
    RenderCounters counters;
    tree_ = BuildOctree(Items(), depth, 4, counters);
  }
  const Octree& Tree() const { return tree_; }
  const std::vector<const ILight*>& Lights() const { return lights_; }

 private:
  Octree tree_;
  std::vector<const ILight*> lights_;
};

MaterialSettings Matte(const CVector& colour) {
  MaterialSettings m;
  m.color = colour;
  return m;
}

struct Tracer {
  EnvironmentSettings environment;
  RenderCounters counters;
  RandomSource random;
  int depthLimit = 3;

  TraceContext Context(const Scene& scene) {
    return {&scene.Tree(), &environment, scene.Lights(), depthLimit, &counters, &random};
  }
  CVector Trace(const Scene& scene, const Ray& ray) { return TraceRay(Context(scene), ray, 1); }
};

const Ray kDown = MakeRay({0, 0, 0.5}, {0, 0, -1});

// Ambient 0.2; L = (0.6, 0, 0.8), halfway (0.3, 0, 0.9): highlight 0.9^10.
TEST(TraceRay, AddsAmbientDiffuseAndHighlightAndNothingFromBehind) {
  MaterialSettings m = Matte({200, 100, 50});
  m.specular = {100, 100, 100};
  m.hardness = 10;
  const CVector ambient(40, 20, 10);
  const double highlight = std::pow(0.9, 10) * 100;
  for (const bool lit : {false, true}) {
    Scene scene;
    scene.AddPolygon(Square({0, 0, 0}, 0.5, 2), m);
    if (lit) scene.AddLight({0.3, 0, 0.4}, {255, 127.5, 255});
    scene.Build();
    Tracer tracer;
    tracer.environment.ambientLight = {51, 51, 51};
    const CVector expected = lit ? ambient + CVector(160 + highlight, (80 + highlight) * 0.5, 40 + highlight) : ambient;
    ExpectNear(tracer.Trace(scene, kDown), expected);
  }

  // A light below the floor gives no highlight, though N'·H > 0.
  m.hardness = 1;
  Scene scene;
  scene.AddPolygon(Square({0, 0, 0}, 0.5, 2), m);
  scene.AddLight({0.8, 0, -0.6});
  scene.Build();
  Tracer tracer;
  tracer.environment.ambientLight = {51, 51, 51};
  tracer.environment.shadows = true;
  ExpectNear(tracer.Trace(scene, kDown), ambient);
  EXPECT_EQ(tracer.counters.shadowRays, 1u);
}

// At (0, 0.5, 0) the vertex normals blend to (0.25, 0.25, 0.5) normalised.
TEST(TraceRay, ShadesWithTheFanTriangleNormalsOrThePolygonsAndFacesTheViewer) {
  for (const bool phong : {true, false}) {
    Scene scene;
    MaterialSettings m = Matte({255, 255, 255});
    m.phong = phong;
    IPolygon& floor = scene.AddPolygon(Square({0, 0, 0}, 1, 2), m);
    const CVector normals[4] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    int i = 0;
    for (IDrawable* point : floor.GetPoints()) static_cast<IPoint*>(point)->normal = normals[i++];
    scene.AddLight({0, 0.5, 0.8});
    scene.Build();
    Tracer tracer;
    const CVector c = tracer.Trace(scene, MakeRay({0, 0.5, 0.5}, {0, 0, -1}));
    const double expected = phong ? 255 * 0.5 / std::sqrt(0.375) : 255;
    ExpectNear(c, {expected, expected, expected});
  }

  // Seen from behind, an opaque polygon faces the viewer; a transparent one does not.
  for (const bool transparent : {false, true}) {
    Scene scene;
    MaterialSettings m = Matte({100, 100, 100});
    if (transparent) m.filter = {0, 0, 1};
    scene.AddPolygon(Square({0, 0, 0}, 0.5, 2), m);
    scene.AddLight({0, 0, -0.5});
    scene.Build();
    Tracer tracer;
    tracer.depthLimit = 1;
    const double expected = transparent ? 0 : 100;
    ExpectNear(tracer.Trace(scene, MakeRay({0, 0, -0.5}, {0, 0, 1})), {expected, expected, expected});
  }
}

// A floor lit from above through what lies between; z = 0 is a cell face.
TEST(TraceShadow, OpaqueSurfacesBlockAndFiltersMultiplyOncePerPolygon) {
  MaterialSettings half = Matte({0, 0, 0});
  half.filter = {127.5, 127.5, 127.5};
  struct Case {
    const char* name;
    std::vector<double> halfFilters;  // their heights
    bool opaqueBlocker;
    bool shadows;
    double expected;
  };
  const Case cases[] = {
      {"clear", {}, false, true, 255},
      {"opaque", {}, true, true, 0},
      {"opaque, shadows off", {}, true, false, 255},
      {"one filter", {0.25}, false, true, 127.5},
      {"two filters", {-0.25, 0.25}, false, true, 63.75},
      {"filter in a cell face", {0.0}, false, true, 127.5},
  };
  for (const Case& c : cases) {
    Scene scene;
    scene.AddPolygon(Square({0, 0, -0.5}, 0.3, 2), Matte({255, 255, 255}));
    for (double z : c.halfFilters) scene.AddPolygon(Square({0, 0, z}, 0.2, 2), half);
    if (c.opaqueBlocker) scene.AddPolygon(Square({0, 0, 0.25}, 0.2, 2), Matte({9, 9, 9}));
    scene.AddLight({0, 0, 0.9});
    scene.AddLight({0, 0, 0.9}, {0, 0, 0});  // adds nothing but its shadow ray
    scene.Build();
    Tracer tracer;
    tracer.environment.shadows = c.shadows;
    const double v = c.expected;
    ExpectNear(tracer.Trace(scene, MakeRay({0.8, 0, -0.3}, {-0.8, 0, -0.2})), {v, v, v});
    EXPECT_EQ(tracer.counters.shadowRays, c.shadows ? 2u : 0u) << c.name;
  }
}

// A glass slab over a target on a 45-degree ray: index 1.5 bends the ray past it.
TEST(TraceRay, RefractsThroughASlabAndAddsNothingOnTotalInternalReflection) {
  MaterialSettings glass = Matte({0, 0, 0});
  glass.filter = {255, 255, 255};
  for (const double index : {1.0, 1.5}) {
    glass.indexOfRefraction = index;
    Scene scene(2);
    scene.AddPolygon(Square({-0.6, 0, 0.2}, 0.5, 2), glass);
    scene.AddPolygon(Square({-0.6, 0, -0.2}, 0.5, 2, true), glass);
    scene.AddPolygon(Square({0, 0, -0.6}, 0.05, 2), Matte({0, 200, 0}));
    scene.Build(3);
    Tracer tracer;
    tracer.environment.ambientLight = {255, 255, 255};
    tracer.environment.horizon = {10, 20, 30};
    const CVector c = tracer.Trace(scene, MakeRay({-1.2, 0, 0.6}, {1, 0, -1}));
    ExpectNear(c, index == 1.0 ? CVector(0, 200, 0) : CVector(10, 20, 30));
    EXPECT_EQ(tracer.counters.transmittedRays, 2u);
  }

  // From inside: at 73 degrees from the normal the light is reflected entirely.
  glass.indexOfRefraction = 1.5;
  glass.color = {0, 0, 100};
  Scene scene;
  scene.AddPolygon(Square({0, 0, 0}, 0.5, 2), glass);
  scene.Build();
  Tracer tracer;
  tracer.environment.ambientLight = {255, 255, 255};
  tracer.environment.horizon = {10, 20, 30};
  ExpectNear(tracer.Trace(scene, MakeRay({-0.5, 0, -0.15}, {1, 0, 0.3})), CVector(0, 0, 100));
  EXPECT_EQ(tracer.counters.transmittedRays, 0u);
  ExpectNear(tracer.Trace(scene, MakeRay({-0.15, 0, -0.5}, {0.3, 0, 1})), CVector(10, 20, 130));
  EXPECT_EQ(tracer.counters.transmittedRays, 1u);
}

}  // namespace
}  // namespace brevoxa
