// Polygons: normal, plane and dominant axis, planarity, the record with its
// shared point references, and the outline in parallel and camera views.
#include "scene/polygon.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "form_fixtures.h"
#include "persist/archive.h"
#include "support/bytes.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::CameraView;
using testing::DrawCall;
using testing::RecordingSurface;

// Polygons over points at given world positions, all kept alive here.
struct Shapes {
  IPolygon& Polygon(const std::vector<CVector>& corners) {
    polygons.push_back(std::make_unique<IPolygon>());
    for (const CVector& c : corners) {
      points.push_back(std::make_unique<IPoint>(c));
      points.back()->world = c;
      polygons.back()->AddPoint(points.back().get());
    }
    return *polygons.back();
  }
  std::vector<std::unique_ptr<IPoint>> points;
  std::vector<std::unique_ptr<IPolygon>> polygons;
};

std::vector<int> Ends(const DrawCall& c) { return {c.x1, c.y1, c.x2, c.y2}; }

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

TEST(PolygonRecord, PointsAreSharedReferencesOfPointsOnly) {
  Shapes s;
  IPolygon& a = s.Polygon({{0, 0, 0}, {1, 1, 1}});
  IPolygon b;
  b.AddPoint(s.points[1].get());
  auto bytes = testing::Store([&](CArchive& ar) {
    ar.WriteObject(&a);
    ar.WriteObject(&b);
  });
  testing::Load(bytes, [&](CArchive& ar) {
    std::unique_ptr<CObject> la(ar.ReadOwnedObject(RUNTIME_CLASS(IPolygon)));
    std::unique_ptr<CObject> lb(ar.ReadOwnedObject(RUNTIME_CLASS(IPolygon)));
    EXPECT_EQ(static_cast<IPolygon*>(la.get())->GetPoints().GetTail(),
              static_cast<IPolygon*>(lb.get())->GetPoints().GetHead());
    // The polygons own none of their points.
    std::vector<CObject*> points = ar.TakeUnownedObjects();
    EXPECT_EQ(points.size(), 2u);
    for (CObject* p : points) delete p;
  });

  // A point list that names a polygon is refused.
  IPolygon outer;
  outer.GetPoints().AddTail(&b);
  bytes = testing::Store([&](CArchive& ar) { ar.WriteObject(&outer); });
  outer.GetPoints().RemoveAll();
  EXPECT_EQ(testing::LoadCause(bytes, [](CArchive& ar) { delete ar.ReadOwnedObject(RUNTIME_CLASS(IPolygon)); }),
            CArchiveException::badClass);
}

TEST(PolygonDrawing, ClosedOutlineInAParallelView) {
  IViewTran view;
  testing::SetUpParallel(view, IViewTran::top);
  Shapes s;
  RecordingSurface surface;
  s.Polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}).Draw(surface, view, 1, 0);
  // Top view: +X down, +Y right.
  ASSERT_EQ(surface.calls.size(), 4u);
  EXPECT_EQ(Ends(surface.calls[0]), (std::vector<int>{100, 50, 100, 52}));
  EXPECT_EQ(Ends(surface.calls[3]), (std::vector<int>{102, 50, 100, 50}));
  EXPECT_EQ(surface.GetState(), DrawState());
  // Two points make one edge, never doubled back (which would wipe it out
  // in the inverting modes).
  surface.calls.clear();
  s.Polygon({{0, 0, 0}, {1, 0, 0}}).Draw(surface, view, 2, 0);
  EXPECT_EQ(surface.calls.size(), 1u);
  // The handle square sits at the centre, (1, 1, 0): pixel (102, 52).
  surface.calls.clear();
  s.Polygon({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}).DrawHandle(surface, view, 1, 0);
  EXPECT_EQ(Ends(surface.calls.at(0)), (std::vector<int>{100, 50, 105, 55}));
}

TEST(PolygonDrawing, CameraViewCutsEdgesAtTheViewPlane) {
  CameraView cv;
  Shapes s;
  // Camera coordinates: (5, 0, 50), (5, 0, -10) behind the eye, (-5, 0, 50).
  RecordingSurface surface;
  s.Polygon({{5, 0, 0}, {5, -60, 0}, {-5, 0, 0}}).Draw(surface, cv.view, 1, 0);
  ASSERT_EQ(surface.calls.size(), 3u);
  // To the cut at depth 10, from the cut on the way back, and the far edge.
  EXPECT_EQ(Ends(surface.calls[0]), (std::vector<int>{120, 50, 200, 50}));
  EXPECT_EQ(Ends(surface.calls[1]), (std::vector<int>{133, 50, 80, 50}));
  EXPECT_EQ(Ends(surface.calls[2]), (std::vector<int>{80, 50, 120, 50}));
  surface.calls.clear();
  s.Polygon({{0, -45, 0}, {1, -45, 0}, {1, -45, 1}}).Draw(surface, cv.view, 1, 0);
  EXPECT_TRUE(surface.calls.empty());
}

TEST(PolygonDrawing, BackFacesAreSkippedOnlyWithTheSwitchInCameraViews) {
  CameraView cv;
  Shapes s;
  // In the plane y = 0: one faces +Y, away from the eye at y = -50.
  IPolygon& away = s.Polygon({{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}});
  IPolygon& toward = s.Polygon({{0, 0, 1}, {1, 0, 1}, {1, 0, 0}, {0, 0, 0}});
  auto lines = [&](IPolygon& p, const IViewTran& view) {
    RecordingSurface surface;
    p.Draw(surface, view, 1, 0);
    return surface.calls.size();
  };
  EXPECT_EQ(lines(away, cv.view), 4u);
  cv.view.SetRemoveBackFaces(true);
  EXPECT_EQ(lines(away, cv.view), 0u);
  EXPECT_EQ(away.GetNormal(), CVector(0, 1, 0));
  EXPECT_EQ(lines(toward, cv.view), 4u);
  IViewTran front;
  testing::SetUpParallel(front, IViewTran::front);
  front.SetRemoveBackFaces(true);
  EXPECT_EQ(lines(away, front), 4u);
}

}  // namespace
}  // namespace brevoxa
