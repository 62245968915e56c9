// The octree: child numbering and tie rules, the lists against the overlap
// test, the overlap test, the slab test, nearest hits against brute force,
// the walk against a plain descent from the root, how the shadow walk ends,
// the counters, and empty and degenerate scenes.
#include "render/octree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <span>
#include <utility>
#include <vector>

#include "hand_scene.h"
#include "render/intersect.h"
#include "scene/light.h"

namespace brevoxa {
namespace {

using octree_detail::PolygonOverlapsUnitCube;
using testing::MakeRay;
using testing::Square;
using Scene = testing::HandScene;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The nearest hit over every polygon, with the same distance window and
// the same containment test as the octree.
bool BruteForceNearest(const std::vector<const IPolygon*>& polygons, const Ray& ray, double maxDistance,
                       HitRecord& best) {
  bool found = false;
  double window = maxDistance;
  for (const IPolygon* polygon : polygons) {
    double t;
    if (!IntersectPlane(*polygon, ray, t) || !(t >= kMinHitDistance && t < window)) continue;
    HitRecord hit;
    if (!ContainsHit(*polygon, hit, ray, t)) continue;
    best = hit;
    best.polygon = polygon;
    window = t;
    found = true;
  }
  return found;
}

std::vector<const IPolygon*> ListedPolygons(const Octree& tree, const OctreeNode& leaf) {
  std::vector<const IPolygon*> listed;
  for (const uint32_t entry : tree.GetLeafEntries(leaf)) listed.push_back(tree.GetEntries()[entry].polygon);
  return listed;
}

// --- Building ---

TEST(OctreeBuild, AnEmptySceneHasEightEmptyChildrenAndEveryRayMisses) {
  Scene scene;
  scene.AddCamera();
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 6, 4, counters);
  EXPECT_EQ(counters.octreeSize, 8u);
  ASSERT_FALSE(tree.GetRoot().IsLeaf());
  for (int i = 0; i < 8; ++i) {
    EXPECT_TRUE(tree.GetChild(tree.GetRoot(), i).IsLeaf());
    EXPECT_TRUE(tree.GetLeafEntries(tree.GetChild(tree.GetRoot(), i)).empty());
  }
  std::mt19937 random(7);
  std::uniform_real_distribution<double> u(-0.9, 0.9);
  HitRecord hit;
  for (int i = 0; i < 200; ++i) {
    EXPECT_FALSE(tree.FindNearestHit(MakeRay({u(random), u(random), u(random)}, {u(random), u(random), u(random)}),
                                     Octree::kMaxHitDistance, hit, counters));
  }
  EXPECT_EQ(counters.polygonHitTests, 0u);
}

TEST(OctreeBuild, RootBoxIsTheBoxOfFormsAndCamerasWidened) {
  Scene scene;
  scene.AddCamera(1.0);
  scene.AddPolygon({{2, 0, 0}, {3, 0, 0}, {3, 1, 0}});
  auto* light = new ILight;
  light->SetPosition({50, 50, 50});
  scene.Add(light);
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 1, 4, counters);
  EXPECT_EQ(tree.GetRootBox().min, CVector(-1 - 1e-5, -1 - 1e-5, -1 - 1e-5));
  EXPECT_EQ(tree.GetRootBox().max, CVector(3 + 1e-5, 1 + 1e-5, 1 + 1e-5));
  EXPECT_EQ(tree.GetEntries().size(), 1u);
}

// Child i takes the halves the numbering table gives; one small triangle
// sits in each octant, and a point on a centre plane belongs to the low half.
TEST(OctreeBuild, NumbersChildrenByTheirHalvesAndSendsTiesLow) {
  Scene scene;
  scene.AddCamera();
  const bool highX[8] = {true, true, true, true, false, false, false, false};
  const bool highY[8] = {true, false, false, true, true, false, false, true};
  const bool highZ[8] = {true, true, false, false, true, true, false, false};
  std::vector<const IPolygon*> inOctant(8);
  for (int i = 0; i < 8; ++i) {
    const CVector c(highX[i] ? 0.5 : -0.5, highY[i] ? 0.5 : -0.5, highZ[i] ? 0.5 : -0.5);
    inOctant[i] = &scene.AddPolygon({c, c + CVector(0.1, 0, 0), c + CVector(0, 0.1, 0.1)});
  }
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 1, 4, counters);
  EXPECT_EQ(counters.octreeSize, 8u);
  const OctreeNode& root = tree.GetRoot();
  EXPECT_EQ(root.Centre(), CVector(0, 0, 0));
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(ListedPolygons(tree, tree.GetChild(root, i)), std::vector<const IPolygon*>{inOctant[i]}) << "child " << i;
    const CVector probe(highX[i] ? 0.5 : -0.5, highY[i] ? 0.5 : -0.5, highZ[i] ? 0.5 : -0.5);
    const OctreeLeaf leaf = tree.FindLeaf(probe);
    EXPECT_EQ(leaf.node, &tree.GetChild(root, i)) << "child " << i;
    EXPECT_EQ(leaf.box.min.x, highX[i] ? 0.0 : -1 - 1e-5);
  }
  EXPECT_EQ(tree.FindLeaf({0, 0, 0}).node, &tree.GetChild(root, 6));
  EXPECT_EQ(tree.FindLeaf({0.5, 0, 0}).node, &tree.GetChild(root, 2));
  EXPECT_EQ(tree.FindLeaf({0, 0.5, 0.5}).node, &tree.GetChild(root, 4));
}

