// What forms draw: frame and polygons or the quick box, and the elements of
// the point and polygon levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "form_fixtures.h"
#include "scene/draw_tools.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::DrawCall;
using testing::MakeCube;
using testing::PointsOf;
using testing::RecordingSurface;

class FormDrawingTest : public ::testing::Test {
 protected:
  FormDrawingTest() { testing::SetUpParallel(view_, IViewTran::top); }

  // Left, right, top and bottom of the lines drawn after the frame's three
  // axes and labels.
  std::vector<int> BoxDrawn() const {
    int minX = 1 << 20, maxX = -minX, minY = minX, maxY = maxX;
    for (size_t i = 6; i < surface_.calls.size(); ++i) {
      const DrawCall& c = surface_.calls[i];
      minX = std::min({minX, c.x1, c.x2});
      maxX = std::max({maxX, c.x1, c.x2});
      minY = std::min({minY, c.y1, c.y2});
      maxY = std::max({maxY, c.y1, c.y2});
    }
    return {minX, maxX, minY, maxY};
  }

  IViewTran view_;
  RecordingSurface surface_;
};

TEST_F(FormDrawingTest, FrameThenPolygonsOrOnlyTheBox) {
  auto cube = MakeCube();
  // Unturned, so that the corners fall on whole pixels.
  cube->GetFrame().SetRotation({0, 0, 0});
  cube->UpdateWorldGeometry();
  cube->Draw(surface_, view_, 1, 0);
  EXPECT_EQ(surface_.Count(DrawCall::line), 3u + 6 * 4u);
  EXPECT_EQ(surface_.Texts(), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(surface_.GetState(), DrawState());

  cube->SetQuickDraw(true);
  surface_.calls.clear();
  cube->Draw(surface_, view_, 1, 0);
  EXPECT_EQ(surface_.Count(DrawCall::line), 3u + 12u);
  // Top view: world x 10..12 runs down from pixel 70, y 20..22 to the right
  // from pixel 140.
  EXPECT_EQ(BoxDrawn(), (std::vector<int>{140, 144, 70, 74}));

  // Drag feedback shows the box too, and it goes with the dragged frame.
  cube->SetQuickDraw(false);
  cube->MoveElement(kRootLevel, cube->GetFrame(), {0, 0, 0}, 7);
  for (int mode : {5, 7}) {
    surface_.calls.clear();
    cube->Draw(surface_, view_, mode, 0);
    EXPECT_EQ(surface_.Count(DrawCall::line), 3u + 12u) << mode;
    EXPECT_EQ(BoxDrawn(), (std::vector<int>{100, 104, 50, 54}));
  }
}

TEST_F(FormDrawingTest, CameraViewsRefreshThePointsCameraCoordinates) {
  testing::CameraView cv;
  auto cube = MakeCube();
  cube->GetFrame().SetPosition({0, 0, 0});
  cube->UpdateWorldGeometry();
  cube->Draw(surface_, cv.view, 1, 0);
  // Point 0 lies at the origin, 50 ahead of the eye.
  EXPECT_EQ(PointsOf(*cube)[0]->normal, CVector(0, 0, 50));
}

TEST_F(FormDrawingTest, HandlesAndLevels) {
  auto cube = MakeCube();
  // The form's handle is its frame's square, red when selected.
  cube->Select(true);
  cube->DrawLevelHandles(kRootLevel, surface_, view_, 1, 0);
  ASSERT_EQ(surface_.calls.size(), 1u);
  EXPECT_EQ(surface_.calls[0].x1, 138);
  EXPECT_EQ(surface_.calls[0].state.pen, draw_tools::kRedPen);

  // The point level draws the polygons using the point being edited,
  // except as inverted drag feedback.
  cube->MarkPolygonsUsing(kPointLevel, *PointsOf(*cube)[0]);
  for (int mode : {1, 2, 5}) {
    surface_.calls.clear();
    cube->DrawLevel(kPointLevel, surface_, view_, mode, 0);
    EXPECT_EQ(surface_.calls.size(), mode == 1 ? 12u : 0u);
  }

  // The polygon level shows the points' hollow grey squares, then the
  // polygons' filled ones.
  surface_.calls.clear();
  cube->DrawLevelHandles(kPolygonLevel, surface_, view_, 1, 0);
  ASSERT_EQ(surface_.calls.size(), 8u + 2u);
  EXPECT_EQ(surface_.calls[0].state.brush.style, Brush::hollow);
  EXPECT_EQ(surface_.calls[0].state.pen, draw_tools::kGreyPen);
  EXPECT_EQ(surface_.calls[9].state.brush, draw_tools::kBlackBrush);
  surface_.calls.clear();
  cube->DrawLevelHandles(kPolygonLevel, surface_, view_, 3, 0);
  EXPECT_EQ(surface_.calls[0].state.pen, draw_tools::kWhitePen);

  // A layer's handle is its grey frame and a square.
  surface_.calls.clear();
  cube->GetFirstLayer()->DrawHandle(surface_, view_, 1, 0);
  EXPECT_EQ(surface_.Count(DrawCall::line), 3u);
  EXPECT_EQ(surface_.Count(DrawCall::rectangle), 1u);
  EXPECT_EQ(surface_.calls[0].state.pen, draw_tools::kGreyPen);
}

}  // namespace
}  // namespace brevoxa
