// The generators: known shapes, outward normals over many division counts,
// the dialogs' limits, large forms, and the extrusion and lathe sweeps.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "form_fixtures.h"
#include "persist/archive.h"
#include "scene/generator_settings.h"
#include "scene/generators.h"
#include "support/bytes.h"

namespace brevoxa {
namespace {

using testing::ExpectNear;
using testing::LayersOf;
using testing::PointsOf;
using testing::PolygonsOf;
using testing::VerticesOf;

CVector NormalOf(IPolygon& polygon) {
  polygon.ComputeNormal();
  return polygon.GetNormal();
}

TEST(Primitives, FourSidedCone) {
  IObject form;
  ILayer* layer = form.AddCone(1, 1, 4, false);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(AddedLayerStatus(*layer), "Added Layer Cone Group");
  auto p = PointsOf(form);
  ASSERT_EQ(p.size(), 5u);
  const CVector expected[] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
  for (size_t i = 0; i < 5; ++i) ExpectNear(p[i]->local, expected[i], 1e-11);
  // (A, P1, P0) ... (A, P3, P2), then the closing (A, P0, P3).
  auto sides = PolygonsOf(*layer);
  ASSERT_EQ(sides.size(), 4u);
  EXPECT_EQ(VerticesOf(*sides[0]), (std::vector<IPoint*>{p[0], p[2], p[1]}));
  EXPECT_EQ(VerticesOf(*sides[3]), (std::vector<IPoint*>{p[0], p[1], p[4]}));
  ExpectNear(NormalOf(*sides[0]), CVector(1, 1, 1) / std::sqrt(3.0), 1e-11);

  // The bottom comes first, on copies of the rim, facing down.
  IObject closed;
  auto polygons = PolygonsOf(*closed.AddCone(1, 1, 4, true));
  EXPECT_EQ(closed.GetPoints().GetCount(), 9u);
  ASSERT_EQ(polygons.size(), 5u);
  EXPECT_FALSE(polygons[1]->UsesPoint(VerticesOf(*polygons[0])[0]));
}

TEST(Primitives, SphereOfFourByThree) {
  IObject form;
  ILayer* layer = form.AddSphere(1, 4, 3);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->GetName(), "Sphere Group");
  auto p = PointsOf(form);
  ASSERT_EQ(p.size(), 10u);
  EXPECT_EQ(p[0]->local, CVector(0, 0, 1));
  EXPECT_EQ(p[1]->local, CVector(0, 0, -1));
  // Row 1 lies 60 degrees down from the north pole; column 1 a quarter on.
  ExpectNear(p[2]->local, CVector(std::sin(kFullTurn / 6), 0, 0.5), 1e-11);
  ExpectNear(p[4]->local, CVector(0, std::sin(kFullTurn / 6), 0.5), 1e-11);
  auto polygons = PolygonsOf(*layer);
  ASSERT_EQ(polygons.size(), 12u);
  // Per column (N, C1, P1), (P1, C1, C2, P2), (S, P2, C2); the last closes on 0.
  EXPECT_EQ(VerticesOf(*polygons[0]), (std::vector<IPoint*>{p[0], p[4], p[2]}));
  EXPECT_EQ(VerticesOf(*polygons[2]), (std::vector<IPoint*>{p[1], p[3], p[5]}));
  EXPECT_EQ(VerticesOf(*polygons[9])[1], p[2]);
}

// Every face is planar and has the inner point behind its plane.
void ExpectOutward(IObject& form, const CVector& localInside, const std::string& context) {
  const CVector inside = form.GetFrame().LocalToWorld(localInside);
  for (IPolygon* polygon : PolygonsOf(*form.GetFirstLayer())) {
    ASSERT_TRUE(polygon->IsPlanar()) << context;
    const CVector n = NormalOf(*polygon);
    ASSERT_NEAR(n.Length(), 1.0, 1e-9) << context;
    ASSERT_GT(n.Dot(polygon->GetPosition() - inside), 0.0) << context;
  }
}

TEST(Primitives, ClosedPrimitivesFaceOutwardForManyDivisionCounts) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> divisions(3, 160);
  std::uniform_real_distribution<double> size(0.1, 500.0), angle(-180.0, 180.0), offset(-1000.0, 1000.0);
  for (int round = 0; round < 40; ++round) {
    const int n = divisions(random), v = divisions(random);
    const double r = size(random), r2 = size(random), h = size(random);
    const std::string context = "round " + std::to_string(round);
    auto placed = [&](IObject& form) {
      form.GetFrame().SetPosition({offset(random), offset(random), offset(random)});
      form.GetFrame().SetRotation({angle(random), angle(random), angle(random)});
      const double s = size(random) / 100;
      form.GetFrame().SetScale({s, s, s});
    };
    IObject cone, cylinder, sphere;
    for (IObject* form : {&cone, &cylinder, &sphere}) placed(*form);
    ASSERT_NE(cone.AddCone(r, h, n, true), nullptr);
    ExpectOutward(cone, {0, 0, h / 4}, "cone, " + context);
    ASSERT_NE(cylinder.AddCylinder(r, r2, h, n, true, true), nullptr);
    ExpectOutward(cylinder, {0, 0, h / 2}, "cylinder, " + context);
    ASSERT_NE(sphere.AddSphere(r, n, v), nullptr);
    ExpectOutward(sphere, {0, 0, 0}, "sphere, " + context);

    // The flat ones face +Z.
    IObject flat;
    ASSERT_NE(flat.AddDisk(r, n, round % 2 == 1), nullptr);
    ASSERT_NE(flat.AddPlane(r, h, n % 40 + 1, v % 40 + 1), nullptr);
    for (ILayer* layer : LayersOf(flat))
      for (IPolygon* polygon : PolygonsOf(*layer)) ExpectNear(NormalOf(*polygon), CVector(0, 0, 1), 1e-9);
  }
}

