// Polygons: normal, plane and dominant axis, planarity, the record.
#include "scene/polygon.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "form_fixtures.h"
#include "persist/archive.h"
#include "support/bytes.h"

namespace brevoxa {
namespace {

using testing::Shapes;

TEST(PolygonNormal, PlaneAndDominantAxis) {
  Shapes s;
  IPolygon& square = s.Polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  EXPECT_EQ(square.GetNormal(), CVector(0, 0, 0));
  square.ComputeNormal();
  EXPECT_EQ(square.GetNormal(), CVector(0, 0, -1));
  EXPECT_EQ(square.GetDominantAxis(), 3);
  EXPECT_EQ(square.GetPlaneD(), 0.0);
  EXPECT_EQ(square.GetPosition(), CVector(0.5, 0.5, 0));

  IPolygon& raised = s.Polygon({{0, 0, 2}, {0, 1, 2}, {1, 1, 2}});
  raised.ComputeNormal();
  EXPECT_EQ(raised.GetPlaneD(), 2.0);
  // Ties go to the later axis: X and Y tie, Y wins; all three tie, Z wins.
  struct { std::vector<CVector> corners; int axis; } cases[] = {
      {{{0, 0, 0}, {0, 0, 1}, {1, -1, 1}}, 2}, {{{0, 0, 0}, {0, 0, 1}, {0, 1, 1}}, 1},
      {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 3}};
  for (const auto& c : cases) {
    IPolygon& p = s.Polygon(c.corners);
    p.ComputeNormal();
    EXPECT_EQ(p.GetDominantAxis(), c.axis);
  }

  // Two points: the normal is (0, 0, 1) and the polygon is not planar.
  IPolygon& two = s.Polygon({{0, 0, 0}, {5, 5, 5}});
  two.ComputeNormal();
  EXPECT_EQ(two.GetNormal(), CVector(0, 0, 1));
  EXPECT_FALSE(two.IsPlanar());
}

TEST(PolygonPlanarity, ToleranceIsOneThousandth) {
  Shapes s;
  EXPECT_TRUE(s.Polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.0009}}).IsPlanar());
  EXPECT_FALSE(s.Polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.0011}}).IsPlanar());
  EXPECT_TRUE(s.Polygon({{0, 0, 0}, {1, 7, 0}, {3, 2, 9}}).IsPlanar());

  // Tilted planes: points on them pass, a lift of 0.002 off them fails.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-10, 10);
  for (int i = 0; i < 100; ++i) {
    CVector o(u(rng), u(rng), u(rng)), a(u(rng), u(rng), u(rng)), b(u(rng), u(rng), u(rng));
    CVector n = a.Cross(b);
    if (n.Length() < 1) continue;
    n.Normalize();
    EXPECT_TRUE(s.Polygon({o, o + a, o + a + b, o + b * 1.5, o + b - a * 0.5}).IsPlanar());
    EXPECT_FALSE(s.Polygon({o, o + a, o + a + b, o + b + n * 0.002}).IsPlanar());
  }
}

// Shared point references are pinned by the form corpus.
TEST(PolygonRecord, APointListNamingAPolygonIsRefused) {
  IPolygon inner, outer;
  outer.GetPoints().AddTail(&inner);
  auto bytes = testing::Store([&](CArchive& ar) { ar.WriteObject(&outer); });
  outer.GetPoints().RemoveAll();
  EXPECT_EQ(testing::LoadCause(bytes, [](CArchive& ar) { delete ar.ReadOwnedObject(RUNTIME_CLASS(IPolygon)); }),
            CArchiveException::badClass);
}

}  // namespace
}  // namespace brevoxa
