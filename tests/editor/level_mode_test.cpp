// Editing level, mode, drag restriction, curved drag and the end of an add
// sequence.
#include <cmath>
#include <numbers>

#include "editing_fixture.h"
#include "math/view_tran.h"

namespace brevoxa::testing {
namespace {

using LevelMode = EditingTest;

TEST_F(LevelMode, RootToPointKeepsOnlyTheFirstSelectedForm) {
  IObject* a = AddForm("A");
  IObject* b = AddForm("B");
  IObject* c = AddForm("C");
  Select({c, b, a});  // a ends up first
  Forget();
  doc.SetLevel(kPointLevel);
  EXPECT_EQ(doc.GetSelectedItems(), std::vector<IRoot*>{a});
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintEraseLevelHandles, nullptr}, {kHintDrawLevelHandles, nullptr}}));
  EXPECT_EQ(ui.LastStatus(), "Changed to Point level");
  EXPECT_FALSE(doc.GetObjectList().IsEnabled());
  EXPECT_FALSE(doc.GetObjectList().GetEntries()[1].selected);
  EXPECT_TRUE(doc.IsModified());
  doc.SetLevel(kRootLevel);
  EXPECT_EQ(ui.LastStatus(), "Changed to Form level");
  EXPECT_TRUE(doc.GetObjectList().IsEnabled());
  EXPECT_FALSE(b->IsSelected() || c->IsSelected());
}

TEST_F(LevelMode, LevelsTheFirstSelectedItemRefusesAreIgnored) {
  IObject* clone = AddClone(*AddForm("M"), "Copy");
  ICamera* camera = AddCamera("Cam");
  Select({clone});
  Forget();
  EXPECT_FALSE(IsEnabled(doc, Command::pointLevel));
  doc.SetLevel(kPointLevel);
  SelectOnly({camera});
  doc.SetLevel(kLayerLevel);
  EXPECT_EQ(doc.GetLevel(), kRootLevel);
  EXPECT_TRUE(ui.StatusTexts().empty());
  EXPECT_TRUE(view.hints.empty());
}

TEST_F(LevelMode, ModeChangesRedrawOnlyBetweenGroupsAndKeepTheForm) {
  IObject* form = AddForm("A", {5, 0, 0});
  Select({form});
  doc.SetMode(kSelectMode);  // from Add: a plain choice of Select is obeyed
  EXPECT_EQ(ui.StatusTexts(), std::vector<std::string>{"Entered select mode"});
  Forget();
  doc.SetMode(kScaleMode);
  EXPECT_EQ(ui.LastStatus(), "Entered scale mode");
  EXPECT_EQ(view.HintsFor(form), (std::vector<int>{kHintErase, kHintEraseHandle, kHintDraw, kHintDrawHandle}));
  EXPECT_EQ(view.cursorChanges, 1);
  Forget();
  doc.SetMode(kRotateMode);
  doc.SetMode(kMoveMode);
  EXPECT_EQ(ui.LastStatus(), "Entered move mode");
  EXPECT_TRUE(view.HintsFor(form).empty());
  EXPECT_EQ(form->GetPosition(), CVector(5, 0, 0));
  EXPECT_EQ(form->GetFrame().GetScale(), CVector(1, 1, 1));
  // A level change leaves transforms: Move becomes Select, Add stays.
  doc.SetLevel(kPointLevel);
  EXPECT_EQ(doc.GetMode(), kSelectMode);
  doc.SetMode(kAddMode);
  doc.SetLevel(kRootLevel);
  EXPECT_EQ(doc.GetMode(), kAddMode);
}

TEST_F(LevelMode, TransformsAtThePointLevelKeepPointsInPlace) {
  IObject* form = AddForm("A", {0, 0, 3});
  Select({form});
  doc.SetLevel(kPointLevel);
  doc.SelectAll();
  auto worlds = [form] {
    std::vector<CVector> w;
    for (IDrawable* p : form->GetPoints()) w.push_back(static_cast<IPoint*>(p)->world);
    return w;
  };
  const std::vector<CVector> before = worlds();
  for (int mode : {kScaleMode, kRotateMode, kMoveMode, kSelectMode}) doc.SetMode(mode);
  EXPECT_EQ(worlds(), before);
}

TEST_F(LevelMode, RestrictionAndCurvedDrag) {
  doc.SetRestriction(kVerticalOnly);
  doc.SetRestriction(7);
  EXPECT_TRUE(IsChecked(doc, Command::verticalOnly));
  doc.CurvedDrag();  // Cancel keeps the old values
  EXPECT_FALSE(IsChecked(doc, Command::curvedDrag));
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
  dialogs.curvedDrag.answer = CurvedDragSettings{CurvedDragType::disable, 50.0, 1.0};
  doc.CurvedDrag();
  EXPECT_EQ(doc.GetCurvedDrag().Weight(1000.0), 1.0);
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
  ASSERT_NE(polygon, nullptr);
  EXPECT_EQ(doc.AddElementAt({300, 0, 0}, top), polygon);
  const size_t polygons = form->GetPolygonCount();
  Forget();
  doc.EndAddSequence();
  EXPECT_EQ(view.cancelledGestures, 1);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Polygon must be planar."});
  EXPECT_EQ(view.HintsFor(polygon), (std::vector<int>{kHintErase, kHintEraseHandle}));
  EXPECT_EQ(form->GetPolygonCount(), polygons - 1);
  EXPECT_EQ(doc.GetPendingElement(), nullptr);
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