// Whatever the box, a polygon exactly in a centre plane lands in the cells
// on both sides, though normalising it may round it just past their faces.
TEST(OctreeBuild, ListsAPolygonInACentrePlaneOnBothSidesForAnyBox) {
  std::mt19937 random(2024);
  std::uniform_real_distribution<double> corner(-50, 50);
  int missing = 0;
  for (int round = 0; round < 300; ++round) {
    Scene scene;
    auto* camera = new ICamera;
    const CVector lo(corner(random), corner(random), corner(random));
    const CVector hi = lo + CVector(std::fabs(corner(random)) + 0.1, std::fabs(corner(random)) + 0.1,
                                    std::fabs(corner(random)) + 0.1);
    camera->SetPosition(lo);
    camera->SetTarget(hi);
    camera->SetUpPoint(lo);
    scene.Add(camera);
    const CVector margin(1e-5, 1e-5, 1e-5);
    const CVector centre = ((lo - margin) + (hi + margin)) / 2;
    const CVector quarter = (hi - lo) / 4;
    // In the plane x = centre.x, spanning the high y and z quarter.
    scene.AddPolygon({{centre.x, centre.y + quarter.y * 0.5, centre.z + quarter.z * 0.5},
                      {centre.x, centre.y + quarter.y * 1.5, centre.z + quarter.z * 0.5},
                      {centre.x, centre.y + quarter.y * 1.0, centre.z + quarter.z * 1.5}});
    RenderCounters counters;
    const Octree tree = BuildOctree(scene.Items(), 1, 4, counters);
    ASSERT_EQ(tree.GetRoot().Centre(), centre);
    if (tree.GetLeafEntries(tree.GetChild(tree.GetRoot(), 0)).size() != 1 ||
        tree.GetLeafEntries(tree.GetChild(tree.GetRoot(), 4)).size() != 1)
      ++missing;
  }
  EXPECT_EQ(missing, 0);
}

TEST(OctreeBuild, StopsSubdividingOnRequestAndReportsTheFirstLevel) {
  Scene scene;
  scene.AddCamera();
  for (int i = 0; i < 40; ++i) {
    const double z = -0.9 + 0.045 * i;
    scene.AddPolygon({{-0.9, -0.9, z}, {0.9, -0.9, z}, {0.9, 0.9, z}});
  }
  std::vector<int> positions;
  int asked = 0;
  OctreeBuildHooks hooks;
  hooks.stopRequested = [&] { return ++asked >= 1; };
  hooks.reportPosition = [&](int position) { positions.push_back(position); };
  RenderCounters counters;
  const Octree stopped = BuildOctree(scene.Items(), 6, 4, counters, hooks);
  EXPECT_EQ(counters.octreeSize, 8u);
  EXPECT_EQ(positions, (std::vector<int>{125, 250, 375, 500, 625, 750, 875, 1000}));

  // The partial tree still answers.
  HitRecord hit;
  EXPECT_TRUE(stopped.FindNearestHit(MakeRay({0.5, -0.5, 0.95}, {0, 0, -1}), 1e14, hit, counters));
  EXPECT_NEAR(hit.t, 0.95 - (-0.9 + 0.045 * 39), 1e-12);

  RenderCounters full;
  BuildOctree(scene.Items(), 6, 4, full);
  EXPECT_GT(full.octreeSize, 8u);

  // On several threads the stop reaches the other threads a little later,
  // but the first level is still reported in order and the tree answers.
  positions.clear();
  hooks.threads = 3;
  const Octree parallel = BuildOctree(scene.Items(), 6, 4, counters, hooks);
  EXPECT_EQ(positions, (std::vector<int>{125, 250, 375, 500, 625, 750, 875, 1000}));
  EXPECT_TRUE(parallel.FindNearestHit(MakeRay({0.5, -0.5, 0.95}, {0, 0, -1}), 1e14, hit, counters));
  EXPECT_NEAR(hit.t, 0.95 - (-0.9 + 0.045 * 39), 1e-12);
}

// --- The polygon–cube test ---

