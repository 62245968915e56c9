// The workspace's property sheet and its "About" counts, element property
// sheets, and the workspace file as the document opens and saves it.
#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using WorkspaceInfo = EditingTest;

TEST_F(WorkspaceInfo, AboutCountsOfOneFormOneCameraOneLight) {
  // One form of two layers with 3 and 5 polygons over 8 points.
  auto form = std::make_unique<IObject>();
  std::vector<IPoint*> points;
  for (int i = 0; i < 8; ++i) {
    points.push_back(new IPoint(CVector(i, i % 2, 0)));
    form->GetPoints().AddTail(points.back());
  }
  for (int polygons : {3, 5}) {
    auto* layer = new ILayer;
    form->GetLayers().AddTail(layer);
    for (int p = 0; p < polygons; ++p) {
      auto* polygon = new IPolygon;
      for (int k = 0; k < 3; ++k) polygon->AddPoint(points[(p + k) % 8]);
      layer->GetPolygons().AddTail(polygon);
    }
  }
  doc.AppendItem(std::move(form));
  AddCamera("Cam");
  AddLight("Lamp");
  doc.EditWorkspaceProperties();
  EXPECT_EQ(dialogs.workspace.shown.at(0).about,
            (std::vector<std::string>{"Points\t8", "Polygons\t8", "Layers\t2", "Objects\t3", "Cameras\t1",
                                      "Lights\t1", "Forms\t1"}));
  EXPECT_FALSE(doc.IsModified());  // Cancel
}

TEST_F(WorkspaceInfo, PropertiesSheetStoresNamesAndFiles) {
  WorkspaceProperties values;
  values.name = "Harbour";
  values.description = "Night\nscene";
  values.renderFileName = "FAST.RDR";
  values.environmentFileName = "NIGHT.ENV";
  dialogs.workspace.answer = values;
  doc.EditWorkspaceProperties();
  EXPECT_EQ(dialogs.workspace.shown.at(0).renderFileName, "RENDER.RDR");
  EXPECT_EQ(dialogs.workspace.shown.at(0).environmentFileName, "ENVIRONM.ENV");
  EXPECT_EQ(doc.GetWorkspace().GetName(), "Harbour");
  EXPECT_EQ(doc.GetWorkspace().GetDescription(), "Night\nscene");
  EXPECT_EQ(doc.GetWorkspace().GetRenderLink().GetFileName(), "FAST.RDR");
  EXPECT_EQ(doc.GetWorkspace().GetEnvironmentLink().GetFileName(), "NIGHT.ENV");
  EXPECT_TRUE(doc.IsModified());
}

TEST_F(WorkspaceInfo, FormPropertiesRenewTheListAndRedraw) {
  IObject* form = AddForm("A");
  EXPECT_FALSE(IsEnabled(doc, Command::properties));
  Select({form});
  properties.onForm = [](IObject& f) { f.SetName("Renamed"); };
  Forget();
  doc.Properties();
  EXPECT_EQ(doc.GetObjectList().Names(), std::vector<std::string>{"Renamed"});
  EXPECT_EQ(view.hints, (std::vector<Hint>{{kHintRepaintAll, nullptr}}));
  // A sheet closed with Cancel redraws nothing.
  properties.onForm = nullptr;
  Forget();
  doc.Properties();
  EXPECT_TRUE(view.hints.empty());
  EXPECT_EQ(properties.formSheets, 2);
}

TEST_F(WorkspaceInfo, SaveAndOpenTheWorkspaceRefillsTheList) {
  AddForm("Pier", {}, "PIER.FRM");
  AddCamera("Quay");
  ASSERT_TRUE(doc.SaveWorkspace(dir.File("harbour.wsp")));
  EXPECT_FALSE(doc.IsModified());
  ScriptedDialogs otherDialogs;
  CWorkspaceDoc other({ui, otherDialogs, properties, clipboard, counters});
  ASSERT_TRUE(other.OpenWorkspace(dir.File("harbour.wsp")));
  EXPECT_EQ(other.GetObjectList().Names(), (std::vector<std::string>{"Pier", "Quay"}));
  EXPECT_EQ(static_cast<IObject*>(other.GetFirstItem())->GetPoints().GetCount(), 4u);
  EXPECT_FALSE(other.OpenWorkspace(dir.File("missing.wsp")));
  EXPECT_EQ(other.GetObjectList().GetCount(), 0u);
}

}  // namespace
}  // namespace brevoxa::testing
