// The primitive generators: known shapes, outward normals over many
// division counts, the dialogs' values and size limit, and forms large
// enough to need the stream's big indices.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <unordered_map>

#include "form_fixtures.h"
#include "persist/archive.h"
#include "persist/object_store.h"
#include "scene/generator_settings.h"
#include "scene/generators.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

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

// --- Known shapes ---

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
  ExpectNear(NormalOf(*polygons[0]), CVector(0, 0, -1), 1e-12);
  for (IPoint* rim : VerticesOf(*polygons[0]))
    for (size_t f = 1; f < 5; ++f) EXPECT_FALSE(polygons[f]->UsesPoint(rim));
}

TEST(Primitives, DisksWithAndWithoutACentre) {
  IObject form;
  ILayer* ring = form.AddDisk(2, 8, false);
  ASSERT_NE(ring, nullptr);
  EXPECT_EQ(AddedLayerStatus(*ring), "Added Layer Disk Group");
  ASSERT_EQ(ring->GetPolygons().GetCount(), 1u);
  auto rim = VerticesOf(*PolygonsOf(*ring)[0]);
  ASSERT_EQ(rim.size(), 8u);
  // From +Y clockwise seen from +Z.
  ExpectNear(rim[0]->local, CVector(0, 2, 0));
  ExpectNear(rim[2]->local, CVector(2, 0, 0), 1e-11);
  ExpectNear(NormalOf(*PolygonsOf(*ring)[0]), CVector(0, 0, 1), 1e-12);

  // With a centre point: a flat cone, named like one.
  ILayer* fan = form.AddDisk(2, 6, true);
  ASSERT_NE(fan, nullptr);
  EXPECT_EQ(AddedLayerStatus(*fan), "Added Layer Cone Group");
  EXPECT_EQ(form.GetPoints().GetCount(), 8u + 7u);
  IPoint* centre = PointsOf(form)[8];
  EXPECT_EQ(centre->local, CVector(0, 0, 0));
  ASSERT_EQ(fan->GetPolygons().GetCount(), 6u);
  for (IPolygon* triangle : PolygonsOf(*fan)) {
    EXPECT_EQ(VerticesOf(*triangle)[0], centre);
    ExpectNear(NormalOf(*triangle), CVector(0, 0, 1), 1e-12);
  }
}

TEST(Primitives, CylinderCapsAndSides) {
  IObject form;
  ILayer* layer = form.AddCylinder(1, 2, 3, 5, true, true);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->GetName(), "Cylinder Group");
  EXPECT_EQ(form.GetPoints().GetCount(), 20u);
  auto polygons = PolygonsOf(*layer);
  ASSERT_EQ(polygons.size(), 7u);
  // Bottom, then top T'0, T'4, T'3, T'2, T'1.
  ExpectNear(NormalOf(*polygons[0]), CVector(0, 0, -1), 1e-12);
  auto top = VerticesOf(*polygons[1]);
  ASSERT_EQ(top.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    const double a = ((5 - i) % 5) * kFullTurn / 5;
    ExpectNear(top[i]->local, CVector(std::cos(a), std::sin(a), 3), 1e-12);
  }
  // Sides (T0, T1, B1, B0) ... closing (T4, T0, B0, B4).
  auto side = VerticesOf(*polygons[2]);
  ExpectNear(side[0]->local, CVector(1, 0, 3));
  ExpectNear(side[3]->local, CVector(2, 0, 0));
  auto closing = VerticesOf(*polygons[6]);
  EXPECT_EQ(closing[1], side[0]);
  EXPECT_EQ(closing[2], side[3]);

  IObject open;
  EXPECT_EQ(open.AddCylinder(1, 1, 1, 5, false, false)->GetPolygons().GetCount(), 5u);
  EXPECT_EQ(open.GetPoints().GetCount(), 10u);
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
  int triangles = 0;
  for (IPolygon* polygon : polygons) triangles += polygon->GetPointCount() == 3;
  EXPECT_EQ(triangles, 8);
  // Per column (N, C1, P1), (P1, C1, C2, P2), (S, P2, C2); the last column
  // closes onto column 0.
  EXPECT_EQ(VerticesOf(*polygons[0]), (std::vector<IPoint*>{p[0], p[4], p[2]}));
  EXPECT_EQ(VerticesOf(*polygons[2]), (std::vector<IPoint*>{p[1], p[3], p[5]}));
  EXPECT_EQ(VerticesOf(*polygons[9])[1], p[2]);
}