// Around the cube [-0.5, 0.5]³: polygons through it by a vertex, an edge or
// only their face, and polygons just beyond a face, an edge bevel or a
// corner bevel, which only the later tests refuse; then degenerate input.
TEST(PolygonCube, KnownOverlapsAndMisses) {
  struct Case {
    const char* name;
    std::vector<CVector> v;
    CVector normal;
    bool overlaps;
  };
  const Case cases[] = {
      {"a vertex inside", {{0, 0, 0}, {3, 0, 0}, {3, 3, 0}}, {0, 0, 1}, true},
      {"an edge straight through", {{-2, 0, 0}, {2, 0, 0}, {2, 5, 0}}, {0, 0, 1}, true},
      {"only the face through", {{-9, -9, 0.1}, {9, -9, 0.1}, {0, 9, 0.1}}, {0, 0, 1}, true},
      {"slanted through the corner region", {{-9, -9, 1.3}, {9, -9, -1.3}, {0, 9, 0}}, {2.6, 0, 18}, true},
      {"in a face of the cube", {{0.5, -2, -2}, {0.5, 2, -2}, {0.5, 0, 2}}, {1, 0, 0}, true},
      {"beyond a face", {{0.6, -2, -2}, {0.6, 2, -2}, {0.6, 0, 2}}, {1, 0, 0}, false},
      // Each vertex is inside two slabs.
      {"beyond the edge bevel x + y > 1", {{0.6, 0.45, 0}, {0.45, 0.6, 0}, {0.6, 0.6, 0.1}}, {0, 0, 1}, false},
      {"beyond the corner bevel x + y + z > 1.5", {{0.52, 0.52, 0.48}, {0.52, 0.48, 0.52}, {0.48, 0.52, 0.52}},
       {1, 1, 1}, false},
      {"a big triangle whose plane misses", {{-9, -9, 0.7}, {9, -9, 0.7}, {0, 9, 0.7}}, {0, 0, 1}, false},
      // No trivial rejection applies and no edge meets the cube: the
      // diagonal test must refuse it.
      {"in the middle plane, past the corner along 2x + y = 1.7", {{-2, 5.7, 0}, {2.5, -3.3, 0}, {5, 5, 0}},
       {0, 0, 1}, false},
      {"no points", {}, {0, 0, 1}, false},
      {"a NaN vertex", {{kNaN, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 0, 1}, false},
      {"a segment through", {{-3, 0, 0}, {3, 0, 0}}, {0, 0, 1}, true},
      {"a segment beside", {{-3, 2, 0}, {3, 2, 0}}, {0, 0, 1}, false},
      // A zero normal cannot use the diagonal test.
      {"collinear points", {{-3, 2, 0}, {0, 2, 0}, {3, 2, 0}}, {0, 0, 0}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(PolygonOverlapsUnitCube(c.v, c.normal), c.overlaps) << c.name;
}

// No false negatives: whenever a sampled point of a random triangle lies
// inside the cube, the test reports overlap; whenever every point of a fine
// sample is far outside, it may say either.
TEST(PolygonCube, NeverMissesASampledPointInsideTheCube) {
  std::mt19937 random(99);
  std::uniform_real_distribution<double> c(-1.6, 1.6);
  std::uniform_real_distribution<double> unit(0, 1);
  int overlapping = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::vector<CVector> v = {{c(random), c(random), c(random)},
                                    {c(random), c(random), c(random)},
                                    {c(random), c(random), c(random)}};
    const CVector normal = (v[2] - v[1]).Cross(v[1] - v[0]);
    bool sampledInside = false;
    for (int s = 0; s < 400 && !sampledInside; ++s) {
      double a = unit(random), b = unit(random);
      if (a + b > 1) {
        a = 1 - a;
        b = 1 - b;
      }
      const CVector p = v[0] + (v[1] - v[0]) * a + (v[2] - v[0]) * b;
      sampledInside = std::fabs(p.x) < 0.5 && std::fabs(p.y) < 0.5 && std::fabs(p.z) < 0.5;
    }
    if (!sampledInside) continue;
    ++overlapping;
    EXPECT_TRUE(PolygonOverlapsUnitCube(v, normal)) << "round " << round;
  }
  EXPECT_GT(overlapping, 300);
}

// --- The slab test ---

// The box [-1, 1]³. From inside the exit comes twice; an exit nearer than
// 0.001 is no hit at all, and an entry nearer than that counts as inside.
// Slopes within 1e-5 are parallel: (1, 1e-5, 0) from y = -2 would reach the
// box after 1e5 units.
TEST(RayBoxIntersect, GivesEntryAndExitOrAMiss) {
  CBoundingBox box;
  box.min = {-1, -1, -1};
  box.max = {1, 1, 1};
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    Ray ray;
    bool hit;
    double entry = kNaN, exit = kNaN;  // NaN: not checked
  };
  const Case cases[] = {
      {"from outside", MakeRay({-5, 0, 0}, {1, 0, 0}), true, 4, 6},
      {"from inside", MakeRay({0, 0, 0.5}, {0, 0, 1}), true, 0.5, 0.5},
      {"from inside, slanted, parallel in y", {{0.5, 0, 0}, {0.6, 1e-6, -0.8}}, true, 0.5 / 0.6, 0.5 / 0.6},
      {"behind", MakeRay({-5, 0, 0}, {-1, 0, 0}), false},
      {"beside", MakeRay({-5, 3, 0}, {1, 0, 0}), false},
      {"exit within 0.001", MakeRay({0, 0, 0.9995}, {0, 0, 1}), false},
      {"entry within 0.001", MakeRay({0, 0, 1.0005}, {0, 0, -1}), true, 2.0005, 2.0005},
      {"parallel within the tolerance, outside the slab", {{-5, -2, 0.5}, {1, 1e-5, 0}}, false},
      {"parallel within the tolerance, inside the slab", {{-5, 0.5, 0.5}, {1, 1e-5, 0}}, true},
      {"slanted", {{-5, -2, 0.5}, {1, 0.5, 0}}, true, 4, 6},
      {"NaN direction", {{0, 0, 0}, {kNaN, 0, 0}}, false},
      {"NaN origin", {{0, kNaN, 0}, {1, 0, 0}}, false},
      {"infinite origin", {{0, 0, inf}, {0, 0, -1}}, false},
  };
  for (const Case& c : cases) {
    const BoxHit hit = RayBoxIntersect(box, c.ray);
    EXPECT_EQ(hit.hit, c.hit) << c.name;
    if (!std::isnan(c.entry)) {
      EXPECT_DOUBLE_EQ(hit.entry, c.entry) << c.name;
      EXPECT_DOUBLE_EQ(hit.exit, c.exit) << c.name;
    }
  }
}

// --- Queries ---

// A floor at z = 0.25: nothing nearer than the minimum distance counts, nor
// anything at or beyond the maximum.
TEST(FindNearestHit, TakesOnlyHitsWithinTheDistanceWindow) {
  Scene scene;
  scene.AddCamera();
  const IPolygon& floor = scene.AddPolygon(Square({0.3, 0.3, 0.25}, 0.2, 2));
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 4, 4, counters);
  struct Case {
    double z, dz, maxDistance;
    bool hit;
  };
  const Case cases[] = {{0.25, 1, 1e14, false},         {0.25, -1, 1e14, false}, {0.25 + 0.9e-5, -1, 1e14, false},
                        {0.25 + 2e-5, -1, 1e14, true},  {0.75, -1, 0.5, false},  {0.75, -1, 0.5000001, true}};
  for (const Case& c : cases) {
    HitRecord hit;
    EXPECT_EQ(tree.FindNearestHit(MakeRay({0.3, 0.3, c.z}, {0, 0, c.dz}), c.maxDistance, hit, counters), c.hit)
        << "from z " << c.z << " within " << c.maxDistance;
    EXPECT_TRUE(!c.hit || hit.polygon == &floor);
  }
}

