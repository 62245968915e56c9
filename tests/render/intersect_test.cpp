// Ray–polygon tests: plane distances, fan coordinates and sphere seams.
#include "render/intersect.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "hand_scene.h"
#include "scene/form_object.h"
#include "scene/layer.h"

namespace brevoxa {
namespace {

using testing::MakeRay;

using Polygons = testing::HandScene;

// The plane z = 2; refusals (within 1e-5 of parallel, NaN, no normal) leave t alone.
TEST(IntersectPlane, GivesTheDistanceToThePlaneOrRefuses) {
  Polygons scene;
  const IPolygon& square = scene.AddPolygon({{0, 0, 2}, {1, 0, 2}, {1, 1, 2}, {0, 1, 2}});
  const IPolygon& sliver = scene.AddPolygon({{0, 0, 0}, {1, 1, 1}, {2, 2, 2}});
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const IPolygon* polygon;
    Ray ray;
    bool met;
    double t;
  };
  const Case cases[] = {
      {&square, MakeRay({0.5, 0.5, 7}, {0, 0, -1}), true, 5},
      {&square, MakeRay({0.5, 0.5, -1}, {0, 0, 1}), true, 3},
      {&square, MakeRay({0.5, 0.5, 7}, {0, 0, 1}), true, -5},
      {&square, MakeRay({0, 0, 3}, {1, 0, 0}), false, 42},
      {&square, {{0, 0, 1}, {1, 0, 0.9e-5}}, false, 42},
      {&square, {{0, 0, 1}, {1, 0, 1.1e-5}}, true, 1 / 1.1e-5},
      {&square, MakeRay({0, 0, 3}, {nan, 0, -1}), false, 42},
      {&square, MakeRay({0, 0, 3}, {0, 0, nan}), false, 42},
      {&sliver, MakeRay({0, 0, 3}, {0, 0, -1}), false, 42},
  };
  for (const Case& c : cases) {
    double t = 42;
    EXPECT_EQ(IntersectPlane(*c.polygon, c.ray, t), c.met);
    EXPECT_NEAR(t, c.t, 1e-6);
  }
}

TEST(ContainsHit, SolvesTheFanWhenTheSecondVertexSharesTheFirstCoordinate) {
  Polygons scene;
  // q1 lies straight above q0 in the projection, so u1 is exactly 0.
  const IPolygon& triangle = scene.AddPolygon({{0, 0, 0}, {0, 1, 0}, {1, 1, 0}});
  HitRecord hit;
  ASSERT_TRUE(ContainsHit(triangle, hit, MakeRay({0.25, 0.5, 1}, {0, 0, -1}), 1.0));
  EXPECT_DOUBLE_EQ(hit.beta, 0.25);
  EXPECT_DOUBLE_EQ(hit.alpha, 0.25);
  EXPECT_FALSE(ContainsHit(triangle, hit, MakeRay({0.5, 0.25, 1}, {0, 0, -1}), 1.0));

  // Regression: 0.1 + 0.2 rounds past 0.3, so u1 is -5.6e-17 rather than 0.
  const IPolygon& leaning = scene.AddPolygon({{0.1 + 0.2, 0, 0}, {0.3, 1, 0}, {1.3, 1, 0}});
  for (const auto& [x, y] : {std::pair{0.5, 0.5}, std::pair{0.35, 0.9}, std::pair{1.0, 0.95}}) {
    ASSERT_TRUE(ContainsHit(leaning, hit, MakeRay({x, y, 1}, {0, 0, -1}), 1.0)) << x << ", " << y;
    EXPECT_NEAR(hit.beta, x - (0.1 + 0.2), 1e-12) << x << ", " << y;
    EXPECT_NEAR(hit.alpha, y - hit.beta, 1e-12) << x << ", " << y;
  }
  EXPECT_FALSE(ContainsHit(leaning, hit, MakeRay({0.7, 0.3, 1}, {0, 0, -1}), 1.0));
}

// Random triangles: the fan coordinates give back the weights of points inside.
TEST(ContainsHit, RecoversBarycentricWeightsOfRandomTriangles) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> coordinate(-10.0, 10.0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Polygons scene;
  int tested = 0;
  for (int round = 0; round < 500; ++round) {
    const CVector a(coordinate(random), coordinate(random), coordinate(random));
    const CVector b(coordinate(random), coordinate(random), coordinate(random));
    const CVector c(coordinate(random), coordinate(random), coordinate(random));
    const IPolygon& triangle = scene.AddPolygon({a, b, c});
    if ((b - a).Cross(c - a).Length() < 1.0) continue;
    double wb = unit(random), wc = unit(random);
    if (wb + wc > 1) {
      wb = 1 - wb;
      wc = 1 - wc;
    }
    const CVector inside = a + (b - a) * wb + (c - a) * wc;
    CVector origin = inside + triangle.GetNormal() * (1 + 5 * unit(random));
    Ray ray = MakeRay(origin, inside - origin);
    ray.direction.Normalize();
    double t = 0;
    ASSERT_TRUE(IntersectPlane(triangle, ray, t));
    EXPECT_NEAR(t, (inside - origin).Length(), 1e-9);
    HitRecord hit;
    ASSERT_TRUE(ContainsHit(triangle, hit, ray, t)) << "round " << round;
    EXPECT_NEAR(hit.alpha, wb, 1e-7);
    EXPECT_NEAR(hit.beta, wc, 1e-7);

    const CVector outside = a + (b - a) * (1.2 + wb) + (c - a) * wc;
    origin = outside + triangle.GetNormal();
    ray = MakeRay(origin, triangle.GetNormal() * -1);
    EXPECT_FALSE(ContainsHit(triangle, hit, ray, 1.0)) << "round " << round;
    ++tested;
  }
  EXPECT_GT(tested, 400);
}

// Generated spheres' faces tile the surface: no gaps at edges, no overlaps inside.
TEST(ContainsHit, GeneratedSpheresHaveNoGapsOrOverlapsBetweenFaces) {
  std::mt19937 random(1604);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (const auto& [around, down] : {std::pair{32, 16}, std::pair{24, 12}, std::pair{48, 24}}) {
    IObject form;
    form.AddSphere(10, around, down);
    form.UpdateWorldGeometry();
    form.ComputeNormals();
    std::vector<const IPolygon*> faces;
    for (const IDrawable* layer : form.GetLayers())
      for (const IDrawable* p : static_cast<const ILayer*>(layer)->GetPolygons())
        faces.push_back(static_cast<const IPolygon*>(p));
    auto frontFaces = [&](const CVector& target) {
      Ray ray = MakeRay(target * 1.5, target * -1);
      ray.direction.Normalize();
      std::vector<const IPolygon*> met;
      for (const IPolygon* face : faces) {
        double t;
        HitRecord hit;
        if (face->GetNormal().Dot(ray.direction) < 0 && IntersectPlane(*face, ray, t) && t > 0 &&
            ContainsHit(*face, hit, ray, t))
          met.push_back(face);
      }
      return met;
    };
    int gaps = 0, overlaps = 0;
    for (const IPolygon* face : faces) {
      std::vector<CVector> v;
      for (const IDrawable* point : face->GetPoints()) v.push_back(static_cast<const IPoint*>(point)->world);
      for (int sample = 0; sample < 4; ++sample) {
        const size_t i = 1 + sample % (v.size() - 2);
        const double a = 0.02 + 0.47 * unit(random), b = 0.02 + 0.47 * unit(random);
        const std::vector<const IPolygon*> met = frontFaces(v[0] + (v[i] - v[0]) * a + (v[i + 1] - v[0]) * b);
        if (met != std::vector<const IPolygon*>{face}) ++overlaps;
      }
      for (size_t e = 0; e < v.size(); ++e) {
        const CVector& from = v[e];
        const CVector& to = v[(e + 1) % v.size()];
        if (frontFaces(from + (to - from) * unit(random)).empty()) ++gaps;
      }
    }
    EXPECT_EQ(gaps, 0) << around << " x " << down;
    EXPECT_EQ(overlaps, 0) << around << " x " << down;
  }
}

// Whatever the reject box refuses, the fan test refuses too: points just
// beyond the vertices (where the fan test's own tolerance accepts) and all
// around, on polygons of several sizes far from and near the origin. A
// sliver, whose coordinates the bound does not cover, gets no box.
TEST(FanRejectBox, RefusesOnlyPointsTheFanTestRefuses) {
  std::mt19937 random(7041);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const double inf = std::numeric_limits<float>::infinity();
  int refused = 0;
  for (int round = 0; round < 300; ++round) {
    const double scale = round % 3 == 0 ? 1e-3 : round % 3 == 1 ? 1.0 : 1e3;
    const CVector offset = CVector(unit(random), unit(random), unit(random)) * (round % 2 ? 1e3 * scale : 0.0);
    // A triangle or a convex quad in a random plane.
    CVector e1(unit(random), unit(random), unit(random));
    e1.Normalize();
    CVector e2 = e1.Cross(CVector(unit(random), unit(random), unit(random)));
    e2.Normalize();
    const int corners = 3 + round % 2;
    std::vector<CVector> positions;
    for (int k = 0; k < corners; ++k) {
      const double angle = (k + 0.4 * unit(random)) * 6.283185307179586 / corners;
      positions.push_back(offset + (e1 * std::cos(angle) + e2 * std::sin(angle)) * scale);
    }
    const CVector normal = e1.Cross(e2);
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    const int dominantAxis = ax >= ay && ax >= az ? 1 : ay >= az ? 2 : 3;
    const FanRejectBox box = MakeFanRejectBox(positions, dominantAxis);
    ASSERT_EQ(box.lo[dominantAxis - 1], -inf);

    const std::vector<const IPoint*> points(positions.size(), nullptr);
    auto check = [&](const CVector& h) {
      HitRecord hit;
      const bool accepted = ContainsHit(positions, points.data(), dominantAxis, hit, Ray{h, {0, 0, 0}}, 1.0);
      if (box.Refuses(h)) {
        ++refused;
        EXPECT_FALSE(accepted) << "round " << round << " at " << h.x << ", " << h.y << ", " << h.z;
      }
    };
    for (const CVector& v : positions) {
      for (const double step : {0.0, 1e-12, 1e-9, 1e-7, 9e-7, 1.1e-6, 1e-3}) {
        for (const CVector& away : {CVector(1, 0, 0), CVector(-1, 0, 0), CVector(0, 1, 0), CVector(0, -1, 0),
                                    CVector(0, 0, 1), CVector(0, 0, -1)}) {
          check(v + away * (step * 2 * scale));
        }
      }
    }
    for (int sample = 0; sample < 50; ++sample) {
      check(offset + CVector(unit(random), unit(random), unit(random)) * (1.5 * scale));
    }
  }
  EXPECT_GT(refused, 10000);

  const std::vector<CVector> sliver = {{0, 0, 0}, {1, 0, 0}, {2, 1e-4, 0}};
  const FanRejectBox open = MakeFanRejectBox(sliver, 3);
  EXPECT_FALSE(open.Refuses({1e9, -1e9, 5}));
}

}  // namespace
}  // namespace brevoxa
