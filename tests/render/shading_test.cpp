// Shading on tiny scenes with known answers: diffuse light, highlights and
// ambient, the normals shaded with, shadows through opaque and filtering
// surfaces, mirrors and refraction, fog, the background's stars, poles and
// shell, and degenerate rays.
#include "render/shading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A camera that spans the cube [-size, size]³ (so the octree's root centre
// is the origin), forms of one polygon each with a material of their own,
// and lights.
class Scene : public testing::HandScene {
 public:
  explicit Scene(double size = 1.0) { AddCamera(size); }

  // Without a material the layer's link stays closed.
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

  // After the last polygon.
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

// One render thread's tracing state around a scene.
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

// --- Local lighting ---

// A floor at z = 0 seen from above. Ambient 0.2; a light at (0.3, 0, 0.4)
// from the hit: L = (0.6, 0, 0.8), cos 0.8, halfway (0.3, 0, 0.9), so the
// highlight is 0.9^10; the light's green is half.
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

  // A light below the floor: N'·L < 0, though N'·H = 0.2 > 0 would give a
  // highlight of 0.2 with hardness 1.
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

// Vertex normals chosen by hand: at (0, 0.5, 0) the fan triangle is
// (q0, q1, q2) with alpha = beta = 0.25, so q0 weighs 0.5 and the normal is
// (0.25, 0.25, 0.5) normalised; a light straight above gives its z.
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

  // An opaque polygon seen from behind is shaded as if facing the viewer;
  // a transparent one keeps its normal and a light on the viewer's side
  // stays dark.
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

// --- Shadows ---

// A white floor at z = -0.5 lit from straight above through what lies
// between; the view ray comes in from the side and crosses nothing else.
// z = 0 is the face between the root's children: a square there is listed
// in the leaves on both sides, and both windows hold its hit.
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

TEST(TraceShadow, ReportsHowTheLightIsReachedAndCountsEveryTestAndHit) {
  Scene scene;
  MaterialSettings tinted = Matte({0, 0, 0});
  tinted.filter = {255, 127.5, 51};
  scene.AddPolygon(Square({0.5, 0.5, 0}, 0.4, 2), tinted);
  scene.Build();
  Tracer tracer;
  const TraceContext context = tracer.Context(scene);
  CVector filter(7, 7, 7);
  EXPECT_EQ(TraceShadow(context, MakeRay({0.5, 0.5, -0.5}, {0, 0, 1}), 1.0, filter), ShadowResult::filtered);
  EXPECT_EQ(filter, CVector(1.0, 0.5, 0.2));
  // The walk still counts the square in both leaves.
  EXPECT_EQ(tracer.counters.polygonHitTests, 2u);
  EXPECT_EQ(tracer.counters.polygonHits, 2u);

  EXPECT_EQ(TraceShadow(context, MakeRay({0.5, 0.5, -0.5}, {0, 0, 1}), 0.4, filter), ShadowResult::clear);
  EXPECT_EQ(filter, CVector(1, 1, 1));
  EXPECT_EQ(TraceShadow(context, MakeRay({0.5, 0.5, -5}, {0, 0, 1}), 10, filter), ShadowResult::outsideScene);
  EXPECT_EQ(TraceShadow(context, {{0, 0, 0}, {kNaN, 0, 1}}, 10, filter), ShadowResult::outsideScene);
}

// More filtering surfaces than a ray usually crosses, the one in the cell
// face z = 0 among the last: each still filters once.
TEST(TraceShadow, TakesEachOfManyFiltersOnce) {
  Scene scene;
  MaterialSettings tint = Matte({0, 0, 0});
  tint.filter = {229.5, 229.5, 229.5};
  for (int i = 0; i < 24; ++i) scene.AddPolygon(Square({0, 0, -0.9 + 0.05 * i}, 0.2, 2), tint);
  scene.Build();
  Tracer tracer;
  CVector filter;
  ASSERT_EQ(TraceShadow(tracer.Context(scene), MakeRay({0, 0, -0.95}, {0, 0, 1}), 1.9, filter),
            ShadowResult::filtered);
  double expected = 1;
  for (int i = 0; i < 24; ++i) expected *= 229.5 / 255.0;
  EXPECT_EQ(filter, CVector(expected, expected, expected));
  EXPECT_EQ(tracer.counters.polygonHits, 25u);
}

// --- Reflection and refraction ---

// A mirror floor at z = -0.5. Straight down, the reflection leaves the
// scene and shows the sky; at 45 degrees it meets a red wall at x = 0.6.
TEST(TraceRay, MirrorsShowWhatTheReflectedRayMeetsWhileTheDepthAllows) {
  MaterialSettings mirror = Matte({0, 0, 50});
  mirror.reflect = {255, 255, 127.5};
  mirror.filter = {255, 255, 255};
  Scene scene;
  scene.AddPolygon(Square({0, 0, -0.5}, 0.5, 2), mirror);
  scene.AddPolygon(Square({0.6, 0, -0.2}, 0.15, 0, true), Matte({200, 0, 0}));
  scene.Build();
  Tracer tracer;
  tracer.environment.ambientLight = {255, 255, 255};
  tracer.environment.horizon = {10, 20, 30};
  tracer.depthLimit = 2;

  // The transmitted ray leaves downwards and shows the sky too.
  ExpectNear(tracer.Trace(scene, MakeRay({0, 0, 0.3}, {0, 0, -1})), CVector(20, 40, 50 + 15 + 30));
  ExpectNear(tracer.Trace(scene, MakeRay({-0.5, 0, 0.3}, {1, 0, -1})), CVector(200 + 10, 20, 50 + 30));
  EXPECT_EQ(tracer.counters.reflectedRays, 2u);
  EXPECT_EQ(tracer.counters.transmittedRays, 2u);

  tracer.counters = {};
  tracer.depthLimit = 1;
  ExpectNear(tracer.Trace(scene, MakeRay({-0.5, 0, 0.3}, {1, 0, -1})), CVector(0, 0, 50));
  EXPECT_EQ(tracer.counters.reflectedRays, 0u);
  EXPECT_EQ(tracer.counters.transmittedRays, 0u);
}

// A glass slab between z = -0.2 and 0.2 above a small green target at
// z = -0.6 on the straight line of a 45-degree ray. Index 1 lets the ray
// through unbent; index 1.5 shifts it 0.19 back, past the target.
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