// The primitives' range messages are the command-line tests' (info_command_test).
TEST(GeneratorSettings, RefusedValuesGiveTheRangeMessageAndAddNothing) {
  const std::string sweep = "Please enter an integer between 1 and 1000.";
  // Radius before divisions, as the dialog's fields run.
  EXPECT_EQ(ConeDefinition({0, 100, 1, true}).Check(), "Please enter a number between 0.1 and 30000.");
  EXPECT_EQ(CylinderDefinition({50, 50, 100, 30001, true, true}).Check(), "Please enter an integer between 3 and 30000.");
  EXPECT_FALSE(PlaneDefinition({0.001, 30000, 1, 1000}).Check());
  EXPECT_EQ(ExtrudeSettings({0, {}, {1, 1, 1}, {}}).Check(), sweep);
  EXPECT_EQ(LatheSettings({1001, false}).Check(), sweep);

  IObject form;
  EXPECT_EQ(form.AddDisk(50, 0, true), nullptr);
  // Height 0 is the centred disk's own business, not a cone's.
  EXPECT_EQ(form.AddCone(1, 0, 4, true), nullptr);
  EXPECT_EQ(form.AddCylinder(1, -1, 1, 4, true, true), nullptr);
  EXPECT_EQ(form.AddSphere(1, 12, 1), nullptr);
  EXPECT_EQ(form.AddPlane(INFINITY, 1, 1, 5), nullptr);

  // Every field is within range, but not nearly two billion elements.
  SphereDefinition huge{50, 30000, 30000};
  EXPECT_EQ(huge.Check(),
            "The new layer would have too many points and polygons; at most 8000000 can be made at once.");
  EXPECT_EQ(huge.AddTo(form), nullptr);
  EXPECT_TRUE(form.GetLayers().IsEmpty());
  EXPECT_TRUE(form.GetPoints().IsEmpty());
  EXPECT_FALSE(SphereDefinition({1, 2000, 2000}).Check());
  EXPECT_TRUE(SphereDefinition({1, 2001, 2000}).Check());
  EXPECT_FALSE(CylinderDefinition({1, 1, 1, 30000, true, true}).Check());
}

// Past the small indices a body's references take the big form.
TEST(LargeForms, APlaneBodyPastTheSmallIndicesReadsBackWhole) {
  IObject form;
  ASSERT_NE(form.AddPlane(100, 50, 200, 90), nullptr);
  ASSERT_GT(form.GetPoints().GetCount() + form.GetPolygonCount(), CArchive::kMaxSmallIndex);
  const testing::Bytes body = testing::Store([&](CArchive& ar) { form.SerializeBody(ar); });
  IObject loaded;
  testing::Load(body, [&](CArchive& ar) { loaded.SerializeBody(ar); });
  EXPECT_EQ(loaded.GetPoints().GetCount(), 201u * 91u);
  EXPECT_EQ(loaded.GetPolygonCount(), 200u * 90u);
  EXPECT_EQ(testing::Store([&](CArchive& ar) { loaded.SerializeBody(ar); }), body);
}