TEST(FindNearestHit, FillsTheRecordForShading) {
  Scene scene;
  scene.AddCamera();
  IObject& form = scene.AddForm();
  const IPolygon& square = scene.AddPolygon(form, Square({0.5, 0.5, 0}, 0.25, 2));
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 3, 4, counters);
  HitRecord hit;
  ASSERT_TRUE(tree.FindNearestHit(MakeRay({0.6, 0.4, 0.5}, {0, 0, -1}), 1e14, hit, counters));
  EXPECT_EQ(hit.form, &form);
  EXPECT_EQ(hit.layer, form.GetLayers().GetHead());
  EXPECT_EQ(hit.polygon, &square);
  EXPECT_EQ(hit.normal, square.GetNormal());
  EXPECT_DOUBLE_EQ(hit.t, 0.5);
  EXPECT_NEAR(hit.point.x, 0.6, 1e-15);
  EXPECT_NEAR(hit.point.y, 0.4, 1e-15);
  EXPECT_EQ(hit.point.z, 0.0);
  ASSERT_NE(hit.q0, nullptr);
  // The point rebuilt from the fan coordinates.
  const CVector rebuilt = hit.q0->world + (hit.qi->world - hit.q0->world) * hit.alpha +
                          (hit.qi1->world - hit.q0->world) * hit.beta;
  EXPECT_NEAR((rebuilt - hit.point).Length(), 0, 1e-12);
}

TEST(FindNearestHit, TiesGoToTheEntryListedFirst) {
  Scene scene;
  scene.AddCamera();
  const IPolygon& first = scene.AddPolygon(Square({0.5, 0.5, 0.5}, 0.2, 2));
  const IPolygon& second = scene.AddPolygon(Square({0.5, 0.5, 0.5}, 0.3, 2));
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 1, 4, counters);
  ASSERT_EQ(ListedPolygons(tree, *tree.FindLeaf({0.5, 0.5, 0.9}).node),
            (std::vector<const IPolygon*>{&first, &second}));
  HitRecord hit;
  ASSERT_TRUE(tree.FindNearestHit(MakeRay({0.5, 0.5, 0.9}, {0, 0, -1}), 1e14, hit, counters));
  EXPECT_EQ(hit.polygon, &first);
}

