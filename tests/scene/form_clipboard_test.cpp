// Clipboard records of a form at each editing level, and what a corrupt
// record can and cannot do to the form it is pasted into.
#include <gtest/gtest.h>

#include <memory>
#include <unordered_set>

#include "form_fixtures.h"
#include "persist/archive.h"
#include "persist/file.h"
#include "support/bytes.h"

namespace brevoxa {
namespace {

using testing::AddLayer;
using testing::AddPoint;
using testing::Bytes;
using testing::LayersOf;
using testing::MakeCube;
using testing::PointsOf;
using testing::PolygonsOf;
using testing::VerticesOf;

Bytes Copy(IObject& form, int level, int& kind) {
  return testing::Store([&](CArchive& ar) { EXPECT_TRUE(form.SerializeSelection(level, ar, kind)); });
}

bool Paste(IObject& form, int level, int kind, const Bytes& bytes) {
  bool accepted = false;
  testing::Load(bytes, [&](CArchive& ar) {
    accepted = form.SerializeSelection(level, ar, kind);
    EXPECT_TRUE(ar.TakeUnownedObjects().empty());
  });
  return accepted;
}

// Every polygon uses only points its form owns.
void ExpectClosed(const IObject& form) {
  auto points = PointsOf(form);
  std::unordered_set<IPoint*> owned(points.begin(), points.end());
  for (ILayer* layer : LayersOf(form))
    for (IPolygon* polygon : PolygonsOf(*layer))
      for (IPoint* p : VerticesOf(*polygon)) EXPECT_TRUE(owned.count(p));
}

TEST(FormClipboard, PointsArePlacedInTheTargetFrame) {
  auto cube = MakeCube();
  auto points = PointsOf(*cube);
  cube->GetPoints().SelectItem(points[7], true);
  cube->GetPoints().SelectItem(points[1], true);
  int kind = 0;
  Bytes bytes = Copy(*cube, kPointLevel, kind);
  EXPECT_EQ(kind, kClipPoints);

  IObject target;
  target.GetFrame().SetPosition({0, 0, -1});
  // A record of another kind is refused unread.
  EXPECT_FALSE(Paste(target, kPointLevel, kClipPolygons, bytes));
  EXPECT_FALSE(Paste(target, 7, kClipPoints, bytes));
  target.UpdateLocalBounds();
  ASSERT_TRUE(Paste(target, kPointLevel, kClipPoints, bytes));
  auto pasted = PointsOf(target);
  ASSERT_EQ(pasted.size(), 2u);
  EXPECT_EQ(pasted[0]->local, CVector(1, 0, 0));
  EXPECT_EQ(pasted[0]->world, CVector(1, 0, -1));
  EXPECT_EQ(pasted[1]->local, CVector(1, 1, 1));
  EXPECT_FALSE(target.AreBoundsValid());
}

TEST(FormClipboard, LayerComesWithEveryPointItsPolygonsUse) {
  auto cube = MakeCube();
  ILayer* caps = LayersOf(*cube)[0];
  int kind = 0;
  Bytes bytes = Copy(*cube, kLayerLevel, kind);
  EXPECT_EQ(kind, kClipLayers);
  // Copying selected the points of the first layer.
  EXPECT_EQ(cube->GetPoints().GetSelectedCount(), 8);

  IObject target;
  target.GetFrame().SetPosition({50, 0, 0});
  ASSERT_TRUE(Paste(target, kLayerLevel, kClipLayers, bytes));
  ASSERT_EQ(target.GetLayers().GetCount(), 1u);
  ILayer* layer = target.GetFirstLayer();
  EXPECT_NE(layer, caps);
  EXPECT_EQ(layer->GetName(), "Caps");
  EXPECT_EQ(layer->GetPolygons().GetCount(), 2u);
  EXPECT_EQ(layer->GetPosition(), CVector(50, 0, 0));
  EXPECT_EQ(target.GetPoints().GetCount(), 8u);
  ExpectClosed(target);

  // Only the polygons' points travel with a polygon record.
  IObList& polygons = cube->GetFirstLayer()->GetPolygons();
  polygons.SelectItem(polygons.GetTail(), true);
  bytes = Copy(*cube, kPolygonLevel, kind);
  EXPECT_EQ(kind, kClipPolygons);
  EXPECT_EQ(cube->GetPoints().GetSelectedCount(), 4);
  ASSERT_TRUE(Paste(target, kPolygonLevel, kClipPolygons, bytes));
  EXPECT_EQ(target.GetFirstLayer()->GetPolygons().GetCount(), 3u);
  EXPECT_EQ(target.GetPoints().GetCount(), 12u);
  ExpectClosed(target);

  // Into a form without layers, a layer is made for them.
  IObject bare;
  ASSERT_TRUE(Paste(bare, kPolygonLevel, kClipPolygons, bytes));
  EXPECT_EQ(bare.GetLayers().GetCount(), 1u);
  EXPECT_EQ(bare.GetPolygonCount(), 1u);
  EXPECT_EQ(VerticesOf(*PolygonsOf(*bare.GetFirstLayer())[0])[2]->local, CVector(1, 1, 1));

  // Nothing to copy at the layer level of a form without layers.
  IObject empty;
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  EXPECT_FALSE(empty.SerializeSelection(kLayerLevel, ar, kind));
}

TEST(FormClipboard, WholeFormRecordCarriesGeometryAndMasterId) {
  auto master = MakeCube();
  auto cube = MakeCube();
  cube->SetCloneMaster(master.get());
  int kind = 0;
  Bytes bytes = Copy(*cube, kRootLevel, kind);
  EXPECT_EQ(kind, kClipItems);
  IObject pasted;
  EXPECT_FALSE(Paste(pasted, kRootLevel, kClipPoints, bytes));
  ASSERT_TRUE(Paste(pasted, kRootLevel, kClipItems, bytes));
  EXPECT_EQ(pasted.GetName(), "Cube");
  EXPECT_EQ(pasted.GetPolygonCount(), 6u);
  EXPECT_EQ(pasted.GetPosition(), CVector(10, 20, 30));
  EXPECT_FALSE(pasted.IsClone());
  EXPECT_EQ(pasted.GetMasterId(), master->GetFormId());
  ExpectClosed(pasted);
}

TEST(FormClipboard, EveryTruncatedRecordFailsAndChangesNothing) {
  auto cube = MakeCube();
  for (int level : {kRootLevel, kPointLevel, kLayerLevel, kPolygonLevel}) {
    if (level == kPolygonLevel) {
      IObList& polygons = cube->GetFirstLayer()->GetPolygons();
      polygons.SelectItem(polygons.GetHead(), true);
    }
    int kind = 0;
    Bytes bytes = Copy(*cube, level, kind);
    for (size_t n = 0; n < bytes.size(); ++n) {
      SCOPED_TRACE(::testing::PrintToString(level) + " cut at " + ::testing::PrintToString(n));
      IObject target;
      AddPoint(target, {1, 2, 3});
      Bytes cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
      EXPECT_THROW(Paste(target, level, kind, cut), CArchiveException);
      EXPECT_EQ(target.GetPoints().GetCount(), 1u);
      EXPECT_TRUE(target.GetLayers().IsEmpty());
    }
  }
}

TEST(FormClipboard, PolygonPointsOutsideTheRecordAreAdoptedOrRefused) {
  // Points written only inside a polygon: nothing in the record owns them,
  // so the form that receives the polygon takes them.
  IPoint a({1, 0, 0}), b({0, 1, 0}), c({0, 0, 1});
  IPolygon triangle;
  for (IPoint* p : {&a, &b, &c}) triangle.AddPoint(p);
  Bytes orphans = testing::Store([&](CArchive& ar) {
    ar << uint32_t{0} << uint32_t{1};
    ar.WriteObject(&triangle);
  });
  IObject target;
  ASSERT_TRUE(Paste(target, kPolygonLevel, kClipPolygons, orphans));
  EXPECT_EQ(target.GetPoints().GetCount(), 3u);
  ExpectClosed(target);

  // A point owned by something earlier in the same stream cannot become
  // the form's: the record is refused and both owners stay sound.
  Bytes foreign = testing::Store([&](CArchive& ar) {
    ar.WriteObject(&a);
    ar << uint32_t{0} << uint32_t{1};
    ar.WriteObject(&triangle);
  });
  IObject other;
  testing::Load(foreign, [&](CArchive& ar) {
    std::unique_ptr<CObject> owner(ar.ReadOwnedObject(RUNTIME_CLASS(IPoint)));
    int kind = kClipPolygons;
    try {
      other.SerializeSelection(kPolygonLevel, ar, kind);
      ADD_FAILURE() << "a foreign point was accepted";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), CArchiveException::badIndex);
    }
    EXPECT_TRUE(ar.TakeUnownedObjects().empty());
  });
  EXPECT_TRUE(other.GetPoints().IsEmpty());
  EXPECT_EQ(other.GetPolygonCount(), 0u);
}

}  // namespace
}  // namespace brevoxa
