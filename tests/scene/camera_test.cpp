// Cameras and lights: the camera's frame kept from the three points, camera
// coordinates, the records, selection through the handles, drags, drawing in
// parallel and camera views, and the properties.
#include "scene/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "form_fixtures.h"
#include "math/bounds.h"
#include "math/view_tran.h"
#include "persist/archive.h"
#include "scene/draw_tools.h"
#include "scene/light.h"
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

constexpr double kTol = 1e-12;

void ExpectNear(const CVector& actual, const CVector& expected) { testing::ExpectNear(actual, expected, kTol); }

bool IsFinite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// --- Frame ---

TEST(CameraFrame, PlaceAtLooksAlongMinusXWithZUp) {
  ICamera camera;
  camera.PlaceAt({0, 0, 0}, 100);
  ExpectNear(camera.GetPosition(), {0, 0, 0});
  ExpectNear(camera.GetTarget(), {-25, 0, 0});
  ExpectNear(camera.GetUpPoint(), {0, 0, 100.0 / 12});
  ExpectNear(camera.GetDirection(), {-1, 0, 0});
  ExpectNear(camera.GetUp(), {0, 0, 1});
  ExpectNear(camera.GetRight(), {0, 1, 0});
  ExpectNear(camera.GetDirectionVector(), {-25, 0, 0});
  ExpectNear(camera.GetUpVector(), {0, 0, 100.0 / 12});
  CBoundingBox box;
  camera.AddToBounds(box);
  EXPECT_EQ(box.min, CVector(-25, 0, 0));
  EXPECT_EQ(box.max, CVector(0, 0, 100.0 / 12));

  // Placed elsewhere the frame is the same; only the origin moves. Camera
  // coordinates are right (+Y here), up (+Z) and depth.
  camera.PlaceAt({10, 0, 0}, 40);
  ExpectNear(camera.GetTarget(), {0, 0, 0});
  ExpectNear(camera.ToCamera({5, 0, 0}), {0, 0, 5});
  ExpectNear(camera.ToCamera({8, 2, 3}), {2, 3, 2});
  ExpectNear(camera.ToCamera({12, 0, 0}), {0, 0, -2});
}

TEST(CameraFrame, UpIsMadePerpendicularToTheViewingAxis) {
  ICamera camera;
  camera.SetPosition({1, 1, 1});
  camera.SetTarget({1, 11, 1});
  camera.SetUpPoint({4, 5, 9});  // leans forward and sideways
  ExpectNear(camera.GetDirection(), {0, 1, 0});
  ExpectNear(camera.GetUp(), CVector(3, 0, 8) / std::sqrt(73.0));
  ExpectNear(camera.GetRight(), camera.GetDirection().Cross(camera.GetUp()));
}

TEST(CameraFrame, DegenerateCamerasStayFiniteAndProjectToTheCorner) {
  ICamera camera;
  camera.SetPosition({1, 2, 3});
  camera.SetUpPoint({1, 2, 9});  // target still at the origin
  camera.SetTarget({1, 2, 3});   // now on the eye
  EXPECT_EQ(camera.GetDirection(), CVector());
  EXPECT_EQ(camera.GetRight(), CVector());
  camera.SetTarget({1, 2, 0});  // the up point on the viewing axis
  EXPECT_TRUE(IsFinite(camera.GetUp()) && IsFinite(camera.GetRight()));
  EXPECT_TRUE(IsFinite(camera.ToCamera({5, 5, 5})));

  IViewTran view;
  view.SetViewType(IViewTran::camera);
  view.SetClientRect(0, 0, 100, 100);
  ICamera blind;  // all three points at the origin
  view.SetCamera(&blind);
  EXPECT_EQ(view.ToPixel(blind.ToCamera({5, 5, 5})), (PixelPoint{0, 0}));
}

TEST(CameraFrame, CopyFromTakesPointsAndFrameButNotTheViewPlane) {
  ICamera source;
  source.PlaceAt({1, 2, 3}, 48);
  source.SetViewPlaneWidth(3);
  ICamera copy;
  copy.CopyFrom(source);
  EXPECT_EQ(copy.GetTarget(), source.GetTarget());
  EXPECT_EQ(copy.GetUpPoint(), source.GetUpPoint());
  EXPECT_EQ(copy.GetRight(), source.GetRight());
  ExpectNear(copy.ToCamera({1, 2, 3}), {0, 0, 0});
  EXPECT_EQ(copy.GetViewPlaneWidth(), 10);
}

// --- Record ---

