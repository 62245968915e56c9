// Add mode at Root: the names of new forms, lights and cameras, their place
// and what the views are told.
#include <fstream>

#include "editing_fixture.h"

namespace brevoxa::testing {
namespace {

using AddMode = EditingTest;

TEST_F(AddMode, FormsTakeTheNextFreeFileName) {
  // FRM2.FRM exists on disk and FRM3.FRM is used in the scene.
  std::ofstream(dir.File("FRM2.FRM")) << "taken";
  AddForm("Old", {}, "FRM3.FRM");
  Forget();
  IRoot* first = doc.AddForm({10, 20, 0}, 100.0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetFileName(), "FRM1.FRM");
  EXPECT_EQ(first->GetPosition(), CVector(10, 20, 0));
  EXPECT_TRUE(first->IsSelected());
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
}

TEST_F(AddMode, LightsAndCamerasHaveCountersOfTheirOwn) {
  AddLight("Lht1");
  IRoot* light = doc.AddLight({1, 2, 3}, 100.0);
  EXPECT_EQ(light->GetName(), "Lht2");
  EXPECT_EQ(light->GetPosition(), CVector(1, 2, 3));
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