TEST(FindNearestHit, SurvivesNaNAndZeroDirectionsAndDegeneratePolygons) {
  Scene scene;
  scene.AddCamera();
  scene.AddPolygon({{0.1, 0.1, 0.1}, {0.2, 0.2, 0.2}, {0.3, 0.3, 0.3}});  // zero area
  scene.AddPolygon({{0.1, 0.1, 0.1}, {0.1, 0.1, 0.1}, {0.1, 0.1, 0.1}});  // one point thrice
  scene.AddPolygon({{0.4, 0.4, 0.4}, {0.5, 0.4, 0.4}});                     // two points
  scene.AddPolygon({{kNaN, 0, 0}, {0.5, 0, 0}, {0.5, 0.5, 0}});
  const IPolygon& real = scene.AddPolygon(Square({0, 0, -0.5}, 0.9, 2));
  // Many vertices: a 2000-gon.
  std::vector<CVector> round;
  for (int i = 0; i < 2000; ++i) {
    const double a = i * 2 * std::numbers::pi / 2000;
    round.push_back({0.5 + 0.3 * std::cos(a), 0.5 + 0.3 * std::sin(a), 0.6});
  }
  const IPolygon& disk = scene.AddPolygon(round);
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 8, 1, counters);
  HitRecord hit;
  EXPECT_FALSE(tree.FindNearestHit({{0, 0, 0}, {kNaN, kNaN, kNaN}}, 1e14, hit, counters));
  EXPECT_FALSE(tree.FindNearestHit({{0, 0, 0}, {0, 0, kNaN}}, 1e14, hit, counters));
  EXPECT_FALSE(tree.FindNearestHit({{0, 0, 0}, {0, 0, 0}}, 1e14, hit, counters));
  EXPECT_FALSE(tree.FindNearestHit({{kNaN, 0, 0}, {0, 0, 1}}, 1e14, hit, counters));
  ASSERT_TRUE(tree.FindNearestHit(MakeRay({0.15, 0.15, 0.5}, {0, 0, -1}), 1e14, hit, counters));
  EXPECT_EQ(hit.polygon, &real);
  ASSERT_TRUE(tree.FindNearestHit(MakeRay({0.5, 0.5, 0.9}, {0, 0, -1}), 1e14, hit, counters));
  EXPECT_EQ(hit.polygon, &disk);
}

struct Random {
  explicit Random(unsigned seed) : engine(seed) {}
  double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine); }
  CVector Point(double lo, double hi) { return {Uniform(lo, hi), Uniform(lo, hi), Uniform(lo, hi)}; }
  CVector Direction() {
    for (;;) {
      CVector d = Point(-1, 1);
      const double length = d.Length();
      if (length > 0.1 && length <= 1) return d / length;
    }
  }
  std::mt19937 engine;
};

// The cell faces along one axis of a root box from lo to hi, down to the
// given level, computed as the build halves its boxes.
std::vector<double> CellFaces(double lo, double hi, int levels) {
  std::vector<double> faces;
  std::function<void(double, double, int)> halve = [&](double a, double b, int level) {
    const double centre = (a + b) / 2;
    faces.push_back(centre);
    if (level < levels) {
      halve(a, centre, level + 1);
      halve(centre, b, level + 1);
    }
  };
  halve(lo, hi, 1);
  return faces;
}

