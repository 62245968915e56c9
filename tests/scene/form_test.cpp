// Forms: normals and bounds, the editing operations, clones and copies.
#include "scene/form_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "form_fixtures.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddLayer;
using testing::AddPoint;
using testing::AddPolygon;
using testing::ExpectNear;
using testing::LayersOf;
using testing::MakeCube;
using testing::PointsOf;
using testing::PolygonsOf;
using testing::VerticesOf;

using PointSet = std::unordered_set<IPoint*>;
PointSet SetOf(const IObject& form) {
  auto points = PointsOf(form);
  return PointSet(points.begin(), points.end());
}

void ExpectWorldFollowsLocal(const IObject& form) {
  for (const IPoint* p : PointsOf(form)) ExpectNear(p->world, form.GetFrame().LocalToWorld(p->local));
}

TEST(FormGeometry, VertexNormalsAndBounds) {
  IObject form;
  IPoint* p[4] = {AddPoint(form, {0, 0, 0}), AddPoint(form, {1, 0, 0}), AddPoint(form, {0, 1, 0}),
                  AddPoint(form, {0, 0, 1})};
  AddPolygon(*AddLayer(form), {p[0], p[1], p[2]});  // facing -Z
  AddPolygon(*AddLayer(form), {p[0], p[3], p[1]});  // facing -Y
  form.ComputeNormals();
  const double h = std::sqrt(0.5);
  ExpectNear(p[0]->normal, {0, -h, -h});
  ExpectNear(p[2]->normal, {0, 0, -1});
  ExpectNear(p[3]->normal, {0, -1, 0});

  // The cube is scaled by 2, turned 90 degrees about Z and moved.
  auto cube = MakeCube();
  cube->UpdateBounds();
  ExpectNear(cube->GetWorldBounds().min, {8, 20, 30});
  ExpectNear(cube->GetWorldBounds().max, {10, 22, 32});
}

TEST(FormAdding, NewElementsTakeTheFrameOriginsDepth) {
  IObject form;
  form.GetFrame().SetPosition({0, 0, 7});
  IViewTran view;
  testing::SetUpParallel(view, IViewTran::top);
  IPolygon* building = nullptr;

  auto* point = static_cast<IPoint*>(form.AddElementAt({3, 4, 100}, kPointLevel, building, view));
  EXPECT_EQ(point->world, CVector(3, 4, 7));
  EXPECT_EQ(point->local, CVector(3, 4, 0));

  // A new layer keeps its place when the form's frame moves.
  auto* layer = static_cast<ILayer*>(form.AddElementAt({1, 1, 1}, kLayerLevel, building, view));
  EXPECT_EQ(layer->GetPosition(), CVector(1, 1, 7));
  form.GetFrame().SetPosition({0, 0, 8});
  form.UpdateWorldGeometry();
  EXPECT_EQ(layer->GetPosition(), CVector(1, 1, 8));

  // A click within three pixels of a point uses it; elsewhere a new one.
  EXPECT_EQ(form.AddElementAt({3.5, 4.5, 0}, kPolygonLevel, building, view), building);
  ASSERT_NE(building, nullptr);
  form.AddElementAt({10, 0, 0}, kPolygonLevel, building, view);
  EXPECT_EQ(VerticesOf(*building)[0], point);
  EXPECT_EQ(building->GetPointCount(), 2u);
  EXPECT_EQ(form.GetPoints().GetCount(), 2u);

  // Front view: the depth is x; a form without layers gets one.
  IObject front;
  front.GetFrame().SetPosition({5, 0, 0});
  testing::SetUpParallel(view, IViewTran::front);
  IPolygon* none = nullptr;
  front.AddElementAt({1, 2, 3}, kPolygonLevel, none, view);
  EXPECT_EQ(PointsOf(front).at(0)->world, CVector(5, 2, 3));
  EXPECT_EQ(front.GetLayers().GetCount(), 1u);
}

