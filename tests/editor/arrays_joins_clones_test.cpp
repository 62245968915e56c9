// Arrays, joins, clone updates and the clone counts on every path.
#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using ArraysJoinsClones = EditingTest;

ArraySettings Positional(int x, int y, int z, const CVector& spacing) {
  ArraySettings s;
  s.number[0] = x;
  s.number[1] = y;
  s.number[2] = z;
  s.spacing = spacing;
  return s;
}

TEST_F(ArraysJoinsClones, PositionalAndRotationalArrays) {
  IObject* source = AddForm("Post", {1, 0, 0}, "POST.FRM");
  Select({source});
  dialogs.array.answer = Positional(3, 1, 1, {10, 0, 0});
  Forget();
  doc.Array();
  // The copies stand selected at the head, the last made first.
  std::vector<IRoot*> items = Items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1]->GetName(), "Post A1");
  EXPECT_EQ(items[0]->GetFileName(), "POSTA2.FRM");
  EXPECT_EQ(static_cast<IPoint*>(static_cast<IObject*>(items[0])->GetPoints().GetHead())->world, CVector(21, 0, 0));
  EXPECT_EQ(view.HintsFor(items[0]), (std::vector<int>{kHintDraw, kHintDrawHandle}));

  // Cancel, all ones, or more than memory holds: nothing made.
  for (std::optional<ArraySettings> answer :
       {std::optional<ArraySettings>{}, std::optional(Positional(1, 1, 1, {10, 10, 10})),
        std::optional(Positional(30000, 30000, 30000, {1, 1, 1}))}) {
    dialogs.array.answer = answer;
    doc.Array();
    EXPECT_EQ(doc.GetItems().GetCount(), 3u);
  }
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{TooManyArrayElementsMessage()});

  SelectOnly({source});
  ArraySettings turns = Positional(1, 1, 4, {0, 0, 90});
  turns.kind = ArrayKind::rotational;
  dialogs.array.answer = turns;
  doc.Array();
  EXPECT_EQ(Items()[0]->GetRotation(), CVector(0, 0, 270));
}

TEST_F(ArraysJoinsClones, JitterMovesCopiesForwardOnly) {
  Select({AddForm("Post")});
  ArraySettings settings = Positional(6, 1, 1, {10, 0, 0});
  settings.positionJitter = {4, 0, 0};
  dialogs.array.answer = settings;
  doc.Array();
  double total = 0;
  for (int i = 1; i <= 5; ++i) {
    const double jitter = Items()[5 - i]->GetPosition().x - 10.0 * i;
    EXPECT_TRUE(jitter >= 0 && jitter <= 4) << jitter;
    total += jitter;
  }
  EXPECT_GT(total, 0);
}

TEST_F(ArraysJoinsClones, JoinAtRootSkipsALeadingCloneAndAtTheLayerLevelMergesLayers) {
  IObject* master = AddForm("M");
  IObject* a = AddForm("A", {100, 0, 0});
  IObject* b = AddForm("B", {200, 0, 0});
  IObject* clone = AddClone(*master, "C");
  Select({b, a, clone});  // clone first, then a, then b
  doc.Join();
  EXPECT_EQ(Items(), (std::vector<IRoot*>{clone, a, master}));
  EXPECT_EQ(a->GetLayers().GetCount(), 2u);
  // b's square kept its place in the world.
  EXPECT_EQ(static_cast<IPoint*>(a->GetPoints().GetTail())->world, CVector(200, 10, 0));
  EXPECT_EQ(clone->GetPoints().GetCount(), 4u);
  // A clone and one form: nothing follows the target.
  doc.GetItems().SelectItem(master, false);
  EXPECT_FALSE(IsEnabled(doc, Command::join));

  SelectOnly({a});
  doc.SetLevel(kLayerLevel);
  doc.SelectAll();
  Forget();
  doc.Join();
  EXPECT_EQ(a->GetLayers().GetCount(), 1u);
  EXPECT_EQ(a->GetPolygonCount(), 2u);
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintEraseLevelHandles, nullptr}, {kHintDrawLevelHandles, nullptr}}));
}

TEST_F(ArraysJoinsClones, UpdateClonesAndCloneCountsOnEveryPath) {
  IObject* master = AddForm("M");
  IObject* other = AddForm("N");
  IObject* clone = AddClone(*master, "C1", {0, 0, 50});
  AddSquare(*master, "Roof", 20.0);
  Forget();
  doc.UpdateClones();
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintRepaintAll, nullptr}}));
  // The clone keeps its own place.
  EXPECT_EQ(static_cast<IPoint*>(clone->GetPoints().GetTail())->world, CVector(0, 10, 70));
  auto holds = [this] { return CloneCountsHold(doc.GetItems()); };
  // An array of a clone makes clones of the same master.
  Select({clone});
  dialogs.array.answer = Positional(3, 1, 1, {10, 0, 0});
  doc.Array();
  EXPECT_EQ(master->GetCloneCount(), 3);
  EXPECT_TRUE(holds());
  IObject* c2 = static_cast<IObject*>(Items()[0]);
  // Properties: move a clone to another master, make a master a clone
  // (refused: it has clones), clear a master.
  SelectOnly({clone});
  properties.onForm = [other](IObject& form) { form.SetCloneMaster(other); };
  doc.Properties();
  EXPECT_EQ(clone->GetCloneMaster(), other);
  EXPECT_TRUE(holds());
  SelectOnly({master});
  doc.Properties();
  EXPECT_FALSE(master->IsClone());
  EXPECT_TRUE(holds());
  SelectOnly({clone});
  properties.onForm = [](IObject& form) { form.SetCloneMaster(nullptr); };
  doc.Properties();
  EXPECT_FALSE(other->HasClones());
  EXPECT_TRUE(holds());
  // Copy and paste a clone, join clones into a form, delete a master.
  SelectOnly({c2});
  doc.Copy();
  doc.Paste();
  EXPECT_EQ(master->GetCloneCount(), 3);
  EXPECT_TRUE(holds());
  Select({other});
  doc.GetItems().MoveToHead(other);
  doc.Join();  // other takes in c2
  EXPECT_EQ(master->GetCloneCount(), 2);
  SelectOnly({master});
  doc.Delete();  // the default answer is Yes
  EXPECT_TRUE(holds());
  EXPECT_EQ(doc.GetObjectList().Names().size(), 2u);
}

}  // namespace
}  // namespace brevoxa::testing