using testing::AddLayer;
using testing::AddPoint;
using testing::AddPolygon;

// One selected polygon through the points and an unselected triangle beside it.
struct SourceForm {
  explicit SourceForm(std::initializer_list<CVector> outline) {
    first = AddLayer(form, "Source");
    source = AddPolygon(*first, {});
    for (const CVector& p : outline) source->AddPoint(AddPoint(form, p));
    AddPolygon(*first, {AddPoint(form, {10, 0, 0}), AddPoint(form, {11, 0, 0}), AddPoint(form, {10, 1, 0})});
    first->GetPolygons().SelectItem(source, true);
    before = form.GetPoints().GetCount();
  }
  // Point k of ring or column r of the sweep, which adds rows of m points.
  IPoint* Made(size_t r, size_t k, size_t m, size_t skip = 0) const {
    return PointsOf(form)[before + skip + r * m + k];
  }
  IObject form;
  ILayer* first;
  IPolygon* source;
  size_t before;
};

// Counter-clockwise seen from +Z: it faces -Z, the back of a sweep up Z.
const std::initializer_list<CVector> kSquare = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

TEST(Extrude, WithoutRotationMakesQuadsAndAReversedCap) {
  SourceForm s(kSquare);
  ILayer* sides = s.form.Extrude(2, {0, 0, 10}, {1, 1, 1}, {0, 0, 0});
  ASSERT_NE(sides, nullptr);
  auto layers = LayersOf(s.form);
  ASSERT_EQ(layers.size(), 3u);
  EXPECT_EQ(AddedLayerStatus(*sides), "Added Layer Extrusion Group");
  EXPECT_EQ(layers[2]->GetName(), "Back Face Group");
  // Rings 0, 1 and 2, then the cap's own copies.
  ASSERT_EQ(s.form.GetPoints().GetCount(), s.before + 16);
  EXPECT_EQ(s.Made(1, 2, 4)->local, CVector(1, 1, 5));
  EXPECT_EQ(s.Made(2, 3, 4)->local, CVector(0, 1, 10));
  auto quads = PolygonsOf(*sides);
  ASSERT_EQ(quads.size(), 8u);
  // (P0, C0, C1, P1) first, the closing pair (P3, C3, C0, P0) fourth.
  EXPECT_EQ(VerticesOf(*quads[0]), (std::vector<IPoint*>{s.Made(0, 0, 4), s.Made(1, 0, 4), s.Made(1, 1, 4), s.Made(0, 1, 4)}));
  EXPECT_EQ(VerticesOf(*quads[3]), (std::vector<IPoint*>{s.Made(0, 3, 4), s.Made(1, 3, 4), s.Made(1, 0, 4), s.Made(0, 0, 4)}));
  auto cap = VerticesOf(*PolygonsOf(*layers[2])[0]);
  ASSERT_EQ(cap.size(), 4u);
  EXPECT_EQ(cap[1]->local, s.Made(2, 2, 4)->local);
  EXPECT_EQ(cap[0], s.Made(3, 0, 4));
}

TEST(Extrude, ScaleActsAboutTheFormOriginAndBentSidesBecomeTriangles) {
  SourceForm square(kSquare);
  ASSERT_NE(square.form.Extrude(4, {0, 0, 8}, {3, 3, 3}, {0, 0, 0}), nullptr);
  EXPECT_EQ(square.Made(4, 2, 4)->local, CVector(3, 3, 8));
  EXPECT_EQ(square.Made(2, 2, 4)->local, CVector(2, 2, 4));
  EXPECT_EQ(LayersOf(square.form)[1]->GetPolygons().GetCount(), 16u);

  // A hexagon stretched along X: only the two sides parallel to X stay quads.
  SourceForm hexagon({{2, 0, 0}, {1, 2, 0}, {-1, 2, 0}, {-2, 0, 0}, {-1, -2, 0}, {1, -2, 0}});
  ILayer* sides = hexagon.form.Extrude(1, {0, 0, 5}, {3, 1, 1}, {0, 0, 0});
  ASSERT_NE(sides, nullptr);
  int quads = 0;
  for (IPolygon* polygon : PolygonsOf(*sides)) {
    EXPECT_TRUE(polygon->IsPlanar());
    quads += polygon->GetPointCount() == 4;
  }
  EXPECT_EQ(quads, 2);
  EXPECT_EQ(sides->GetPolygons().GetCount(), 2u + 8u);
}