TEST(CameraRecord, LayoutAndRoundTrip) {
  ICamera camera;
  camera.SetName("Cam1");
  camera.PlaceAt({1, 2, 3}, 24);
  camera.SetViewPlaneDistance(12.5);
  camera.SetViewPlaneWidth(7.25);
  Bytes bytes = Store([&](CArchive& ar) { camera.Serialize(ar); });

  EXPECT_EQ(bytes, ByteWriter().Word(1).Byte(4).Chars("Cam1").Word(1).Word(1).Vector({1, 2, 3}).Vector({-5, 2, 3})
                       .Vector({1, 2, 5}).Double(12.5).Double(7.25).bytes());

  ICamera loaded;
  Load(bytes, [&](CArchive& ar) { loaded.Serialize(ar); });
  EXPECT_EQ(testing::StoreOf(loaded), bytes);
  // The frame is rebuilt after loading.
  ExpectNear(loaded.GetDirection(), {-1, 0, 0});
  ExpectNear(loaded.ToCamera({1, 2, 3}), {0, 0, 0});
}

TEST(CameraRecord, UnknownVersionKeepsTheConstructedValues) {
  ICamera camera;
  Load(ByteWriter().Word(2).Byte(1).Chars("X").bytes(), [&](CArchive& ar) {
    camera.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 2u);
  });
  EXPECT_EQ(camera.GetName(), "CAMERAX");
  EXPECT_EQ(camera.GetViewPlaneDistance(), 10.0);
  EXPECT_EQ(camera.GetViewPlaneWidth(), 10.0);
}

// Cameras and lights go to the clipboard as their own record, of kind 1;
// a paste of another kind takes nothing.
TEST(ItemClipboard, CamerasAndLightsCopyTheirRecordAsKindOne) {
  ICamera camera;
  ILight light;
  for (IRoot* item : {static_cast<IRoot*>(&camera), static_cast<IRoot*>(&light)}) {
    SCOPED_TRACE(item->GetRuntimeClass()->className);
    item->SetName("Clip");
    int kind = 0;
    const Bytes clip = Store([&](CArchive& ar) { EXPECT_TRUE(item->SerializeSelection(0, ar, kind)); });
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(clip, testing::StoreOf(*item));

    std::unique_ptr<IRoot> pasted(static_cast<IRoot*>(item->GetRuntimeClass()->CreateObject()));
    const std::string fresh = pasted->GetName();
    int points = 3;
    Load(clip, [&](CArchive& ar) { EXPECT_FALSE(pasted->SerializeSelection(0, ar, points)); });
    EXPECT_EQ(pasted->GetName(), fresh);
    Load(clip, [&](CArchive& ar) { EXPECT_TRUE(pasted->SerializeSelection(0, ar, kind)); });
    EXPECT_EQ(pasted->GetName(), "Clip");
  }
  EXPECT_TRUE(camera.CanPaste(0, 1));
  EXPECT_FALSE(camera.CanPaste(1, 1));
}

// --- Selection, bounds and drags ---

TEST(CameraEditing, SelectionIsTheEyePointsAndKeepsHandleOrder) {
  ICamera camera;
  IObList& handles = *camera.GetLevelList(0);
  ASSERT_EQ(handles.GetCount(), 3u);
  EXPECT_EQ(handles.GetHead(), &camera.Eye());
  EXPECT_EQ(handles.GetTail(), &camera.UpHandle());

  EXPECT_EQ(camera.Select(true), 1);
  EXPECT_EQ(camera.Select(true), 0);
  EXPECT_NE(camera.Eye().IsSelected(), 0);
  EXPECT_EQ(handles.GetSelectedCount(), 1);

  // Selecting another handle does not select the camera.
  EXPECT_EQ(camera.Select(false), -1);
  handles.SelectItem(&camera.TargetPoint(), true);
  EXPECT_EQ(camera.IsSelected(), 0);
  EXPECT_EQ(handles.GetHead(), &camera.Eye());
}

TEST(CameraEditing, DragsMoveAHandleAndTheFrameFollowsAtTheEnd) {
  ICamera camera;
  camera.PlaceAt({0, 0, 0}, 100);
  camera.MoveElement(0, camera.TargetPoint(), {0, 30, 0}, 5);
  EXPECT_EQ(camera.GetTarget(), CVector(0, 30, 0));
  ExpectNear(camera.GetDirection(), {-1, 0, 0});  // not yet
  camera.EndMoveElement(0, camera.TargetPoint(), {0, 40, 0}, 5);
  EXPECT_EQ(camera.GetTarget(), CVector(0, 40, 0));
  ExpectNear(camera.GetDirection(), {0, 1, 0});
  ExpectNear(camera.GetRight(), {1, 0, 0});

  camera.EndMoveElement(0, camera.Eye(), {0, 0, -5}, 5);
  ExpectNear(camera.ToCamera({0, 0, -5}), {0, 0, 0});
  EXPECT_EQ(camera.GetElementName(0, camera.Eye()), "CAMERAX");
}

