// Copy, cut and paste through the internal clipboard: the item kinds with
// their classes, clones and masters, sub-level records and broken buffers.
#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using Clipboard = EditingTest;

TEST_F(Clipboard, CopyAndPasteItemsOfEveryClass) {
  IObject* form = AddForm("Pier", {1, 2, 3}, "PIER.FRM");
  ICamera* cam = AddCamera("Quay");
  ILight* lamp = AddLight("Lamp");
  lamp->SetColour({255, 200, 100});
  EXPECT_FALSE(IsEnabled(doc, Command::copy));
  EXPECT_FALSE(IsEnabled(doc, Command::paste));
  Select({lamp, cam, form});
  doc.Copy();
  EXPECT_EQ(clipboard.GetKind(), kClipItems);
  EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Copying to clipboard...", "Done Copying to Clipboard"}));
  doc.GetItems().SelectItem(form, false);
  doc.GetItems().SelectItem(cam, false);
  doc.GetItems().SelectItem(lamp, false);
  Forget();
  doc.Paste();
  EXPECT_EQ(ui.LastStatus(), "Done Pasting from the Clipboard");
  const std::vector<IRoot*> items = Items();
  ASSERT_EQ(items.size(), 6u);
  auto* pier = dynamic_cast<IObject*>(items[3]);
  auto* quay = dynamic_cast<ICamera*>(items[4]);
  auto* light = dynamic_cast<ILight*>(items[5]);
  ASSERT_TRUE(pier && quay && light);
  // The pasted form writes a file of its own.
  EXPECT_EQ(pier->GetFileName(), "PIERC1.FRM");
  EXPECT_EQ(pier->GetName(), "Pier C1");
  EXPECT_EQ(pier->GetPosition(), CVector(1, 2, 3));
  EXPECT_EQ(pier->GetPoints().GetCount(), 4u);
  EXPECT_EQ(quay->GetName(), "Quay");
  EXPECT_EQ(light->GetColour(), CVector(255, 200, 100));
  EXPECT_EQ(view.HintsFor(pier), (std::vector<int>{kHintDraw, kHintDrawHandle}));
  EXPECT_EQ(doc.GetObjectList().Names().back(), "Lamp");
  EXPECT_EQ(doc.GetObjectList().Names()[3], "Pier C1");
}

TEST_F(Clipboard, PastedMasterStartsWithoutClonesAndPastedClonesCount) {
  IObject* master = AddForm("M");
  IObject* clone = AddClone(*master, "C", {50, 0, 0});
  Select({clone, master});
  doc.Copy();
  Forget();
  doc.Paste();
  ASSERT_EQ(Items().size(), 4u);
  auto* newMaster = static_cast<IObject*>(Items()[2]);
  auto* newClone = static_cast<IObject*>(Items()[3]);
  EXPECT_FALSE(newMaster->HasClones());
  // The pasted clone follows the master it was copied from.
  EXPECT_EQ(newClone->GetCloneMaster(), master);
  EXPECT_EQ(master->GetCloneCount(), 2);
  EXPECT_EQ(view.HintsFor(newClone), (std::vector<int>{kHintDrawHandle, kHintErase, kHintDraw}));
  EXPECT_TRUE(CloneCountsHold(doc.GetItems()));
}

TEST_F(Clipboard, CloneWhoseMasterWasDeletedIsRefused) {
  IObject* master = AddForm("M");
  IObject* other = AddForm("Other");
  IObject* clone = AddClone(*master, "C");
  Select({clone});
  doc.Copy();
  SelectOnly({master});
  ui.QueueAnswer(Answer::yes);
  doc.Delete();
  ASSERT_EQ(Items(), std::vector<IRoot*>{other});
  doc.Paste();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Previous master no longer exists, or previous master is now a clone."});
  EXPECT_EQ(Items(), std::vector<IRoot*>{other});
}

TEST_F(Clipboard, CutAtTheLayerLevelAndPasteIntoAnotherForm) {
  IObject* a = AddForm("A");
  IObject* b = AddForm("B", {100, 0, 0});
  Select({a});
  doc.SetLevel(kLayerLevel);
  doc.SelectAll();
  doc.Cut();
  EXPECT_EQ(clipboard.GetKind(), kClipLayers);
  EXPECT_EQ(ui.LastStatus(), "Done Cutting to Clipboard");
  EXPECT_EQ(a->GetLayers().GetCount(), 0u);
  // Items cannot be pasted here, layers only into a form at its layer level.
  doc.SetLevel(kRootLevel);
  SelectOnly({b});
  EXPECT_TRUE(IsEnabled(doc, Command::paste));  // a form takes any record at Root...
  doc.Paste();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Paste Failed"});  // ...and refuses it
  doc.SetLevel(kLayerLevel);
  Forget();
  doc.Paste();
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_EQ(b->GetLayers().GetCount(), 2u);
  EXPECT_EQ(b->GetPoints().GetCount(), 8u);
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintDraw, b}, {kHintDrawLevelHandles, nullptr}}));
}

TEST_F(Clipboard, BrokenBufferKeepsWhatWasPastedBefore) {
  AddForm("A");
  IObject* b = AddForm("B");
  Select({b, Items()[0]});
  doc.Copy();
  std::vector<uint8_t> bytes = clipboard.GetBytes();
  // Cut inside the second record: the first item arrives, then the paste stops.
  bytes.resize(bytes.size() - 20);
  clipboard.Set(bytes, kClipItems);
  Forget();
  doc.Paste();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Paste Failed"});
  EXPECT_EQ(Items().size(), 3u);
  EXPECT_EQ(doc.GetObjectList().GetCount(), 3u);

  // An empty clipboard only says so.
  clipboard.Clear();
  Forget();
  doc.Paste();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Paste Failed"});
  EXPECT_TRUE(ui.StatusTexts().empty());
  // A class name nobody registered.
  clipboard.Set({1, 0, 0, 0, 3, 'X', 'y', 'z'}, kClipItems);
  doc.Paste();
  EXPECT_EQ(Items().size(), 3u);
}

}  // namespace
}  // namespace brevoxa::testing
