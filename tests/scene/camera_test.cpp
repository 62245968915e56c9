// Cameras and lights: the camera's frame, drags and the properties (what
// they draw is in drawing_test; their records are pinned by the corpus).
#include "scene/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "form_fixtures.h"
#include "math/bounds.h"
#include "math/view_tran.h"
#include "scene/light.h"
#include "scene/property_editor.h"

namespace brevoxa {
namespace {

constexpr double kTol = 1e-12;

void ExpectNear(const CVector& actual, const CVector& expected) { testing::ExpectNear(actual, expected, kTol); }

bool IsFinite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

TEST(CameraFrame, PlaceAtLooksAlongMinusXWithZUp) {
  ICamera camera;
  camera.PlaceAt({0, 0, 0}, 100);
  ExpectNear(camera.GetDirection(), {-1, 0, 0});
  ExpectNear(camera.GetUp(), {0, 0, 1});
  ExpectNear(camera.GetRight(), {0, 1, 0});
  CBoundingBox box;
  camera.AddToBounds(box);
  EXPECT_EQ(box.min, CVector(-25, 0, 0));
  EXPECT_EQ(box.max, CVector(0, 0, 100.0 / 12));

  // Placed elsewhere the frame is the same; only the origin moves. Camera
  // coordinates are right (+Y here), up (+Z) and depth.
  camera.PlaceAt({10, 0, 0}, 40);
  ExpectNear(camera.ToCamera({8, 2, 3}), {2, 3, 2});
  ExpectNear(camera.ToCamera({12, 0, 0}), {0, 0, -2});
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

TEST(ItemEditing, DragsMoveAHandleAndTheCameraFrameFollowsAtTheEnd) {
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

  ILight light;
  light.MoveElement(0, light.Handle(), {1, 2, 3}, 5);
  EXPECT_EQ(light.GetPosition(), CVector(1, 2, 3));
}

class FakeEditor : public IPropertyEditor {
 public:
  CameraProperties answer;
  bool EditCamera(ICamera& camera) override { return camera.SetProperties(answer); }
};

TEST(ItemProperties, RangesRefuseAndOnlyAcceptedValuesAreTaken) {
  EXPECT_FALSE(CameraProperties({"Cam", 0.1, 30000}).Check().has_value());
  EXPECT_EQ(CameraProperties({"Cam", 0.1, 30000.5}).Check(), "Please enter a number between 0.1 and 30000.");
  ICamera camera;
  FakeEditor editor;
  editor.answer = {"Wide", 20, 2.5};
  EXPECT_TRUE(camera.EditProperties(editor));
  EXPECT_EQ(camera.GetViewPlaneDistance(), 2.5);
  editor.answer = {"Bad", 0.09, 2.5};
  EXPECT_FALSE(camera.EditProperties(editor));
  EXPECT_EQ(camera.GetName(), "Wide");
  EXPECT_EQ(camera.GetViewPlaneWidth(), 20);
}

}  // namespace
}  // namespace brevoxa
