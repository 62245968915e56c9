// The default handle of an element: a 5 x 5 square at its projected
// position, filled or outlined by the drawing mode, and the stored mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "math/view_tran.h"
#include "scene/draw_tools.h"
#include "scene/point.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::DrawCall;
using testing::RecordingSurface;

// A Front view of 200 x 150 pixels, 2 pixels per unit: world (0, 10, 5) is
// pixel (120, 65).
struct HandleFixture : ::testing::Test {
  HandleFixture() {
    view.SetViewType(IViewTran::front);
    view.SetClientRect(0, 0, 200, 150);
    view.SetViewWidth(100);
    point.world = {0, 10, 5};
  }
  const DrawCall& DrawOnce(int mode) {
    device.calls.clear();
    point.DrawHandle(device, view, mode, 0);
    EXPECT_EQ(device.calls.size(), 1u);
    return device.calls.back();
  }
  IViewTran view;
  IPoint point;
  RecordingSurface device;
};

TEST_F(HandleFixture, SquareSpansTwoPixelsEachWayAndRestoresTheState) {
  const DrawState before = device.GetState();
  const DrawCall& square = DrawOnce(1);
  EXPECT_EQ(square.kind, DrawCall::rectangle);
  EXPECT_EQ((std::vector<int>{square.x1, square.y1, square.x2, square.y2}), (std::vector<int>{118, 63, 123, 68}));
  EXPECT_EQ(square.state.pen, draw_tools::kBlackPen);
  EXPECT_EQ(square.state.brush, draw_tools::kBlackBrush);
  EXPECT_EQ(device.GetState(), before);
}

TEST_F(HandleFixture, OutlinedInModesTwoFiveAndNineFilledOtherwise) {
  using draw_tools::kHollowBrush;
  for (int mode : {2, 5, 9}) EXPECT_EQ(DrawOnce(mode).state.brush, kHollowBrush) << mode;
  for (int mode : {1, 3, 4, 6, 7, 8}) EXPECT_NE(DrawOnce(mode).state.brush.style, Brush::hollow) << mode;
  EXPECT_EQ(DrawOnce(3).state.brush, draw_tools::kWhiteBrush);  // erasing

  point.Select(true);
  const DrawCall& selected = DrawOnce(1);
  EXPECT_EQ(selected.state.pen, draw_tools::kRedPen);
  EXPECT_EQ(selected.state.brush, draw_tools::kRedBrush);
  const DrawCall& band = DrawOnce(5);
  EXPECT_EQ(band.state.pen, draw_tools::kRedPen);
  EXPECT_EQ(band.state.brush, kHollowBrush);
  EXPECT_EQ(band.state.rasterOp, RasterOp::invert);
}

TEST_F(HandleFixture, RepeatReusesTheStoredModeAndFeedbackIsNotStored) {
  DrawOnce(2);
  EXPECT_EQ(point.GetHandleMode(), 2);
  EXPECT_EQ(DrawOnce(kDrawModeRepeat).state.rasterOp, RasterOp::invert);
  DrawOnce(kDrawModeDragFeedback);
  EXPECT_EQ(point.GetHandleMode(), 2);
  EXPECT_EQ(DrawOnce(kDrawModeRepeat).state.brush, draw_tools::kHollowBrush);
  EXPECT_EQ(point.GetDrawMode(), 1);  // Draw keeps its own mode
}

TEST_F(HandleFixture, NothingInACameraViewButTheModeIsStillStored) {
  view.SetViewType(IViewTran::camera);
  point.DrawHandle(device, view, 9, 0);
  EXPECT_TRUE(device.calls.empty());
  EXPECT_EQ(device.stateChanges, 0);
  EXPECT_EQ(point.GetHandleMode(), 9);
}

TEST_F(HandleFixture, FarPointsSaturateInsteadOfOverflowing) {
  point.world = {0, 1e300, -1e300};
  const DrawCall& square = DrawOnce(1);
  EXPECT_EQ(square.x2, IViewTran::kPixelLimit + 3);
  EXPECT_EQ(square.y1, IViewTran::kPixelLimit - 2);
}

}  // namespace
}  // namespace brevoxa
