// Add mode at Root: the names and places of new forms, lights and cameras.
#include <fstream>

#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using AddMode = EditingTest;

TEST_F(AddMode, ItemsTakeTheNextFreeNames) {
  // FRM2.FRM exists on disk and FRM3.FRM is used in the scene.
  std::ofstream(dir.File("FRM2.FRM")) << "taken";
  AddForm("Old", {}, "FRM3.FRM");
  Forget();
  IRoot* first = doc.AddForm({10, 20, 0}, 100.0);
  EXPECT_EQ(first->GetFileName(), "FRM1.FRM");
  EXPECT_EQ(first->GetPosition(), CVector(10, 20, 0));
  EXPECT_EQ(view.HintsFor(first), (std::vector<int>{kHintDraw, kHintDrawHandle}));
  EXPECT_EQ(ui.LastStatus(), "Added Form frm1");
  EXPECT_EQ(doc.AddForm({}, 100.0)->GetFileName(), "FRM4.FRM");
  EXPECT_EQ(doc.GetObjectList().Names(), (std::vector<std::string>{"Old", "frm1", "frm4"}));
  // The counter wraps from 99999 to 1, and FRM1.FRM is taken by now.
  counters.forms.SetLast(99998);
  EXPECT_EQ(doc.AddForm({}, 100.0)->GetFileName(), "FRM99999.FRM");
  EXPECT_EQ(doc.AddForm({}, 100.0)->GetFileName(), "FRM5.FRM");
  NameCounter counter;
  EXPECT_EQ(counter.Next("Cam", "", [](const std::string&) { return true; }), "");
  // Lights and cameras have counters of their own.
  AddLight("Lht1");
  EXPECT_EQ(doc.AddLight({1, 2, 3}, 100.0)->GetName(), "Lht2");
  auto* camera = static_cast<ICamera*>(doc.AddCamera({0, 0, 0}, 100.0));
  EXPECT_EQ(ui.LastStatus(), "Added Camera Cam1");
  // Placed for a view 100 wide: looking along -X from the point.
  EXPECT_EQ(camera->GetTarget(), CVector(-25, 0, 0));
  // Only Root adds items.
  Select({doc.AddForm({}, 100.0)});
  doc.SetLevel(kPointLevel);
  EXPECT_EQ(doc.AddLight({}, 100.0), nullptr);
}

}  // namespace
}  // namespace brevoxa::testing
