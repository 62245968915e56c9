// Copy, cut and paste: every item class, clones, sub-level records, failures.
#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using Clipboard = EditingTest;

TEST_F(Clipboard, CopyAndPasteItemsOfEveryClass) {
  IObject* form = AddForm("Pier", {1, 2, 3}, "PIER.FRM");
  ICamera* cam = AddCamera("Quay");
  ILight* lamp = AddLight("Lamp");
  lamp->SetColour({255, 200, 100});
  Select({lamp, cam, form});
  doc.Copy();
  SelectOnly({});
  Forget();
  doc.Paste();
  const std::vector<IRoot*> items = Items();
  ASSERT_EQ(items.size(), 6u);
  auto* pier = dynamic_cast<IObject*>(items[3]);
  auto* light = dynamic_cast<ILight*>(items[5]);
  ASSERT_TRUE(pier && dynamic_cast<ICamera*>(items[4]) && light);
  // The pasted form writes a file of its own.
  EXPECT_EQ(pier->GetFileName(), "PIERC1.FRM");
  EXPECT_EQ(pier->GetPosition(), CVector(1, 2, 3));
  EXPECT_EQ(light->GetColour(), CVector(255, 200, 100));
  EXPECT_EQ(view.HintsFor(pier), (std::vector<int>{kHintDraw, kHintDrawHandle}));
  EXPECT_EQ(doc.GetObjectList().Names(),
            (std::vector<std::string>{"Pier", "Quay", "Lamp", "Pier C1", "Quay", "Lamp"}));
}

TEST_F(Clipboard, PastedMasterStartsWithoutClonesAndPastedClonesCount) {
  IObject* master = AddForm("M");
  IObject* clone = AddClone(*master, "C", {50, 0, 0});
  Select({clone, master});
  doc.Copy();
  Forget();
  doc.Paste();
  ASSERT_EQ(Items().size(), 4u);
  auto* newClone = static_cast<IObject*>(Items()[3]);
  EXPECT_FALSE(static_cast<IObject*>(Items()[2])->HasClones());
  // The pasted clone follows the master it was copied from.
  EXPECT_EQ(newClone->GetCloneMaster(), master);
  EXPECT_TRUE(CloneCountsHold(doc.GetItems()));
}

TEST_F(Clipboard, CutAtTheLayerLevelAndPasteIntoAnotherForm) {
  IObject* a = AddForm("A");
  IObject* b = AddForm("B", {100, 0, 0});
  Select({a});
  doc.SetLevel(kLayerLevel);
  doc.SelectAll();
  doc.Cut();
  EXPECT_EQ(a->GetLayers().GetCount(), 0u);
  // A form at Root is offered any record, and refuses layers.
  doc.SetLevel(kRootLevel);
  SelectOnly({b});
  doc.Paste();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Paste Failed"});
  doc.SetLevel(kLayerLevel);
  Forget();
  doc.Paste();
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_EQ(b->GetLayers().GetCount(), 2u);
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintDraw, b}, {kHintDrawLevelHandles, nullptr}}));
}

TEST_F(Clipboard, FailedPastesKeepWhatArrivedBefore) {
  IObject* master = AddForm("M");
  IObject* clone = AddClone(*master, "C");
  Select({clone});
  doc.Copy();
  SelectOnly({master});
  doc.Delete();
  ASSERT_TRUE(doc.GetItems().IsEmpty());
  doc.Paste();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Previous master no longer exists, or previous master is now a clone."});
  EXPECT_TRUE(doc.GetItems().IsEmpty());

  AddForm("A");
  Select({AddForm("B"), Items()[0]});
  doc.Copy();
  std::vector<uint8_t> cut = clipboard.GetBytes();
  cut.resize(cut.size() - 20);  // inside the second record: the first arrives
  // Cut short, empty, and a class nobody registered.
  using Bytes = std::vector<uint8_t>;
  for (const Bytes& bytes : {cut, Bytes{}, Bytes{1, 0, 0, 0, 3, 'X', 'y', 'z'}}) {
    bytes.empty() ? clipboard.Clear() : clipboard.Set(bytes, kClipItems);
    Forget();
    doc.Paste();
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Paste Failed"});
    EXPECT_EQ(Items().size(), 3u);
    EXPECT_EQ(doc.GetObjectList().GetCount(), 3u);
  }
}

}  // namespace
}  // namespace brevoxa::testing