TEST(Primitives, TwoByTwoPlane) {
  IObject form;
  ILayer* layer = form.AddPlane(2, 2, 2, 2);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->GetName(), "Plane Group");
  auto p = PointsOf(form);
  ASSERT_EQ(p.size(), 9u);
  EXPECT_EQ(p.front()->local, CVector(-1, -1, 0));
  EXPECT_EQ(p.back()->local, CVector(1, 1, 0));
  auto quads = PolygonsOf(*layer);
  ASSERT_EQ(quads.size(), 4u);
  // (Q(1,1), Q(1,0), Q(0,0), Q(0,1)), with points stored column by column.
  EXPECT_EQ(VerticesOf(*quads[0]), (std::vector<IPoint*>{p[4], p[3], p[0], p[1]}));
  for (IPolygon* quad : quads) ExpectNear(NormalOf(*quad), CVector(0, 0, 1), 1e-12);
}

TEST(Primitives, NewLayersAreAppendedInTheFormFrame) {
  IObject form;
  form.GetFrame().SetPosition({10, 20, 30});
  form.GetFrame().SetRotation({0, 0, 90});
  form.GetFrame().SetScale({2, 2, 2});
  ILayer* plane = form.AddPlane(2, 2, 1, 1);
  form.UpdateLocalBounds();
  ILayer* sphere = form.AddSphere(1, 3, 3);
  EXPECT_FALSE(form.AreBoundsValid());
  EXPECT_EQ(LayersOf(form), (std::vector<ILayer*>{plane, sphere}));
  EXPECT_EQ(sphere->GetPosition(), CVector(10, 20, 30));
  EXPECT_EQ(sphere->GetScale(), CVector(2, 2, 2));
  // The north pole, local (0, 0, 1), sits two units above the frame.
  ExpectNear(PointsOf(form)[4]->world, CVector(10, 20, 32));
}

// --- Outward normals ---

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

// --- Dialog values ---

TEST(GeneratorSettings, DefaultsAreAcceptedAndMakeWhatTheyCount) {
  // The sweeps' defaults are a new workspace's.
  EXPECT_EQ(ExtrudeSettings{}, (ExtrudeSettings{1, {-50, 0, 0}, {1, 1, 1}, {0, 0, 0}}));
  EXPECT_EQ(LatheSettings{}, (LatheSettings{12, true}));
  auto made = [](const auto& definition) {
    EXPECT_FALSE(definition.Check());
    IObject form;
    EXPECT_NE(definition.AddTo(form), nullptr);
    EXPECT_EQ(form.GetPoints().GetCount() + form.GetPolygonCount(), definition.ElementCount());
  };
  made(DiskDefinition{});
  made(DiskDefinition{3, 7, true});
  made(ConeDefinition{});
  made(ConeDefinition{1, 1, 5, false});
  made(CylinderDefinition{});
  made(CylinderDefinition{1, 1, 1, 9, false, true});
  made(SphereDefinition{});
  made(PlaneDefinition{});
}

