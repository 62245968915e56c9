// The workspace's property sheet with its "About" counts, and its file.
#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using WorkspaceInfo = EditingTest;

TEST_F(WorkspaceInfo, AboutCountsAndTheSheetsValues) {
  // One form of three layers, one with two polygons, over 12 points.
  IObject* form = AddForm("A");
  AddSquare(*form, "Upper", 5.0);
  auto* extra = new IPolygon;
  extra->AddPoint(static_cast<IPoint*>(form->GetPoints().GetHead()));
  extra->AddPoint(static_cast<IPoint*>(form->GetPoints().GetTail()));
  AddSquare(*form, "Top", 9.0)->GetPolygons().AddTail(extra);
  AddCamera("Cam");
  AddLight("Lamp");
  doc.EditWorkspaceProperties();
  EXPECT_FALSE(doc.IsModified());  // Cancel
  EXPECT_EQ(dialogs.workspace.shown.at(0).about,
            (std::vector<std::string>{"Points\t12", "Polygons\t4", "Layers\t3", "Objects\t3", "Cameras\t1",
                                      "Lights\t1", "Forms\t1"}));
  WorkspaceProperties values;
  values.name = "Harbour";
  values.renderFileName = "FAST.RDR";
  values.environmentFileName = "NIGHT.ENV";
  dialogs.workspace.answer = values;
  doc.EditWorkspaceProperties();
  EXPECT_EQ(doc.GetWorkspace().GetName(), "Harbour");
  EXPECT_EQ(doc.GetWorkspace().GetRenderLink().GetFileName(), "FAST.RDR");
  EXPECT_EQ(doc.GetWorkspace().GetEnvironmentLink().GetFileName(), "NIGHT.ENV");
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(WorkspaceInfo, SaveAndOpenTheWorkspaceRefillsTheList) {
  AddForm("Pier", {}, "PIER.FRM");
  AddCamera("Quay");
  ASSERT_TRUE(doc.SaveWorkspace(dir.File("harbour.wsp")));
  EXPECT_FALSE(doc.IsModified());
  CWorkspaceDoc other({ui, dialogs, properties, clipboard, counters});
  ASSERT_TRUE(other.OpenWorkspace(dir.File("harbour.wsp")));
  EXPECT_EQ(other.GetObjectList().Names(), (std::vector<std::string>{"Pier", "Quay"}));
  EXPECT_EQ(static_cast<IObject*>(other.GetFirstItem())->GetPoints().GetCount(), 4u);
  EXPECT_FALSE(other.OpenWorkspace(dir.File("missing.wsp")));
  EXPECT_EQ(other.GetObjectList().GetCount(), 0u);
}

}  // namespace
}  // namespace brevoxa::testing
