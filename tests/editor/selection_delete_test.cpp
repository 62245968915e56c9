// Select all, invert, select all components, the object list, and delete
// at every level with the question for masters of clones.
#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using SelectionDelete = EditingTest;

const char kMasterQuestion[] =
    "Form is a master of clones.  Deleting this object will delete all clones.  Ok to delete?";

TEST_F(SelectionDelete, SelectAllAndInvertAtRootFollowTheObjectList) {
  IObject* a = AddForm("A");
  ICamera* cam = AddCamera("Cam");
  ILight* lamp = AddLight("Lamp");
  Select({cam});
  Forget();
  doc.SelectAll();
  EXPECT_EQ(doc.GetItems().GetSelectedCount(), 3);
  EXPECT_EQ(view.Count(kHintDrawHandle), 3);
  EXPECT_EQ(ui.LastStatus(), "Selected all");
  for (const auto& entry : doc.GetObjectList().GetEntries()) EXPECT_TRUE(entry.selected);

  doc.GetItems().SelectItem(lamp, false);
  doc.InvertSelection();
  EXPECT_EQ(ui.LastStatus(), "Selection Inverted");
  EXPECT_EQ(doc.GetSelectedItems(), std::vector<IRoot*>{lamp});
  EXPECT_EQ(doc.GetItems().GetHead(), lamp);
  EXPECT_FALSE(a->IsSelected());
  EXPECT_EQ(doc.GetObjectList().Names(), (std::vector<std::string>{"A", "Cam", "Lamp"}));
  EXPECT_EQ(doc.GetObjectList().GetEntries()[2].selected, true);

  // Picking in the list selects the item and draws its handle.
  Forget();
  doc.SelectFromList(0, true);
  EXPECT_TRUE(a->IsSelected());
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintDrawHandle, a}}));
  doc.SetLevel(kPointLevel);  // a is first: the list is now disabled
  doc.SelectFromList(1, true);
  EXPECT_FALSE(cam->IsSelected());
}

TEST_F(SelectionDelete, SubLevelSelectionAndComponents) {
  IObject* form = AddForm("A");
  AddSquare(*form, "Upper", 5.0);
  Select({form});
  doc.SetLevel(kLayerLevel);
  EXPECT_FALSE(IsEnabled(doc, Command::selectAllComponents));
  doc.InvertSelection();
  EXPECT_EQ(form->GetLayers().GetSelectedCount(), 2);
  doc.SetLevel(kPolygonLevel);
  EXPECT_EQ(form->GetLayers().GetSelectedCount(), 1);  // only the first kept
  doc.SelectAll();
  ASSERT_TRUE(IsEnabled(doc, Command::selectAllComponents));
  doc.SelectAllComponents();
  // The four points of the first layer's square, not the upper ones.
  EXPECT_EQ(form->GetPoints().GetSelectedCount(), 4);
  EXPECT_EQ(ui.LastStatus(), "Selected all componet sub-parts of the selection");
}

TEST_F(SelectionDelete, DeleteAtSubLevelsErasesWhatLeaves) {
  IObject* form = AddForm("A");
  Select({form});
  doc.SetLevel(kPointLevel);
  IDrawable* point = form->GetPoints().GetHead();
  form->GetPoints().SelectItem(point, true);
  Forget();
  doc.Delete();
  // The point and the polygon that used it, each erased.
  EXPECT_EQ(view.Count(kHintErase), 2);
  EXPECT_EQ(view.Count(kHintEraseHandle), 2);
  EXPECT_EQ(form->GetPoints().GetCount(), 3u);
  EXPECT_EQ(form->GetPolygonCount(), 0u);
  EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Deleteing selection...", "Deleted selection"}));
  EXPECT_EQ(ui.WaitCursorDepth(), 0);
  EXPECT_EQ(ui.MaxWaitCursorDepth(), 1);
  // Nothing selected: Delete is not offered and does nothing.
  Forget();
  doc.Delete();
  EXPECT_TRUE(ui.StatusTexts().empty());
}

TEST_F(SelectionDelete, TwoMastersAreAskedAboutUntilRefusedAlone) {
  IObject* a = AddForm("A");
  IObject* b = AddForm("B");
  AddClone(*a, "A1");
  IObject* b1 = AddClone(*b, "B1");
  AddClone(*b, "B2");
  Select({b1, b, a});  // a first, then b, then one of b's clones
  ui.QueueAnswer(Answer::no);
  ui.QueueAnswer(Answer::yes);
  ui.QueueAnswer(Answer::no);
  doc.Delete();
  const auto questions = ui.Questions();
  ASSERT_EQ(questions.size(), 3u);
  for (const auto& q : questions) {
    EXPECT_EQ(q.text, kMasterQuestion);
    EXPECT_EQ(q.buttons, Buttons::yesNo);
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "A1"}));
  EXPECT_EQ(doc.GetItems().GetSelectedCount(), 1);
  EXPECT_EQ(doc.GetObjectList().Names(), (std::vector<std::string>{"A", "A1"}));
  EXPECT_EQ(a->GetCloneCount(), 1);
  EXPECT_TRUE(CloneCountsHold(doc.GetItems()));
}

TEST_F(SelectionDelete, TheOnlyCloneGoesThenTheMasterWithoutAQuestion) {
  IObject* master = AddForm("M");
  IObject* clone = AddClone(*master, "C");
  Select({clone});
  doc.Delete();
  EXPECT_FALSE(master->HasClones());
  Select({master});
  doc.Delete();
  EXPECT_TRUE(ui.Questions().empty());
  EXPECT_TRUE(doc.GetItems().IsEmpty());
  EXPECT_EQ(doc.GetObjectList().GetCount(), 0u);
}

TEST_F(SelectionDelete, DeletedCameraLeavesItsViews) {
  ICamera* cam = AddCamera("Cam");
  Select({cam});
  Forget();
  doc.Delete();
  EXPECT_EQ(view.removedCameras, std::vector<ICamera*>{cam});
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintErase, cam}, {kHintEraseHandle, cam}}));
  EXPECT_EQ(doc.GetItems().GetSelectedCount(), 0);
}

}  // namespace
}  // namespace brevoxa::testing
