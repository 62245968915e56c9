// Primitives, extrusion and lathe, and form files: open, save and save as.
#include <filesystem>
#include <fstream>

#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using Forms = EditingTest;

TEST_F(Forms, PrimitiveGoesIntoTheFirstFormAndItsClones) {
  IObject* form = AddForm("A");
  IObject* clone = AddClone(*form, "Copy");
  ICamera* cam = AddCamera("Cam");
  Select({form});
  dialogs.sphere.answer = SphereDefinition{10.0, 6, 4};
  Forget();
  doc.AddPrimitive(Primitive::sphere);
  EXPECT_EQ(clone->GetLayers().GetCount(), 2u);
  EXPECT_EQ(view.HintsFor(form), std::vector<int>{kHintDraw});
  EXPECT_EQ(view.HintsFor(clone), (std::vector<int>{kHintErase, kHintDraw}));
  // With a camera first there is nothing to add to.
  SelectOnly({cam});
  doc.AddPrimitive(Primitive::sphere);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Can only add primitive to a form object."});
  EXPECT_EQ(dialogs.sphere.shown.size(), 1u);
}

TEST_F(Forms, ExtrudeAndLatheRememberTheirValues) {
  Select({AddForm("A")});
  doc.SetLevel(kLayerLevel);
  doc.SelectAll();
  doc.SetLevel(kPolygonLevel);
  doc.SelectAll();
  ExtrudeSettings values;
  values.divisions = 2;
  values.translation = {0, 0, 20};
  dialogs.extrude.answer = values;
  doc.Extrude();
  EXPECT_EQ(static_cast<IObject*>(Items()[0])->GetLayers().GetCount(), 3u);  // sides and back face
  dialogs.extrude.answer.reset();
  doc.Extrude();
  EXPECT_EQ(dialogs.extrude.shown, (std::vector<ExtrudeSettings>{ExtrudeSettings(), values}));
  dialogs.lathe.answer = LatheSettings{4, false};
  doc.Lathe();
  doc.Lathe();
  EXPECT_EQ(dialogs.lathe.shown, (std::vector<LatheSettings>{LatheSettings(), LatheSettings{4, false}}));
}

TEST_F(Forms, SaveOpenAndSaveAsRefuseTheFilesOfOtherForms) {
  IObject* a = AddForm("A", {}, "A.FRM");
  AddSquare(*a, "Second", 5.0);
  IObject* b = AddForm("B", {}, "B.FRM");
  Select({a});
  doc.FormSave();
  std::filesystem::copy_file(dir.File("A.FRM"), dir.File("TWO.FRM"));
  std::ofstream(dir.File("BAD.FRM"), std::ios::binary) << std::string("\x01\x00\x01", 3);
  SelectOnly({b});
  const std::pair<std::string, std::string> refused[] = {
      {"A.FRM", "This form is already open in this workspace.  Use the clipboard or clonening to add multiple copies."},
      {"BAD.FRM", "Unexpected file format."}};
  for (const auto& [file, message] : refused) {
    dialogs.fileToOpen = file;
    ui.Clear();
    doc.FormOpen();
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{message});
    EXPECT_EQ(b->GetFileName(), "B.FRM");
  }
  // A copy of A's file loads, and B takes the file's title as its name.
  dialogs.fileToOpen = "TWO.FRM";
  Forget();
  doc.FormOpen();
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_EQ(b->GetLayers().GetCount(), 2u);
  EXPECT_EQ(doc.GetObjectList().Names()[1], "TWO");

  SelectOnly({a});
  dialogs.fileToSave = "TWO.FRM";
  doc.FormSaveAs();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{
                               "This form is already open in this workspace.  You may not overwrite it while it is open."});
  EXPECT_EQ(a->GetFileName(), "A.FRM");
  dialogs.fileToSave = "NEW.FRM";
  doc.FormSaveAs();
  EXPECT_TRUE(a->GetFileName() == "NEW.FRM" && std::filesystem::exists(dir.File("NEW.FRM")));
}

}  // namespace
}  // namespace brevoxa::testing