TEST(FormDetach, EachLevelMovesItsSelectionOutWithTheCounts) {
  auto cube = MakeCube();
  auto points = PointsOf(*cube);
  ILayer* sides = LayersOf(*cube)[1];
  cube->GetPoints().SelectItem(points[0], true);
  sides->GetPolygons().SelectItem(PolygonsOf(*sides)[0], true);  // uses point 0
  IObList taken;
  cube->DetachSelection(kPointLevel, taken);
  // Point 0 stands in one cap and two sides; they leave before it.
  ASSERT_EQ(taken.GetCount(), 4u);
  EXPECT_EQ(taken.GetTail(), points[0]);
  EXPECT_EQ(taken.GetSelectedCount(), 2);
  EXPECT_EQ(sides->GetPolygons().GetCount(), 2u);
  EXPECT_EQ(cube->GetFirstLayer()->GetPolygons().GetCount(), 1u);
  taken.DeleteAll();
}

TEST(FormDrag, EndsKeepLocalAndWorldInStep) {
  auto cube = MakeCube();
  // Level 0: only the frame moves while dragging; the end moves the rest.
  const CVector before = PointsOf(*cube)[0]->world;
  cube->MoveElement(kRootLevel, cube->GetFrame(), {0, 0, 0}, 7);
  EXPECT_EQ(PointsOf(*cube)[0]->world, before);
  cube->EndMoveElement(kRootLevel, cube->GetFrame(), {1, 1, 1}, 1);
  cube->EndRotateElement(kRootLevel, *cube, {0, 0, 0}, 1);
  cube->EndScaleElement(kRootLevel, cube->GetFrame(), {1, 1, 1}, 1);
  ExpectNear(PointsOf(*cube)[1]->world, {2, 1, 1});
  ExpectNear(LayersOf(*cube)[0]->GetPosition(), {1, 1, 1});
  ExpectWorldFollowsLocal(*cube);

  // Level 1: the point's local position follows; its polygons are marked.
  IPoint* p = PointsOf(*cube)[7];
  cube->EndMoveElement(kPointLevel, *p, {1, 1, 1}, 1);
  EXPECT_EQ(p->local, CVector(0, 0, 0));
  int marked = 0;
  for (ILayer* layer : LayersOf(*cube))
    for (IPolygon* polygon : PolygonsOf(*layer)) marked += polygon->IsMarked();
  EXPECT_EQ(marked, 3);
  // A point's scale slot is its local position.
  cube->EndScaleElement(kPointLevel, *p, {1, 0, 0}, 1);
  ExpectNear(p->world, {2, 1, 1});
  ExpectWorldFollowsLocal(*cube);
}

TEST(FormValidate, NonPlanarPolygonsLeaveTheFirstLayer) {
  RecordingUi ui;
  ScopedUserInterface scoped(ui);
  auto cube = MakeCube();
  ILayer* caps = cube->GetFirstLayer();
  EXPECT_TRUE(cube->ValidateElement(kPolygonLevel, *PolygonsOf(*caps)[0]));
  auto points = PointsOf(*cube);
  std::unique_ptr<IPolygon> bent(AddPolygon(*caps, {points[0], points[1], points[2], points[7]}));
  caps->GetPolygons().SelectItem(bent.get(), true);
  EXPECT_TRUE(cube->ValidateElement(kPointLevel, *bent));
  EXPECT_FALSE(cube->ValidateElement(kPolygonLevel, *bent));
  EXPECT_EQ(ui.Messages(), (std::vector<std::string>{"Polygon must be planar."}));
  EXPECT_EQ(caps->GetPolygons().GetCount(), 2u);
  EXPECT_EQ(caps->GetPolygons().GetSelectedCount(), 0);
}