  // From inside glass of index 1.5 towards its surface: at 73 degrees from
  // the normal the light is reflected back entirely, at 17 it gets out.
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

// --- Fog and misses ---

TEST(TraceRay, FogBlendsByDistanceAndHidesTheSkyOnAMiss) {
  Scene scene(3);
  scene.AddPolygon(Square({0, 0, 0}, 0.5, 2), Matte({200, 200, 200}));
  scene.Build();
  Tracer tracer;
  tracer.environment.ambientLight = {255, 255, 255};
  tracer.environment.fogOccludedPerUnit = 100;
  tracer.environment.fogColor = {0, 0, 100};
  ExpectNear(tracer.Trace(scene, kDown), CVector(100, 100, 150));
  ExpectNear(tracer.Trace(scene, MakeRay({0.1, 0.1, 2}, {0, 0, -1})), CVector(0, 0, 100));

  // A miss shows the fog colour as it is, takes no star draws and ignores
  // the poles.
  tracer.environment.fogOccludedPerUnit = 10;
  tracer.environment.fogColor = {300, -5, 10};
  tracer.environment.stars = 100;
  tracer.environment.enablePoles = true;
  const RandomSource before = tracer.random;
  EXPECT_EQ(tracer.Trace(scene, MakeRay({0, 0, 0.5}, {0, 0, 1})), CVector(300, -5, 10));
  EXPECT_EQ(tracer.random, before);
}

TEST(TraceRay, NonFiniteRaysShowTheBackground) {
  Scene scene;
  scene.AddPolygon(Square({0, 0, 0}, 0.5, 2), Matte({200, 200, 200}));
  scene.Build();
  Tracer tracer;
  tracer.environment.horizon = {1, 2, 3};
  tracer.environment.enablePoles = true;
  tracer.environment.positivePole = {200, 200, 200};
  for (const Ray& ray :
       {Ray{{0, 0, 0.5}, {kNaN, kNaN, kNaN}}, Ray{{kNaN, 0, 0.5}, {0, 0, -1}}, Ray{{0, 0, 0.5}, {0, 0, 0}},
        Ray{{0, 0, 0.5}, {0, 0, -std::numeric_limits<double>::infinity()}}}) {
    EXPECT_EQ(tracer.Trace(scene, ray), CVector(1, 2, 3));
  }
}

// --- Background ---

TEST(BackgroundColor, StarsTakeTheirDrawsFromTheSourcePassedIn) {
  EnvironmentSettings environment;
  environment.horizon = {1, 2, 3};
  environment.stars = 100;
  const Ray ray = MakeRay({0, 0, 0}, {1, 0, 0});
  RandomSource random(12345), replay(12345);
  for (int i = 0; i < 300; ++i) {
    replay.Draw();
    const double brightness = replay.Draw() / 32767.0 * 0.75 + 0.25;
    const CVector star = BackgroundColor(environment, ray, random);
    ASSERT_EQ(star, CVector(255, 255, 255) * brightness);
    EXPECT_TRUE(star.x >= 63.75 && star.x <= 255);
  }
  EXPECT_EQ(random, replay);

  // Even on the one draw in 32768 that is exactly 32767.
  RandomSource edge;
  for (RandomSource next = edge; next.Draw() != 32767; next = edge) edge.Draw();
  EXPECT_NE(BackgroundColor(environment, ray, edge), environment.horizon);

  // At 0 % nothing is drawn; at 50 % about half the rays show a star.
  environment.stars = 0;
  const RandomSource before = random;
  EXPECT_EQ(BackgroundColor(environment, ray, random), environment.horizon);
  EXPECT_EQ(random, before);
  environment.stars = 50;
  int stars = 0;
  for (int i = 0; i < 2000; ++i) stars += BackgroundColor(environment, ray, random) != environment.horizon;
  EXPECT_NEAR(stars, 1000, 100);
}

TEST(BackgroundColor, BlendsTheShellFromTheHorizonTowardsEachPole) {
  EnvironmentSettings environment;
  environment.enablePoles = true;
  environment.positivePole = {0, 0, 255};
  environment.negativePole = {255, 0, 0};
  environment.horizon = {0, 200, 0};
  environment.poleTension = 2;
  RandomSource random;
  auto sky = [&](const CVector& origin, const CVector& direction) {
    return BackgroundColor(environment, MakeRay(origin, direction), random);
  };
  ExpectNear(sky({0, 0, 0}, {0, 0, 1}), environment.positivePole);
  ExpectNear(sky({0, 0, 0}, {0, 0, -1}), environment.negativePole);
  EXPECT_EQ(sky({0, 0, 0}, {1, 0, 0}), environment.horizon);
  // 45 degrees up: e = 0.5, f = 0.25.
  ExpectNear(sky({0, 0, 0}, {1, 1, std::sqrt(2.0)}), CVector(0, 150, 63.75));
  // Off the centre the elevation is the shell point's: straight up from
  // (0.6, 0, 0) × shell, the point is at (0.6, 0, 0.8) × shell.
  environment.poleTension = 1;
  const double e = std::acos(0.6) * 0.6366197723675394;
  ExpectNear(sky({18000, 0, 0}, {0, 0, 1}), CVector(0, 200 * (1 - e), 255 * e));

  // From beyond the shell: the horizon, wherever the ray points.
  EXPECT_EQ(sky({0, 0, 40000}, {0, 0, -1}), environment.horizon);
  EXPECT_EQ(sky({0, 0, 40000}, {0, 0, 1}), environment.horizon);
  environment.enablePoles = false;
  EXPECT_EQ(sky({0, 0, 0}, {0, 0, 1}), environment.horizon);
}

}  // namespace
}  // namespace brevoxa