// --- Drawing ---

ICamera& Pose(ICamera& camera, const CVector& eye, const CVector& target, const CVector& up) {
  camera.SetPosition(eye);
  camera.SetTarget(target);
  camera.SetUpPoint(up);
  return camera;
}

TEST(CameraDrawing, ParallelViewShowsTwoGreyLinesAndThreeLabels) {
  ICamera camera;
  Pose(camera, {0, 0, 0}, {0, 20, 0}, {0, 0, 10});
  IViewTran view;
  testing::SetUpParallel(view, IViewTran::front);
  RecordingSurface device;
  const DrawState before = device.GetState();
  camera.Draw(device, view, 1, 0);

  ASSERT_EQ(device.calls.size(), 5u);
  const DrawCall& toTarget = device.calls[0];
  EXPECT_EQ((std::vector<int>{toTarget.x1, toTarget.y1, toTarget.x2, toTarget.y2}),
            (std::vector<int>{100, 50, 140, 50}));
  EXPECT_EQ(device.calls[1].y2, 30);  // the up point
  EXPECT_EQ(toTarget.state.pen, draw_tools::kGreyPen);
  EXPECT_EQ(device.Texts(), (std::vector<std::string>{"C", "*", "U"}));
  EXPECT_EQ(device.GetState(), before);

  // Rubber-band modes draw the lines by inverting and write no labels.
  RecordingSurface band;
  camera.Draw(band, view, 2, 0);
  EXPECT_EQ(band.Count(DrawCall::line), 2u);
  EXPECT_EQ(band.Count(DrawCall::Kind::text), 0u);
  EXPECT_EQ(band.calls[0].state.rasterOp, RasterOp::invert);
  EXPECT_EQ(camera.GetDrawMode(), 2);
}

TEST(CameraDrawing, CameraViewsShowOtherCamerasCutAtTheViewPlane) {
  ICamera viewer;
  viewer.PlaceAt({50, 0, 0}, 100);  // view plane 10 in front
  IViewTran view;
  view.SetViewType(IViewTran::camera);
  view.SetClientRect(0, 0, 200, 100);
  view.SetCamera(&viewer);

  ICamera camera;
  // The target lies behind the viewer: that line is cut, its label skipped.
  Pose(camera, {0, 5, 0}, {100, 5, 0}, {0, 5, 10});
  RecordingSurface device;
  camera.Draw(device, view, 1, 0);
  ASSERT_EQ(device.Count(DrawCall::line), 2u);
  const DrawCall& cut = device.calls[0];
  EXPECT_EQ((std::vector<int>{cut.x1, cut.y1, cut.x2, cut.y2}), (std::vector<int>{120, 50, 200, 50}));
  EXPECT_EQ(device.Texts(), (std::vector<std::string>{"C", "U"}));

  RecordingSurface hidden;
  view.SetDisplayEditingObjects(false);
  camera.Draw(hidden, view, 1, 0);
  view.SetDisplayEditingObjects(true);
  viewer.Draw(hidden, view, 1, 0);  // never itself
  EXPECT_TRUE(hidden.calls.empty());

  // Handles are never drawn in a camera view.
  camera.DrawHandle(hidden, view, 1, 0);
  EXPECT_TRUE(hidden.calls.empty());
}

TEST(CameraDrawing, HandlesAreTheThreePointsWithTheEyeSelected) {
  ICamera camera;
  Pose(camera, {0, 0, 0}, {0, 20, 0}, {0, 0, 10});
  camera.Select(true);
  IViewTran view;
  testing::SetUpParallel(view, IViewTran::front);
  RecordingSurface device;
  camera.DrawHandle(device, view, 1, 0);
  ASSERT_EQ(device.Count(DrawCall::rectangle), 3u);
  EXPECT_EQ(device.calls[0].x1, 98);
  EXPECT_EQ(device.calls[0].state.brush, draw_tools::kRedBrush);
  EXPECT_EQ(device.calls[1].x1, 138);
  EXPECT_EQ(device.calls[1].state.brush, draw_tools::kBlackBrush);
  EXPECT_EQ(device.calls[2].y1, 28);
}

// --- Properties ---