double& Coordinate(CVector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// Exactly on the awkward places: polygons and ray origins in the cell faces
// of an uneven box (where normalising a face polygon rounds), axis-aligned
// polygons and rays, quads as well as triangles.
class AwkwardScene {
 public:
  explicit AwkwardScene(unsigned seed) : random_(seed) {
    const CVector lo = random_.Point(-1.3, -0.7), hi = random_.Point(0.7, 1.3);
    for (int axis = 0; axis < 3; ++axis) {
      CVector min = lo - CVector(1e-5, 1e-5, 1e-5), max = hi + CVector(1e-5, 1e-5, 1e-5);
      faces_[axis] = CellFaces(Coordinate(min, axis), Coordinate(max, axis), 4);
    }
    auto* camera = new ICamera;
    camera->SetPosition(lo);
    camera->SetTarget(hi);
    camera->SetUpPoint(lo);
    scene_.Add(camera);
    for (int i = 0; i < 160; ++i) {
      const CVector c = random_.Point(-0.6, 0.6);
      const double size = random_.Uniform(0.05, 0.5);
      std::vector<CVector> v;
      switch (i % 4) {
        case 0:  // a triangle
          v = {c + random_.Point(-size, size), c + random_.Point(-size, size), c + random_.Point(-size, size)};
          break;
        case 1: {  // a parallelogram
          const CVector u = random_.Point(-size, size), w = random_.Point(-size, size);
          v = {c - u - w, c + u - w, c + u + w, c - u + w};
          break;
        }
        default: {  // an axis-aligned square, every other one in a cell face
          const int axis = AnyAxis();
          v = Square(c, size, axis);
          if (i % 4 == 3) {
            const double plane = Face(axis);
            for (CVector& p : v) Coordinate(p, axis) = plane;
          }
        }
      }
      made_.push_back(&scene_.AddPolygon(v));
    }
  }

  const IObList& Items() const { return scene_.Items(); }
  const std::vector<const IPolygon*>& Made() const { return made_; }

  // Ray r of a sequence that starts on cell faces, runs along axes and
  // diagonals, and leaves from where three faces meet.
  Ray MakeRay(int r) {
    CVector origin = random_.Point(-0.65, 0.65);
    CVector direction = random_.Direction();
    for (int k : {3, 5}) {
      const int axis = AnyAxis();
      if (r % k == 0) Coordinate(origin, axis) = Face(axis);
    }
    if (r % 4 == 1) {
      direction = {};
      Coordinate(direction, AnyAxis()) = r % 8 == 1 ? 1 : -1;
    } else if (r % 4 == 2) {
      Coordinate(direction, AnyAxis()) = 0;
      direction.Normalize();
    }
    if (r % 7 == 0) {
      origin = {Face(0), Face(1), Face(2)};
      direction = {r % 2 ? 1.0 : -1.0, r % 3 ? 1.0 : -1.0, r % 5 ? 1.0 : -1.0};
      direction.Normalize();
    }
    return {origin, direction};
  }

 private:
  int AnyAxis() { return std::uniform_int_distribution<int>(0, 2)(random_.engine); }
  double Face(int axis) {
    return faces_[axis][std::uniform_int_distribution<size_t>(0, faces_[axis].size() - 1)(random_.engine)];
  }

  Random random_;
  Scene scene_;
  std::vector<const IPolygon*> made_;
  std::vector<double> faces_[3];
};

// The listing rule, checked cell by cell from the root down: a child lists,
// in the reverse of its parent's order, exactly those of the parent's
// entries that the cube test accepts in the child's box; a cell is divided
// when it lists more than leafLimit entries above the depth limit.
void ExpectListsFollowTheCubeTest(const Octree& tree, const OctreeNode& node, const CBoundingBox& box,
                                  const std::vector<uint32_t>& listed, int level, int maxDepth, size_t leafLimit) {
  if (node.IsLeaf()) {
    const std::span<const uint32_t> leaf = tree.GetLeafEntries(node);
    EXPECT_EQ(std::vector<uint32_t>(leaf.begin(), leaf.end()), listed) << "level " << level;
    EXPECT_TRUE(level == maxDepth || listed.size() <= leafLimit) << "level " << level;
    return;
  }
  ASSERT_TRUE(level == 0 || (level < maxDepth && listed.size() > leafLimit)) << "level " << level;
  for (int i = 0; i < 8; ++i) {
    const CBoundingBox child = octree_detail::ChildBox(box, node.Centre(), i);
    const CVector centre = (child.min + child.max) / 2, size = child.max - child.min;
    std::vector<uint32_t> expected;
    for (auto entry = listed.rbegin(); entry != listed.rend(); ++entry) {
      const IPolygon& polygon = *tree.GetEntries()[*entry].polygon;
      std::vector<CVector> v;
      for (const IDrawable* point : polygon.GetPoints()) {
        const CVector d = static_cast<const IPoint*>(point)->world - centre;
        v.emplace_back(d.x / size.x, d.y / size.y, d.z / size.z);
      }
      const CVector& n = polygon.GetNormal();
      if (PolygonOverlapsUnitCube(v, {n.x * size.x, n.y * size.y, n.z * size.z})) expected.push_back(*entry);
    }
    ExpectListsFollowTheCubeTest(tree, tree.GetChild(node, i), child, expected, level + 1, maxDepth, leafLimit);
  }
}

// On one thread and on several, which build the first levels in parts.
TEST(OctreeBuild, EveryCellListsWhatTheCubeTestAcceptsOfItsParentInReverse) {
  AwkwardScene scene(4242);
  for (int depth : {2, 4, 7}) {
    for (int leafLimit : {1, 4}) {
      RenderCounters serial;
      BuildOctree(scene.Items(), depth, leafLimit, serial);
      for (int threads : {1, 2, 5}) {
        OctreeBuildHooks hooks;
        hooks.threads = threads;
        RenderCounters counters;
        const Octree tree = BuildOctree(scene.Items(), depth, leafLimit, counters, hooks);
        EXPECT_EQ(counters.octreeSize, serial.octreeSize) << threads << " threads";
        // The master list and the root's: the scene's polygons last first.
        ASSERT_EQ(tree.GetEntries().size(), scene.Made().size());
        std::vector<uint32_t> all(tree.GetEntries().size());
        for (uint32_t i = 0; i < all.size(); ++i) {
          all[i] = i;
          EXPECT_EQ(tree.GetEntries()[i].polygon, scene.Made()[all.size() - 1 - i]);
        }
        ExpectListsFollowTheCubeTest(tree, tree.GetRoot(), tree.GetRootBox(), all, 0, depth, leafLimit);
      }
    }
  }
}

// --- The walk ---

using Crossings = std::vector<std::pair<const IPolygon*, double>>;

// The walk as plainly stated: each leaf found by a descent from the root,
// left through the nearest faces of its box ahead, the next point put onto
// those faces and never moved against the ray. What it reports and counts
// is what the shadow walk must report and count.
Crossings PlainWalk(const Octree& tree, const Ray& ray, double distance, RenderCounters& counters) {
  Crossings crossed;
  ++counters.octreeHits;
  const BoxHit root = RayBoxIntersect(tree.GetRootBox(), ray);
  if (!root.hit || root.entry != root.exit) return crossed;
  const double limit = std::min(root.exit, distance);
  CVector p = ray.origin, d = ray.direction, o = ray.origin;
  auto high = [](double p, double c, double d) { return p > c || (p == c && d > 0.0); };
  for (;;) {
    const OctreeNode* node = &tree.GetRoot();
    CBoundingBox box = tree.GetRootBox();
    while (!node->IsLeaf()) {
      const CVector c = node->Centre();
      const int i = octree_detail::ChildIndex(high(p.x, c.x, d.x), high(p.y, c.y, d.y), high(p.z, c.z, d.z));
      box = octree_detail::ChildBox(box, c, i);
      node = &tree.GetChild(*node, i);
    }
    ++counters.octreeHits;
    double exit = std::numeric_limits<double>::infinity();
    unsigned exitAxes = 0;
    CVector face;  // ahead on each axis
    for (int a = 0; a < 3; ++a) {
      Coordinate(face, a) = Coordinate(d, a) > 0 ? Coordinate(box.max, a) : Coordinate(box.min, a);
      if (Coordinate(d, a) == 0.0) continue;
      const double t = (Coordinate(face, a) - Coordinate(o, a)) / Coordinate(d, a);
      exitAxes = t < exit ? 1u << a : t == exit ? exitAxes | 1u << a : exitAxes;
      exit = std::min(exit, t);
    }
    const double window = std::min(exit + 1e-5, distance);
    for (const uint32_t entry : tree.GetLeafEntries(*node)) {
      const IPolygon* polygon = tree.GetEntries()[entry].polygon;
      double t;
      HitRecord hit;
      if (!IntersectPlane(*polygon, ray, t) || !(t >= kMinHitDistance && t < window)) continue;
      ++counters.polygonHitTests;
      if (!ContainsHit(*polygon, hit, ray, t)) continue;
      ++counters.polygonHits;
      crossed.emplace_back(polygon, t);
    }
    if (limit <= exit) return crossed;
    CVector next = ray.At(exit);
    bool advanced = false;
    for (int a = 0; a < 3; ++a) {
      double& n = Coordinate(next, a);
      if (exitAxes >> a & 1) n = Coordinate(face, a);
      if (Coordinate(d, a) > 0) n = std::max(n, Coordinate(p, a));
      if (Coordinate(d, a) < 0) n = std::min(n, Coordinate(p, a));
      advanced = advanced || ((exitAxes >> a & 1) && n != Coordinate(p, a));
    }
    if (!advanced) return crossed;
    p = next;
  }
}

// Whatever the tree, the nearest distance is the one a loop over every
// polygon finds. And though the walk finds each next leaf from the one
// before, it visits the very leaves, and reports and counts the very hits,
// of a descent from the root: for rays through cell faces, edges and
// corners, and for rays leaving a surface.
TEST(OctreeQueries, MatchBruteForceAndThePlainWalkOnCellFacesEdgesAndCorners) {
  AwkwardScene scene(4242);
  for (int depth : {2, 4, 7}) {
    RenderCounters built;
    const Octree tree = BuildOctree(scene.Items(), depth, depth == 7 ? 2 : 4, built);
    int hits = 0;
    for (int r = 0; r < 500; ++r) {
      Ray ray = scene.MakeRay(r);
      HitRecord expected, actual;
      const bool want = BruteForceNearest(scene.Made(), ray, Octree::kMaxHitDistance, expected);
      ASSERT_EQ(tree.FindNearestHit(ray, Octree::kMaxHitDistance, actual, built), want) << depth << " ray " << r;
      if (want) {
        ++hits;
        EXPECT_NEAR(actual.t, expected.t, 1e-9) << "depth " << depth << " ray " << r;
        if (r % 2) ray = {actual.point, ray.direction};
      }
      for (double distance : {Octree::kMaxHitDistance, 0.4}) {
        RenderCounters walked, counted;
        Crossings crossed;
        tree.ShadowWalk(ray, distance, walked, [&](const HitRecord& h) {
          crossed.emplace_back(h.polygon, h.t);
          return true;
        });
        EXPECT_EQ(crossed, PlainWalk(tree, ray, distance, counted)) << "depth " << depth << " ray " << r;
        EXPECT_EQ(walked, counted) << "depth " << depth << " ray " << r;
      }
    }
    EXPECT_GT(hits, 250) << "depth " << depth;
  }
}

// --- Counters ---

// Root [-1, 1]³ divided once; a square in z = 0.5 over x, y in [0.1, 0.9]
// lies in child 0 only. A ray up from child 3 tests the root, leaf 3 (empty)
// and leaf 0, where the square is tested once and hit.
TEST(Counters, CountRootTestsLeavesTestsAndHits) {
  Scene scene;
  scene.AddCamera();
  scene.AddPolygon(Square({0.5, 0.5, 0.5}, 0.4, 2));
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 1, 4, counters);
  RenderCounters expected;
  expected.octreeSize = 8;
  EXPECT_EQ(counters, expected);

  HitRecord hit;
  ASSERT_TRUE(tree.FindNearestHit(MakeRay({0.5, 0.5, -0.5}, {0, 0, 1}), 1e14, hit, counters));
  expected.octreeHits = 3;
  expected.polygonHitTests = 1;
  expected.polygonHits = 1;
  EXPECT_EQ(counters, expected);

  // The plane is met but outside the square: a test, no hit; the walk goes
  // on through leaf 0 and stops at the root's exit. From outside the root
  // only the root test counts.
  EXPECT_FALSE(tree.FindNearestHit(MakeRay({0.95, 0.95, -0.5}, {0, 0, 1}), 1e14, hit, counters));
  expected.octreeHits += 3;
  expected.polygonHitTests += 1;
  EXPECT_EQ(counters, expected);
  EXPECT_FALSE(tree.FindNearestHit(MakeRay({0.5, 0.5, -5}, {0, 0, 1}), 1e14, hit, counters));
  expected.octreeHits += 1;
  EXPECT_EQ(counters, expected);
}

