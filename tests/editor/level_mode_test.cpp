// Editing level, mode, drag restriction, curved drag, the end of an add sequence.
#include <cmath>
#include <numbers>

#include "editing_fixture.h"
#include "math/view_tran.h"

namespace brevoxa::testing {
namespace {

using LevelMode = EditingTest;

TEST_F(LevelMode, RootToPointKeepsOnlyTheFirstSelectedForm) {
  IObject* a = AddForm("A");
  Select({AddForm("C"), AddForm("B"), a});  // a ends up first
  Forget();
  doc.SetLevel(kPointLevel);
  EXPECT_EQ(doc.GetSelectedItems(), std::vector<IRoot*>{a});
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintEraseLevelHandles, nullptr}, {kHintDrawLevelHandles, nullptr}}));
  EXPECT_EQ(ui.LastStatus(), "Changed to Point level");
  EXPECT_FALSE(doc.GetObjectList().IsEnabled());
  doc.SetLevel(kRootLevel);
  EXPECT_EQ(ui.LastStatus(), "Changed to Form level");
  EXPECT_TRUE(doc.GetObjectList().IsEnabled());
}

TEST_F(LevelMode, ModeChangesRedrawOnlyBetweenGroupsAndKeepTheForm) {
  IObject* form = AddForm("A", {5, 0, 0});
  Select({form});
  doc.SetMode(kSelectMode);  // from Add: a plain choice of Select is obeyed
  Forget();
  doc.SetMode(kScaleMode);
  EXPECT_EQ(ui.LastStatus(), "Entered scale mode");
  EXPECT_EQ(view.HintsFor(form), (std::vector<int>{kHintErase, kHintEraseHandle, kHintDraw, kHintDrawHandle}));
  Forget();
  doc.SetMode(kRotateMode);
  doc.SetMode(kMoveMode);
  EXPECT_EQ(ui.LastStatus(), "Entered move mode");
  EXPECT_TRUE(view.HintsFor(form).empty());
  EXPECT_EQ(form->GetPosition(), CVector(5, 0, 0));
  // A level change leaves transforms: Move becomes Select, Add stays.
  doc.SetLevel(kPointLevel);
  EXPECT_EQ(doc.GetMode(), kSelectMode);
  // Transforms of points opened and closed leave them in place.
  doc.SelectAll();
  const CVector before = static_cast<IPoint*>(form->GetPoints().GetTail())->world;
  for (int mode : {kScaleMode, kRotateMode, kMoveMode, kAddMode}) doc.SetMode(mode);
  EXPECT_EQ(static_cast<IPoint*>(form->GetPoints().GetTail())->world, before);
  doc.SetLevel(kRootLevel);
  EXPECT_EQ(doc.GetMode(), kAddMode);
}

TEST_F(LevelMode, RestrictionAndCurvedDrag) {
  doc.SetRestriction(kVerticalOnly);
  doc.SetRestriction(7);
  EXPECT_TRUE(IsChecked(doc, Command::verticalOnly));
  // Linear: half way at half the radius, nothing beyond it; bell the cosine.
  dialogs.curvedDrag.answer = CurvedDragSettings{CurvedDragType::linear, 50.0, 1.0};
  doc.CurvedDrag();
  EXPECT_EQ(ui.LastStatus(), "Curved drag enabled");
  EXPECT_DOUBLE_EQ(doc.GetCurvedDrag().Weight(25.0), 0.5);
  EXPECT_EQ(doc.GetCurvedDrag().Weight(60.0), 0.0);
  dialogs.curvedDrag.answer = CurvedDragSettings{CurvedDragType::bell, 50.0, 1.0};
  Forget();
  doc.CurvedDrag();
  EXPECT_TRUE(ui.StatusTexts().empty());  // enabled to enabled says nothing
  EXPECT_NEAR(doc.GetCurvedDrag().Weight(12.5), (std::cos(std::numbers::pi * 1.75) + 1) / 2, 1e-12);
  // A radius of 0 stays finite: only the grabbed element follows.
  CurvedDragSettings zero{CurvedDragType::exponential, 0.0, 2.0};
  EXPECT_EQ(zero.Weight(0.0), 1.0);
  EXPECT_EQ(zero.Weight(0.5), 0.0);
}

TEST_F(LevelMode, EndAddSequenceValidatesThePendingElement) {
  IObject* form = AddForm("A");
  Select({form});
  doc.SetLevel(kLayerLevel);
  doc.SelectAll();
  doc.SetLevel(kPolygonLevel);
  IViewTran top;
  top.SetViewType(IViewTran::top);
  top.SetClientRect(0, 0, 100, 100);
  // Two far-apart clicks make a polygon of two points: not planar.
  IDrawable* polygon = doc.AddElementAt({200, 0, 0}, top);
  ASSERT_EQ(doc.AddElementAt({300, 0, 0}, top), polygon);
  const size_t polygons = form->GetPolygonCount();
  Forget();
  doc.EndAddSequence();
  EXPECT_EQ(view.cancelledGestures, 1);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Polygon must be planar."});
  EXPECT_EQ(view.HintsFor(polygon), (std::vector<int>{kHintErase, kHintEraseHandle}));
  EXPECT_EQ(form->GetPolygonCount(), polygons - 1);
  // A point is always accepted and drawn again.
  doc.SetLevel(kPointLevel);
  IDrawable* point = doc.AddElementAt({1, 2, 0}, top);
  Forget();
  doc.EndAddSequence();
  EXPECT_EQ(view.HintsFor(point), std::vector<int>{kHintDraw});
  EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
}  // namespace brevoxa::testing
