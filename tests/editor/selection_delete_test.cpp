// Selection, the object list, and delete with the question for masters.
#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using SelectionDelete = EditingTest;

TEST_F(SelectionDelete, SelectAllAndInvertAtRootFollowTheObjectList) {
  IObject* a = AddForm("A");
  ICamera* cam = AddCamera("Cam");
  ILight* lamp = AddLight("Lamp");
  Select({cam});
  Forget();
  doc.SelectAll();
  EXPECT_EQ(view.Count(kHintDrawHandle), 3);
  EXPECT_EQ(ui.LastStatus(), "Selected all");
  doc.GetItems().SelectItem(lamp, false);
  doc.InvertSelection();
  EXPECT_EQ(doc.GetSelectedItems(), std::vector<IRoot*>{lamp});
  EXPECT_EQ(doc.GetObjectList().Names(), (std::vector<std::string>{"A", "Cam", "Lamp"}));
  EXPECT_TRUE(doc.GetObjectList().GetEntries()[2].selected);
  // Picking in the list selects the item and draws its handle.
  Forget();
  doc.SelectFromList(0, true);
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintDrawHandle, a}}));
  doc.SetLevel(kPointLevel);  // a is first: the list is now disabled
  doc.SelectFromList(1, true);
  EXPECT_FALSE(cam->IsSelected());
}

TEST_F(SelectionDelete, SubLevelDeleteAndComponents) {
  IObject* form = AddForm("A");
  AddSquare(*form, "Upper", 5.0);
  Select({form});
  doc.SetLevel(kPointLevel);
  form->GetPoints().SelectItem(form->GetPoints().GetHead(), true);
  Forget();
  doc.Delete();
  // The point and the polygon that used it, each erased.
  EXPECT_EQ(view.Count(kHintErase), 2);
  EXPECT_EQ(view.Count(kHintEraseHandle), 2);
  EXPECT_EQ(form->GetPoints().GetCount(), 7u);
  EXPECT_EQ(form->GetPolygonCount(), 1u);
  EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Deleteing selection...", "Deleted selection"}));
  EXPECT_EQ(ui.WaitCursorDepth(), 0);

  doc.SetLevel(kLayerLevel);
  doc.InvertSelection();
  doc.SetLevel(kPolygonLevel);
  EXPECT_EQ(form->GetLayers().GetSelectedCount(), 1);  // only the first, Upper, kept
  doc.SelectAll();
  doc.SelectAllComponents();
  // The four points of Upper's square, not the others.
  EXPECT_EQ(form->GetPoints().GetSelectedCount(), 4);
}

TEST_F(SelectionDelete, MastersAreAskedAboutAndTheLastCloneGoesWithoutAQuestion) {
  IObject* a = AddForm("A");
  IObject* b = AddForm("B");
  IObject* a1 = AddClone(*a, "A1");
  IObject* b1 = AddClone(*b, "B1");
  AddClone(*b, "B2");
  Select({b1, b, a});  // a first, then b, then one of b's clones
  for (Answer answer : {Answer::no, Answer::yes, Answer::no}) ui.QueueAnswer(answer);
  doc.Delete();
  ASSERT_EQ(ui.Questions().size(), 3u);
  EXPECT_EQ(ui.Questions()[0].text,
            "Form is a master of clones.  Deleting this object will delete all clones.  Ok to delete?");
  EXPECT_EQ(doc.GetObjectList().Names(), (std::vector<std::string>{"A", "A1"}));
  EXPECT_EQ(a->GetCloneCount(), 1);
  EXPECT_TRUE(CloneCountsHold(doc.GetItems()));

  SelectOnly({a1});
  doc.Delete();
  SelectOnly({a});
  doc.Delete();
  EXPECT_EQ(ui.Questions().size(), 3u);
  EXPECT_TRUE(doc.GetItems().IsEmpty());
  // A deleted camera leaves its views.
  ICamera* cam = AddCamera("Cam");
  Select({cam});
  Forget();
  doc.Delete();
  EXPECT_EQ(view.removedCameras, std::vector<ICamera*>{cam});
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintErase, cam}, {kHintEraseHandle, cam}}));
}

}  // namespace
}  // namespace brevoxa::testing