// --- The shadow walk ---

// How the walk ends: at its distance, at the first surface the callback
// refuses, or at once when the ray misses the root box. What it reports on
// the way the comparison with the plain walk pins.
TEST(ShadowWalk, EndsAtItsDistanceAtARefusalOrOutsideTheScene) {
  Scene scene;
  scene.AddCamera();
  scene.AddPolygon(Square({0.5, 0.5, 0}, 0.4, 2));
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 1, 4, counters);
  int calls = 0;
  const auto accept = [&](const HitRecord&) { return ++calls > 0; };
  const auto refuse = [&](const HitRecord&) { return ++calls < 0; };
  const Ray up = MakeRay({0.5, 0.5, -0.5}, {0, 0, 1});
  EXPECT_EQ(tree.ShadowWalk(up, 0.4, counters, refuse), ShadowWalkEnd::reachedEnd);
  EXPECT_EQ(calls, 0);
  // The square lies in the face between children 3 and 0, listed in both.
  EXPECT_EQ(tree.ShadowWalk(up, 1.2, counters, accept), ShadowWalkEnd::reachedEnd);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(tree.ShadowWalk(up, 1.2, counters, refuse), ShadowWalkEnd::stopped);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(tree.ShadowWalk(MakeRay({0.5, 0.5, -5}, {0, 0, 1}), 10, counters, accept), ShadowWalkEnd::outsideScene);
  EXPECT_EQ(calls, 3);
}