TEST(Extrude, PrismsFaceOutwardForManyDivisionCounts) {
  std::mt19937 random(5150);
  std::uniform_int_distribution<int> divisions(1, 40), corners(3, 24);
  std::uniform_real_distribution<double> length(1.0, 200.0), turn(-45.0, 45.0);
  for (int round = 0; round < 30; ++round) {
    const int m = corners(random), n = divisions(random);
    IObject form;
    ILayer* first = AddLayer(form);
    IPolygon* outline = AddPolygon(*first, {});
    for (int k = 0; k < m; ++k)
      outline->AddPoint(AddPoint(form, {10 * std::cos(k * kFullTurn / m), 10 * std::sin(k * kFullTurn / m), 0}));
    first->GetPolygons().SelectItem(outline, true);
    const CVector rotation(0, 0, round % 2 ? turn(random) : 0.0);
    ASSERT_NE(form.Extrude(n, {0, 0, length(random)}, {1, 1, 1}, rotation), nullptr);
    // A twisted side is not convex: judge each by its way out from the Z axis.
    for (IPolygon* side : PolygonsOf(*LayersOf(form)[1])) {
      const CVector middle = side->GetPosition();
      ASSERT_GT(NormalOf(*side).Dot(CVector(middle.x, middle.y, 0)), 0.0) << m << " corners, " << n << " divisions";
    }
    ExpectNear(NormalOf(*PolygonsOf(*LayersOf(form)[2])[0]), CVector(0, 0, 1), 1e-9);
  }
}

TEST(Extrude, NothingToSweepAddsOnlyTheEmptyLayers) {
  SourceForm s(kSquare);
  s.first->GetPolygons().SelectItem(s.source, false);
  // Selected polygons of too few points, or in another layer, are no sources.
  auto v = VerticesOf(*s.source);
  s.first->GetPolygons().SelectItem(AddPolygon(*s.first, {v[0], v[1]}), true);
  s.first->GetPolygons().SelectItem(AddPolygon(*s.first, {}), true);
  ILayer* second = AddLayer(s.form, "Second");
  second->GetPolygons().SelectItem(AddPolygon(*second, {v[0], v[1], v[2], v[3]}), true);

  ILayer* sides = s.form.Extrude(3, {0, 0, 1}, {1, 1, 1}, {0, 0, 30});
  ASSERT_NE(sides, nullptr);
  EXPECT_EQ(s.form.GetLayers().GetCount(), 4u);
  EXPECT_TRUE(sides->GetPolygons().IsEmpty());
  EXPECT_EQ(s.form.GetPoints().GetCount(), s.before);

  // Non-finite vectors and refused counts add nothing at all.
  EXPECT_EQ(s.form.Extrude(1, {0, 0, 1}, {1, INFINITY, 1}, {0, 0, 0}), nullptr);
  EXPECT_EQ(s.form.Extrude(1001, {0, 0, 1}, {1, 1, 1}, {0, 0, 0}), nullptr);
  EXPECT_EQ(s.form.GetLayers().GetCount(), 4u);
  // Without any polygon the layers' frames do not take a mean of nothing.
  IObject bare;
  ASSERT_NE(bare.Extrude(2, {4, 0, 0}, {1, 1, 1}, {0, 0, 0}), nullptr);
  EXPECT_EQ(LayersOf(bare)[1]->GetPosition(), CVector(4, 0, 0));
}

// From the north pole down the +X side to the south pole.
const std::initializer_list<CVector> kSealedProfile = {{0, 0, 1}, {1, 0, 0.5}, {1, 0, -0.5}, {0, 0, -1}};

TEST(Lathe, SealedProfileMakesPolesAndColumns) {
  SourceForm s(kSealedProfile);
  ILayer* layer = LatheSettings{4, true}.ApplyTo(s.form);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(AddedLayerStatus(*layer), "Added Layer Lathe Group");
  // Two poles, then two swept points in each of four columns.
  ASSERT_EQ(s.form.GetPoints().GetCount(), s.before + 2 + 8);
  IPoint* north = PointsOf(s.form)[s.before];
  IPoint* south = PointsOf(s.form)[s.before + 1];
  EXPECT_EQ(north->local, CVector(0, 0, 1));
  EXPECT_EQ(south->local, CVector(0, 0, -1));
  auto c = [&](size_t i, size_t k) { return s.Made(i, k, 2, 2); };
  // Counter-clockwise seen from +Z.
  ExpectNear(c(1, 0)->local, CVector(0, 1, 0.5), 1e-11);
  ExpectNear(c(2, 1)->local, CVector(-1, 0, -0.5), 1e-11);
  // Per column: the quad, then the two pole triangles; the last closes on 0.
  auto polygons = PolygonsOf(*layer);
  ASSERT_EQ(polygons.size(), 12u);
  EXPECT_EQ(VerticesOf(*polygons[0]), (std::vector<IPoint*>{c(0, 0), c(1, 0), c(1, 1), c(0, 1)}));
  EXPECT_EQ(VerticesOf(*polygons[1]), (std::vector<IPoint*>{north, c(1, 0), c(0, 0)}));
  EXPECT_EQ(VerticesOf(*polygons[2]), (std::vector<IPoint*>{south, c(0, 1), c(1, 1)}));
  EXPECT_EQ(VerticesOf(*polygons[9])[1], c(0, 0));
}

