// Primitives, extrusion and lathe with their remembered values, and form
// files: open (also of a broken file), save and save as.
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
  EXPECT_EQ(dialogs.sphere.shown.at(0), SphereDefinition());
  EXPECT_EQ(form->GetLayers().GetCount(), 2u);
  EXPECT_EQ(clone->GetLayers().GetCount(), 2u);
  EXPECT_EQ(view.HintsFor(form), std::vector<int>{kHintDraw});
  EXPECT_EQ(view.HintsFor(clone), (std::vector<int>{kHintErase, kHintDraw}));
  EXPECT_EQ(ui.StatusTexts().at(0), "Added Layer Sphere Group");
  EXPECT_EQ(ui.MaxWaitCursorDepth(), 1);

  // With a camera first there is nothing to add to.
  SelectOnly({cam});
  EXPECT_FALSE(IsEnabled(doc, Command::addSphere));
  doc.AddPrimitive(Primitive::sphere);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Can only add primitive to a form object."});
  EXPECT_EQ(dialogs.sphere.shown.size(), 1u);
}

TEST_F(Forms, ExtrudeAndLatheRememberTheirValues) {
  IObject* form = AddForm("A");
  Select({form});
  EXPECT_FALSE(IsEnabled(doc, Command::extrude));
  doc.SetLevel(kLayerLevel);
  doc.SelectAll();
  doc.SetLevel(kPolygonLevel);
  doc.SelectAll();
  ASSERT_TRUE(IsEnabled(doc, Command::extrude));
  ExtrudeSettings values;
  values.divisions = 2;
  values.translation = {0, 0, 20};
  dialogs.extrude.answer = values;
  doc.Extrude();
  EXPECT_EQ(doc.GetExtrudeValues(), values);
  EXPECT_EQ(form->GetLayers().GetCount(), 3u);  // sides and back face
  dialogs.extrude.answer.reset();
  doc.Extrude();
  EXPECT_EQ(dialogs.extrude.shown.at(0), ExtrudeSettings());
  EXPECT_EQ(dialogs.extrude.shown.at(1), values);

  dialogs.lathe.answer = LatheSettings{4, false};
  doc.Lathe();
  EXPECT_EQ(dialogs.lathe.shown.at(0), LatheSettings());
  EXPECT_EQ(doc.GetLatheValues(), (LatheSettings{4, false}));
  EXPECT_EQ(ui.LastStatus(), "Added Layer Lathe Group");
}

TEST_F(Forms, SaveThenOpenAnotherFormFromThatFile) {
  IObject* a = AddForm("A", {}, "A.FRM");
  AddSquare(*a, "Second", 5.0);
  IObject* b = AddForm("B", {}, "B.FRM");
  Select({a});
  doc.FormSave();
  EXPECT_TRUE(std::filesystem::exists(dir.File("A.FRM")));
  EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Saving form(s)...", "Saved form(s)"}));

  // B may not load the file A uses...
  SelectOnly({b});
  dialogs.fileToOpen = "A.FRM";
  ui.Clear();
  doc.FormOpen();
  EXPECT_EQ(dialogs.fileRequests.at(0).initialName, "B.FRM");
  EXPECT_EQ(dialogs.fileRequests.at(0).filter, "Form Objects (*.frm)|*.frm||");
  EXPECT_TRUE(dialogs.fileRequests.at(0).mustExist);
  EXPECT_EQ(ui.Messages(),
            std::vector<std::string>{
                "This form is already open in this workspace.  Use the clipboard or clonening to add multiple copies."});
  EXPECT_EQ(b->GetFileName(), "B.FRM");
  // ...but from a copy of it, and takes the file's title as its name.
  std::filesystem::copy_file(dir.File("A.FRM"), dir.File("TWO.FRM"));
  dialogs.fileToOpen = "TWO.FRM";
  ui.Clear();
  view.Clear();
  doc.FormOpen();
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_EQ(b->GetLayers().GetCount(), 2u);
  EXPECT_EQ(b->GetName(), "TWO");
  EXPECT_EQ(doc.GetObjectList().Names()[1], "TWO");
  EXPECT_EQ(view.HintsFor(b), (std::vector<int>{kHintErase, kHintDraw}));
  EXPECT_EQ(ui.LastStatus(), "Opened form");
}

TEST_F(Forms, BrokenFormFileLeavesTheFormAsItWas) {
  IObject* form = AddForm("A", {}, "A.FRM");
  Select({form});
  std::ofstream(dir.File("BAD.FRM"), std::ios::binary) << std::string("\x01\x00\x01", 3);
  dialogs.fileToOpen = "BAD.FRM";
  doc.FormOpen();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Unexpected file format."});
  EXPECT_EQ(form->GetFileName(), "A.FRM");
  EXPECT_EQ(form->GetName(), "A");
  EXPECT_EQ(form->GetPoints().GetCount(), 4u);
  EXPECT_NE(ui.LastStatus(), "Opened form");
}

TEST_F(Forms, SaveAsTakesTheNewNameUnlessAnotherFormUsesIt) {
  IObject* a = AddForm("A", {}, "A.FRM");
  AddForm("B", {}, "B.FRM");
  Select({a});
  dialogs.fileToSave = "B.FRM";
  doc.FormSaveAs();
  EXPECT_EQ(ui.Messages(),
            std::vector<std::string>{"This form is already open in this workspace.  You may not overwrite it while it is open."});
  EXPECT_EQ(a->GetFileName(), "A.FRM");
  EXPECT_TRUE(dialogs.fileRequests.at(0).promptOverwrite);
  dialogs.fileToSave = "NEW.FRM";
  ui.Clear();
  doc.FormSaveAs();
  EXPECT_EQ(a->GetFileName(), "NEW.FRM");
  EXPECT_TRUE(std::filesystem::exists(dir.File("NEW.FRM")));
  EXPECT_EQ(ui.StatusTexts(), (std::vector<std::string>{"Saving form...", "Saved form"}));
}

}  // namespace
}  // namespace brevoxa::testing
