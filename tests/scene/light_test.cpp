// Lights: defaults and the star marker, the record, selection and moves
// through the handle, drawing in parallel and camera views, properties.
#include "scene/light.h"

#include <gtest/gtest.h>

#include <vector>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "scene/camera.h"
#include "scene/property_editor.h"
#include "support/bytes.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::DrawCall;
using testing::Load;
using testing::RecordingSurface;
using testing::Store;

TEST(LightModel, TheHandleIsTheOnlyElementAndTheMarkerPointsRunInOrder) {
  ILight light;
  IObList* handles = light.GetLevelList(0);
  ASSERT_NE(handles, nullptr);
  ASSERT_EQ(handles->GetCount(), 1u);
  EXPECT_EQ(handles->GetHead(), &light.Handle());

  const CVector expected[ILight::kMarkerPointCount] = {
      {0, 0, 8},  {0, 0, 3}, {0, 0, -8}, {0, 0, -3}, {8, 0, 0},  {3, 0, 0},
      {-8, 0, 0}, {-3, 0, 0}, {0, 8, 0}, {0, 3, 0},  {0, -8, 0}, {0, -3, 0}};
  for (int i = 0; i < ILight::kMarkerPointCount; ++i) EXPECT_EQ(light.MarkerPoint(i).local, expected[i]) << i;
}

TEST(LightModel, SelectionAndMovesGoThroughTheHandle) {
  ILight light;
  light.SetName("Lht1");
  EXPECT_EQ(light.Select(true), 1);
  EXPECT_EQ(light.Select(true), 0);
  // The light reports the handle's state, so the scene list can count it.
  EXPECT_NE(light.IsSelected(), 0);
  EXPECT_NE(light.Handle().IsSelected(), 0);
  EXPECT_EQ(light.GetLevelList(0)->GetSelectedCount(), 1);
  EXPECT_EQ(light.Select(false), -1);
  EXPECT_EQ(light.IsSelected(), 0);

  light.MoveElement(0, light.Handle(), {1, 2, 3}, 5);
  EXPECT_EQ(light.GetPosition(), CVector(1, 2, 3));
  light.EndMoveElement(0, light.Handle(), {4, 5, 6}, 5);
  EXPECT_EQ(light.GetPosition(), CVector(4, 5, 6));
  light.SetPosition({7, 8, 9});
  EXPECT_EQ(light.Handle().GetPosition(), CVector(7, 8, 9));
  EXPECT_EQ(light.GetElementName(0, light.Handle()), "Lht1");
  EXPECT_FALSE(light.CanApply(0, 0));
}

TEST(LightRecord, LayoutRoundTripAndUnknownVersion) {
  ILight light;
  light.SetName("Sun");
  light.SetColour({255, 128, 0});
  light.SetPosition({1, -2, 30});
  Bytes bytes = Store([&](CArchive& ar) { light.Serialize(ar); });
  EXPECT_EQ(bytes, ByteWriter().Word(1).Byte(3).Chars("Sun").Vector({255, 128, 0}).Word(1).Word(1)
                       .Vector({1, -2, 30}).bytes());

  ILight loaded;
  Load(bytes, [&](CArchive& ar) { loaded.Serialize(ar); });
  EXPECT_EQ(loaded.GetName(), "Sun");
  EXPECT_EQ(loaded.GetColour(), CVector(255, 128, 0));
  EXPECT_EQ(loaded.GetPosition(), CVector(1, -2, 30));
  // The marker is the fixed one, placed about the loaded position.
  loaded.PlaceMarker();
  EXPECT_EQ(loaded.MarkerPoint(0).local, CVector(0, 0, 8));
  EXPECT_EQ(loaded.MarkerPoint(0).world, CVector(1, -2, 38));

  ILight other;
  Load(ByteWriter().Word(2).Byte(3).Chars("Sun").bytes(), [&](CArchive& ar) {
    other.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 4u);
  });
  EXPECT_EQ(other.GetName(), "");
  EXPECT_EQ(other.GetColour(), CVector(255, 255, 255));
}

TEST(LightDrawing, SixArmsAboutThePositionInAParallelView) {
  ILight light;
  light.SetPosition({10, 20, 0});
  IViewTran view;
  view.SetViewType(IViewTran::top);
  view.SetClientRect(0, 0, 200, 100);
  view.SetViewWidth(100);
  RecordingSurface device;
  const DrawState before = device.GetState();
  light.Draw(device, view, 1, 0);
  ASSERT_EQ(device.calls.size(), 6u);
  EXPECT_EQ(device.Count(DrawCall::line), 6u);
  // The arm along +X: world (18, 20, 0) to (13, 20, 0); +X is down in Top.
  const DrawCall& arm = device.calls[2];
  EXPECT_EQ((std::vector<int>{arm.x1, arm.y1, arm.x2, arm.y2}), (std::vector<int>{140, 86, 140, 76}));
  // The arm along +Y: (10, 28, 0) to (10, 23, 0).
  const DrawCall& side = device.calls[4];
  EXPECT_EQ((std::vector<int>{side.x1, side.y1, side.x2, side.y2}), (std::vector<int>{156, 70, 146, 70}));
  EXPECT_EQ(device.GetState(), before);
}

TEST(LightDrawing, CameraViewsOnlyWithEditingObjects) {
  ICamera viewer;
  viewer.PlaceAt({100, 0, 0}, 100);
  IViewTran view;
  view.SetViewType(IViewTran::camera);
  view.SetClientRect(0, 0, 200, 100);
  view.SetCamera(&viewer);
  view.SetDisplayEditingObjects(false);
  ILight light;
  RecordingSurface hidden;
  light.Draw(hidden, view, 1, 0);
  EXPECT_TRUE(hidden.calls.empty());

  view.SetDisplayEditingObjects(true);
  RecordingSurface shown;
  light.Draw(shown, view, 1, 0);
  EXPECT_EQ(shown.Count(DrawCall::line), 6u);

  // A light behind the viewer leaves nothing to draw.
  light.SetPosition({200, 0, 0});
  RecordingSurface behind;
  light.Draw(behind, view, 1, 0);
  EXPECT_TRUE(behind.calls.empty());
}

class LightEditor : public IPropertyEditor {
 public:
  bool EditLight(ILight& light) override {
    light.SetName("Lamp");
    light.SetColour({10, 20, 30});
    return true;
  }
};

TEST(LightProperties, EditedThroughTheEditor) {
  ILight light;
  LightEditor editor;
  EXPECT_TRUE(light.EditProperties(editor));
  EXPECT_EQ(light.GetName(), "Lamp");
  EXPECT_EQ(light.GetColour(), CVector(10, 20, 30));
  IPropertyEditor none;
  EXPECT_FALSE(light.EditProperties(none));
}

}  // namespace
}  // namespace brevoxa