TEST(FormWeld, SelectedPointsWithinTheToleranceBecomeOne) {
  IObject form;
  IPoint* a = AddPoint(form, {0, 0, 0});
  IPoint* b = AddPoint(form, {0.6e-5, 0, 0});
  IPoint* c = AddPoint(form, {1.2e-5, 0, 0});   // near b only: stays
  IPoint* d = AddPoint(form, {0, 0, 0.99e-5});  // near a
  IPoint* e = AddPoint(form, {0, 0, 0});        // not selected
  IPoint* f = AddPoint(form, {5, 5, 5});
  ILayer* layer = AddLayer(form);
  IPolygon* triangle = AddPolygon(*layer, {a, c, f});
  IPolygon* quad = AddPolygon(*layer, {b, d, f, e});
  IPolygon* seam = AddPolygon(*layer, {d, c, f, a});
  // Each selected point moves to the head: the list becomes a, b, c, d, f, e.
  for (IPoint* p : {f, d, c, b, a}) form.GetPoints().SelectItem(p, true);
  form.WeldPoints(kPointLevel);
  EXPECT_EQ(SetOf(form), (PointSet{a, c, e, f}));
  EXPECT_EQ(form.GetPoints().GetSelectedCount(), 3);
  EXPECT_EQ(VerticesOf(*triangle), (std::vector<IPoint*>{a, c, f}));
  // Welded neighbours and a polygon closing on itself lose the repeat.
  EXPECT_EQ(VerticesOf(*quad), (std::vector<IPoint*>{a, f, e}));
  EXPECT_EQ(VerticesOf(*seam), (std::vector<IPoint*>{a, c, f}));
}

TEST(FormJoin, GeometryMovesIntoTheOtherFrameUnchangedInTheWorld) {
  auto cube = MakeCube();
  IObject target;
  target.GetFrame().SetPosition({-5, 0, 0});
  target.GetFrame().SetRotation({30, 0, 0});
  AddPoint(target, {1, 2, 3});
  std::vector<CVector> worlds;
  for (IPoint* p : PointsOf(*cube)) worlds.push_back(p->world);
  const CVector layerWorld = LayersOf(*cube)[1]->GetPosition();
  cube->GetPoints().SelectItem(PointsOf(*cube)[0], true);

  cube->Join(kRootLevel, target);
  EXPECT_TRUE(cube->GetPoints().IsEmpty());
  EXPECT_TRUE(cube->GetLayers().IsEmpty());
  ASSERT_EQ(target.GetPoints().GetCount(), 9u);
  EXPECT_EQ(target.GetPoints().GetSelectedCount(), 0);
  auto moved = PointsOf(target);
  for (size_t i = 0; i < worlds.size(); ++i) ExpectNear(moved[i + 1]->world, worlds[i]);
  ExpectWorldFollowsLocal(target);
  // The layers keep their place when the target's frame is applied again.
  target.UpdateWorldGeometry();
  ExpectNear(LayersOf(target)[1]->GetPosition(), layerWorld);
}

TEST(FormClones, RefreshFromTheMasterAndCopiesOfAClone) {
  auto master = MakeCube();
  IObject clone;
  clone.SetName("Twin");
  clone.GetFrame().SetPosition({100, 0, 0});
  AddPoint(clone, {5, 5, 5});
  clone.SetCloneMaster(master.get());
  clone.UpdateFromMaster();
  EXPECT_EQ(clone.GetName(), "Twin");
  EXPECT_EQ(clone.GetPoints().GetCount(), 8u);
  ExpectNear(PointsOf(clone)[7]->world, {101, 1, 1});

  // A copy of a clone keeps only the master's id, never a pointer.
  std::unique_ptr<IRoot> copy = clone.Duplicate();
  auto* form = static_cast<IObject*>(copy.get());
  EXPECT_FALSE(form->IsClone());
  EXPECT_EQ(form->GetMasterId(), master->GetFormId());
  EXPECT_EQ(form->GetPoints().GetCount(), 8u);
  form->SetCloneMaster(master.get());
  EXPECT_EQ(form->GetMasterId(), 0u);
  form->SetCloneMaster(form);
  EXPECT_FALSE(form->IsClone());
}

}  // namespace
}  // namespace brevoxa