TEST(GeneratorSettings, RefusedValuesGiveTheRangeMessageAndAddNothing) {
  const std::string number = "Please enter a number between 0.1 and 30000.";
  const std::string divisions = "Please enter an integer between 3 and 30000.";
  const std::string sweep = "Please enter an integer between 1 and 1000.";
  EXPECT_EQ(DiskDefinition({0.09, 12, false}).Check(), number);
  EXPECT_EQ(DiskDefinition({50, 2, false}).Check(), divisions);
  // Radius before divisions, as the dialog's fields run.
  EXPECT_EQ(ConeDefinition({0, 100, 1, true}).Check(), number);
  EXPECT_EQ(CylinderDefinition({50, 50, 100, 30001, true, true}).Check(), divisions);
  EXPECT_EQ(SphereDefinition({std::nan(""), 12, 12}).Check(), number);
  EXPECT_EQ(PlaneDefinition({0.0009, 1, 1, 1}).Check(), "Please enter a number between 0.001 and 30000.");
  EXPECT_EQ(PlaneDefinition({1, 1, 1, 1001}).Check(), sweep);
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
  EXPECT_TRUE(form.GetLayers().IsEmpty());
  EXPECT_TRUE(form.GetPoints().IsEmpty());
}

TEST(GeneratorSettings, ShapesTooLargeToHoldAreRefused) {
  // Every field is within range, but that would be nearly two billion
  // elements.
  SphereDefinition huge{50, 30000, 30000};
  EXPECT_EQ(huge.Check(),
            "The new layer would have too many points and polygons; at most 8000000 can be made at once.");
  IObject form;
  EXPECT_EQ(huge.AddTo(form), nullptr);
  EXPECT_TRUE(form.GetLayers().IsEmpty());
  EXPECT_FALSE(SphereDefinition({1, 2000, 2000}).Check());
  EXPECT_TRUE(SphereDefinition({1, 2001, 2000}).Check());
  EXPECT_FALSE(CylinderDefinition({1, 1, 1, 30000, true, true}).Check());
}

// --- Forms past the small indices ---

class LargeForms : public ::testing::Test {
 protected:
  LargeForms() : store_(dir_.path().string()), scopedUi_(ui_) {}

  // Saved and loaded as a workspace does (the body in its form file); the
  // same points, and every polygon naming them at the same places.
  void ExpectRoundTrip(IObject& form) {
    ASSERT_GT(form.GetPoints().GetCount() + form.GetPolygonCount(), CArchive::kMaxSmallIndex);
    form.SetFileName("BIG.FRM");
    testing::Bytes header = testing::Store([&](CArchive& ar) { form.Serialize(ar); });
    IObject loaded;
    testing::Load(header, [&](CArchive& ar) { loaded.Serialize(ar); });
    EXPECT_TRUE(ui_.Messages().empty());
    auto pa = PointsOf(form), pb = PointsOf(loaded);
    ASSERT_EQ(pa.size(), pb.size());
    std::unordered_map<const IPoint*, size_t> index;
    for (size_t i = 0; i < pb.size(); ++i) {
      ASSERT_EQ(pa[i]->local, pb[i]->local);
      index[pb[i]] = i;
    }
    auto fa = PolygonsOf(*form.GetFirstLayer()), fb = PolygonsOf(*loaded.GetFirstLayer());
    ASSERT_EQ(fa.size(), fb.size());
    for (size_t f = 0; f < fa.size(); ++f) {
      auto va = VerticesOf(*fa[f]), vb = VerticesOf(*fb[f]);
      ASSERT_EQ(va.size(), vb.size());
      for (size_t k = 0; k < va.size(); ++k) ASSERT_EQ(pa[index.at(vb[k])], va[k]) << "polygon " << f;
    }
  }

  testing::TempDir dir_;
  ScopedObjectStore store_;
  RecordingUi ui_;
  ScopedUserInterface scopedUi_;
};

// 1000 x 1000 is left to the benchmarks.
TEST_F(LargeForms, SphereSavesAndLoadsBackEqual) {
  IObject form;
  ASSERT_NE(form.AddSphere(10, 130, 130), nullptr);
  EXPECT_EQ(form.GetPoints().GetCount(), 2u + 130u * 129u);
  ExpectRoundTrip(form);
}

TEST_F(LargeForms, PlaneSavesAndLoadsBackEqual) {
  IObject form;
  ASSERT_NE(form.AddPlane(100, 50, 200, 90), nullptr);
  EXPECT_EQ(form.GetPoints().GetCount(), 201u * 91u);
  ExpectRoundTrip(form);
}

}  // namespace
}  // namespace brevoxa