// From a lit point of a closed convex form the way to the light is clear:
// the shadow ray leaves the form and nothing of it lies ahead. A face that
// wrongly claimed the ray's crossing with its plane made dark specks.
TEST(ShadowWalk, ALitPointOfASphereSeesNothingOfItOnTheWayToTheLight) {
  Scene scene;
  auto* sphere = new IObject;
  sphere->AddSphere(10, 32, 16);
  sphere->UpdateWorldGeometry();
  sphere->ComputeNormals();
  scene.Add(sphere);
  scene.AddCamera(40);
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 6, 4, counters);
  Random random(2718);
  int lit = 0, blocked = 0;
  for (int r = 0; r < 20000; ++r) {
    const CVector eye = random.Direction() * 35;
    HitRecord hit;
    if (!tree.FindNearestHit(MakeRay(eye, random.Point(-9, 9) - eye), Octree::kMaxHitDistance, hit, counters)) continue;
    const CVector light = random.Direction() * 38;
    const Ray shadow = MakeRay(hit.point, light - hit.point);
    if (hit.normal.Dot(shadow.direction) < 0.05) continue;
    ++lit;
    tree.ShadowWalk(shadow, (light - hit.point).Length(), counters, [&](const HitRecord&) {
      ++blocked;
      return false;
    });
  }
  EXPECT_GT(lit, 5000);
  EXPECT_EQ(blocked, 0);
}

}  // namespace
}  // namespace brevoxa