TEST(Lathe, SealedProfilesFaceOutwardForManyDivisionCounts) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> divisions(2, 200), rows(1, 12);
  for (int round = 0; round < 30; ++round) {
    const int n = divisions(random), m = rows(random);
    IObject form;
    ILayer* first = AddLayer(form);
    // A half circle from pole to pole in the XZ plane.
    IPolygon* profile = AddPolygon(*first, {});
    for (int k = 0; k <= m + 1; ++k) {
      const double t = k * kHalfTurn / (m + 1);
      profile->AddPoint(AddPoint(form, {k == 0 || k == m + 1 ? 0.0 : 5 * std::sin(t), 0, 5 * std::cos(t)}));
    }
    first->GetPolygons().SelectItem(profile, true);
    ILayer* layer = form.Lathe(n, true);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->GetPolygons().GetCount(), size_t(n) * (m + 1));
    for (IPolygon* polygon : PolygonsOf(*layer)) {
      ASSERT_TRUE(polygon->IsPlanar());
      ASSERT_GT(NormalOf(*polygon).Dot(polygon->GetPosition()), 0.0) << n << " divisions, " << m << " rows";
    }
  }
}

TEST(Lathe, OpenProfileIsClosedRoundItsOwnLoop) {
  // A square section from radius 1 to 2, ordered to face out of its ring.
  SourceForm s({{1, 0, 0}, {1, 0, 1}, {2, 0, 1}, {2, 0, 0}});
  ILayer* layer = s.form.Lathe(6, false);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(s.form.GetPoints().GetCount(), s.before + 4 * 6);
  auto polygons = PolygonsOf(*layer);
  ASSERT_EQ(polygons.size(), 4u * 6u);
  // Column 1's closing quad: (C0, P0, P3, C3).
  EXPECT_EQ(VerticesOf(*polygons[3]), (std::vector<IPoint*>{s.Made(1, 0, 4), s.Made(0, 0, 4), s.Made(0, 3, 4), s.Made(1, 3, 4)}));
  for (IPolygon* polygon : polygons) {
    const CVector middle = polygon->GetPosition();
    const double r = std::hypot(middle.x, middle.y);
    EXPECT_GT(NormalOf(*polygon).Dot(middle - CVector(1.5 * middle.x / r, 1.5 * middle.y / r, 0.5)), 0.0);
  }
}

TEST(Lathe, NothingToSweepAddsOnlyTheEmptyLayer) {
  SourceForm s(kSealedProfile);
  // One division: every face would fold onto itself.
  ILayer* layer = s.form.Lathe(1, true);
  ASSERT_NE(layer, nullptr);
  EXPECT_TRUE(layer->GetPolygons().IsEmpty());
  const size_t points = s.form.GetPoints().GetCount();

  // Nothing selected; a sealed profile of poles alone; an open single point.
  s.first->GetPolygons().SelectItem(s.source, false);
  EXPECT_TRUE(s.form.Lathe(12, true)->GetPolygons().IsEmpty());
  SourceForm poles({{0, 0, 1}, {0, 0, -1}});
  EXPECT_TRUE(poles.form.Lathe(8, true)->GetPolygons().IsEmpty());
  SourceForm dot({{1, 0, 0}});
  EXPECT_TRUE(dot.form.Lathe(8, false)->GetPolygons().IsEmpty());
  EXPECT_EQ(s.form.GetPoints().GetCount(), points);
  EXPECT_EQ(poles.form.GetPoints().GetCount(), poles.before);
  EXPECT_EQ(IObject().Lathe(0, true), nullptr);
}

}  // namespace
}  // namespace brevoxa