class FakeEditor : public IPropertyEditor {
 public:
  CameraProperties answer;
  std::string refusal;
  bool EditCamera(ICamera& camera) override {
    CameraProperties shown = camera.GetProperties();
    EXPECT_EQ(shown.name, camera.GetName());
    if (auto message = answer.Check()) {
      refusal = *message;
      return false;
    }
    return camera.SetProperties(answer);
  }
};

TEST(CameraProperties, RangesRefuseAndTheEditorTakesOnlyAcceptedValues) {
  const std::string refusal = "Please enter a number between 0.1 and 30000.";
  EXPECT_FALSE(CameraProperties({"Cam", 0.1, 30000}).Check().has_value());
  EXPECT_EQ(CameraProperties({"Cam", 0.1, 30000.5}).Check(), refusal);

  ICamera camera;
  FakeEditor editor;
  editor.answer = {"Wide", 20, 2.5};
  EXPECT_TRUE(camera.EditProperties(editor));
  EXPECT_EQ(camera.GetName(), "Wide");
  EXPECT_EQ(camera.GetViewPlaneWidth(), 20);
  EXPECT_EQ(camera.GetViewPlaneDistance(), 2.5);

  editor.answer = {"Bad", 0.09, 2.5};
  EXPECT_FALSE(camera.EditProperties(editor));
  EXPECT_EQ(editor.refusal, refusal);
  EXPECT_FALSE(camera.SetProperties(editor.answer));
  EXPECT_EQ(camera.GetName(), "Wide");
  EXPECT_EQ(camera.GetViewPlaneWidth(), 20);

  IPropertyEditor none;  // no dialog: nothing is edited
  EXPECT_FALSE(camera.EditProperties(none));
}

// --- Lights ---

// The star marker's points are pinned by the arms drawn below.
TEST(LightModel, SelectionAndMovesGoThroughTheOnlyHandle) {
  ILight light;
  ASSERT_EQ(light.GetLevelList(0)->GetCount(), 1u);
  EXPECT_EQ(light.GetLevelList(0)->GetHead(), &light.Handle());
  light.SetName("Lht1");
  EXPECT_EQ(light.Select(true), 1);
  EXPECT_EQ(light.Select(true), 0);
  // The light reports the handle's state, so the scene list can count it.
  EXPECT_NE(light.Handle().IsSelected(), 0);
  EXPECT_EQ(light.GetLevelList(0)->GetSelectedCount(), 1);
  EXPECT_EQ(light.Select(false), -1);

  light.MoveElement(0, light.Handle(), {1, 2, 3}, 5);
  EXPECT_EQ(light.GetPosition(), CVector(1, 2, 3));
  light.SetPosition({7, 8, 9});
  EXPECT_EQ(light.Handle().GetPosition(), CVector(7, 8, 9));
  EXPECT_EQ(light.GetElementName(0, light.Handle()), "Lht1");
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
  testing::SetUpParallel(view, IViewTran::top);
  RecordingSurface device;
  const DrawState before = device.GetState();
  light.Draw(device, view, 1, 0);
  ASSERT_EQ(device.Count(DrawCall::line), 6u);
  // The arm along +X: world (18, 20, 0) to (13, 20, 0); +X is down in Top.
  const DrawCall& arm = device.calls[2];
  EXPECT_EQ((std::vector<int>{arm.x1, arm.y1, arm.x2, arm.y2}), (std::vector<int>{140, 86, 140, 76}));
  // The arm along +Y: (10, 28, 0) to (10, 23, 0).
  const DrawCall& side = device.calls[4];
  EXPECT_EQ((std::vector<int>{side.x1, side.y1, side.x2, side.y2}), (std::vector<int>{156, 70, 146, 70}));
  EXPECT_EQ(device.GetState(), before);
}

TEST(LightDrawing, CameraViewsOnlyWithEditingObjects) {
  testing::CameraView cv;  // the origin lies 50 ahead of the eye
  cv.view.SetDisplayEditingObjects(false);
  ILight light;
  RecordingSurface hidden;
  light.Draw(hidden, cv.view, 1, 0);
  EXPECT_TRUE(hidden.calls.empty());

  cv.view.SetDisplayEditingObjects(true);
  RecordingSurface shown;
  light.Draw(shown, cv.view, 1, 0);
  EXPECT_EQ(shown.Count(DrawCall::line), 6u);

  // A light behind the eye leaves nothing to draw.
  light.SetPosition({0, -100, 0});
  RecordingSurface behind;
  light.Draw(behind, cv.view, 1, 0);
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
