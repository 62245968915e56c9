// The view transformation: projections, inverses, hit tests, drawing modes
// and the record of versions 1 to 3.
#include "math/view_tran.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "persist/archive.h"
#include "scene/camera.h"
#include "scene/draw_tools.h"
#include "scene/point.h"
#include "support/bytes.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::Load;
using testing::RecordingSurface;

constexpr double kTol = 1e-9;

void MakeParallel(IViewTran& view, int type) {
  view.SetViewType(type);
  view.SetClientRect(0, 0, 200, 150);
  view.SetViewWidth(100);
}

TEST(ViewProjection, EachParallelViewLaysItsOwnAxesOnTheScreen) {
  // 2 pixels per unit about (100, 75); the depth axis never moves a pixel.
  const struct { int type; CVector world; PixelPoint pixel; } rows[] = {
      {IViewTran::front, {0, 10, 5}, {120, 65}},  {IViewTran::front, {-40, 10, 5}, {120, 65}},
      {IViewTran::top, {10, 0, 0}, {100, 95}},    {IViewTran::top, {0, 10, 0}, {120, 75}},
      {IViewTran::top, {0, 0, 99}, {100, 75}},    {IViewTran::right, {10, 0, 0}, {80, 75}},
      {IViewTran::right, {0, 0, 10}, {100, 55}},  {IViewTran::right, {0, 99, 0}, {100, 75}},
  };
  for (const auto& row : rows) {
    IViewTran view;
    MakeParallel(view, row.type);
    EXPECT_EQ(view.ToPixel(row.world), row.pixel) << row.type;
  }

  // Panning moves the shown centre; halves are integer halves.
  IViewTran view;
  view.SetClientRect(0, 0, 201, 151);
  view.SetViewWidth(201);
  view.SetCentre(3, -2);
  EXPECT_EQ(view.ToPixel(CVector(0, 3, 2)), (PixelPoint{100, 75}));
}

TEST(ViewProjection, CameraViewDividesByDepth) {
  IViewTran view;
  view.SetViewType(IViewTran::camera);
  view.SetClientRect(0, 0, 200, 100);
  // The own camera: view plane 10 wide at distance 10, so f = 200. Behind
  // the eye is not rejected: the point mirrors through the centre.
  EXPECT_EQ(view.ToPixel(CVector(1, 2, 10)), (PixelPoint{120, 10}));
  EXPECT_EQ(view.ToPixel(CVector(1, 2, -10)), (PixelPoint{80, 90}));

  // A point projects from its scratch camera coordinates here.
  IPoint point;
  point.world = {0, 10, 5};
  point.normal = {1, 2, 10};
  EXPECT_EQ(view.ToPixel(point), (PixelPoint{120, 10}));
}

TEST(ViewProjection, PixelsTruncateTowardZeroAndSaturate) {
  IViewTran view;
  MakeParallel(view, IViewTran::front);  // 2 pixels per unit, x = 2y + 100
  EXPECT_EQ(view.ToPixel(CVector(0, -51.4, 0)).x, -2);  // -2.8
  EXPECT_EQ(view.ToPixel(CVector(0, -49.9, 0)).x, 0);   // 0.2

  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(view.ToPixel(CVector(0, 1e300, 0)).x, IViewTran::kPixelLimit);
  EXPECT_EQ(view.ToPixel(CVector(0, -inf, 0)).x, -IViewTran::kPixelLimit);
  EXPECT_EQ(view.ToPixel(CVector(0, nan, nan)), (PixelPoint{0, 0}));

  // A camera point a hair off the eye plane is far out, but held.
  view.SetViewType(IViewTran::camera);
  EXPECT_EQ(view.ToPixel(CVector(1, -1, 1e-300)), (PixelPoint{IViewTran::kPixelLimit, IViewTran::kPixelLimit}));

  // Degenerate sizes stay finite.
  MakeParallel(view, IViewTran::front);
  view.SetViewWidth(0);
  EXPECT_EQ(view.ToPixel(CVector(0, 10, 5)), (PixelPoint{100, 75}));
  view.SetClientRect(0, 0, 0, 0);
  view.SetViewWidth(100);
  EXPECT_EQ(view.ToPixel(CVector(0, 10, 5)), (PixelPoint{0, 0}));
  EXPECT_EQ(view.HitTest({0, 0, 0}, {0, 0, 0}), -1.0);

  view.SetViewType(IViewTran::camera);
  view.GetCamera()->SetViewPlaneWidth(0);
  EXPECT_EQ(view.ToPixel(CVector(1, 1, 1)), (PixelPoint{0, 0}));
}

TEST(ViewInverse, ScreenToWorldOnThePlaneThroughTheOrigin) {
  IViewTran view;
  MakeParallel(view, IViewTran::right);
  view.SetCentre(7, -3);
  EXPECT_EQ(view.ScreenToWorld(100, 75), CVector(-7, 0, 3));
  for (int type : {IViewTran::top, IViewTran::front, IViewTran::right}) {
    SCOPED_TRACE(type);
    view.SetViewType(type);
    double x = 0, y = 0;
    view.Project(view.ScreenToWorld(131, 20), x, y);
    EXPECT_NEAR(x, 131, kTol);
    EXPECT_NEAR(y, 20, kTol);
  }

  view.SetViewType(IViewTran::camera);
  EXPECT_EQ(view.ScreenToWorld(10, 10), CVector());
}

TEST(ViewInverse, HitTestIsStrictInTheTwoShownCoordinates) {
  // 3 pixels = 1.5 units; the depth coordinate never counts.
  const struct { int type; CVector hit, misses[2]; } rows[] = {
      {IViewTran::front, {500, 1.49, -1.49}, {{0, 1.5, 0}, {0, 0, -1.5}}},
      {IViewTran::top, {1.4, 1.4, 500}, {{1.5, 0, 0}, {0, -1.5, 0}}},
      {IViewTran::right, {1.4, 500, 1.4}, {{0, 0, 1.5}, {-1.5, 0, 0}}},
  };
  const CVector a(0, 0, 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    IViewTran view;
    MakeParallel(view, row.type);
    EXPECT_EQ(view.HitTest(a, row.hit), 0.0);
    for (const CVector& miss : row.misses) EXPECT_EQ(view.HitTest(a, miss), -1.0);
  }
  IViewTran camera;
  camera.SetViewType(IViewTran::camera);
  EXPECT_EQ(camera.HitTest(a, a), -1.0);
}

TEST(ViewDrawModes, PensBrushesAndRasterOperationsByModeAndStyle) {
  using namespace draw_tools;
  const Pen pen{Pen::none, Rgb{9, 9, 9}, 3};
  const Brush brush{Brush::solid, Rgb{7, 7, 7}};
  const Rgb background{1, 2, 3};
  const DrawState start{pen, brush, RasterOp::invert, background};
  const struct { int mode, style; DrawState expected; } rows[] = {
      {1, 1, {kBlackPen, kBlackBrush, RasterOp::copy, kBlack}},
      {1, 2, {kGreyPen, brush, RasterOp::copy, kBlack}},
      {7, 4, {kDashedGreyPen, brush, RasterOp::copy, kBlack}},
      {1, 5, {kRedPen, kRedBrush, RasterOp::copy, kBlack}},
      {4, 6, {kOlivePen, brush, RasterOp::invert, background}},
      {3, 5, {kWhitePen, kWhiteBrush, RasterOp::copy, kWhite}},      // mode 3 forces style 3
      {8, 1, {kRedPen, kRedBrush, RasterOp::copy, kBlack}},          // mode 8 forces style 5
      {9, 5, {kGreyPen, kHollowBrush, RasterOp::invert, background}},  // style 2, hollow only
      {2, 1, {kBlackPen, kHollowBrush, RasterOp::invert, kWhite}},
      {5, 5, {kRedPen, kHollowBrush, RasterOp::invert, kWhite}},
      {6, 0, start},  // neither the style nor the mode changes anything
  };
  IViewTran view;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.mode) + "/" + std::to_string(row.style));
    RecordingSurface device;
    device.SetState(start);
    EXPECT_EQ(view.SelectDrawMode(device, row.mode, row.style), start);
    EXPECT_EQ(device.GetState(), row.expected);
  }
}

ByteWriter& Version3Tail(ByteWriter& w) {
  return w.Double(1.5).Double(-2.0).Double(80.0).Double(900.0).Byte(0).Word(0).Word(0).Word(320).Word(240);
}

TEST(ViewRecord, Version3LayoutWithTheOwnCameraWritesNoCamera) {
  IViewTran view;
  view.SetViewType(IViewTran::top);
  view.SetCentre(1.5, -2.0);
  view.SetViewWidth(80);
  view.SetWorldWidth(900);
  view.SetDisplayEditingObjects(false);
  view.SetClientRect(0, 0, 320, 240);
  view.SetRemoveBackFaces(true);

  ByteWriter expected;
  expected.Word(3).Byte(1).Word(0);  // version, Top, null camera
  Version3Tail(expected).Byte(1);
  Bytes bytes = testing::StoreOf(view);
  EXPECT_EQ(bytes, expected.bytes());

  IViewTran loaded;
  ICamera other;
  loaded.SetCamera(&other);
  Load(bytes, [&](CArchive& ar) { loaded.Serialize(ar); });
  EXPECT_TRUE(loaded.HasOwnCamera());
  EXPECT_EQ(testing::StoreOf(loaded), bytes);

  // The client rectangle is held to sixteen bits.
  view.SetClientRect(-5, 0, 70000, 480);
  Load(testing::StoreOf(view), [&](CArchive& ar) { loaded.Serialize(ar); });
  EXPECT_EQ(loaded.GetWidth(), 65535);
  EXPECT_EQ(loaded.GetHeight(), 480);
}

TEST(ViewRecord, OlderVersionsAndUnknownVersions) {
  // Version 2: no back-face byte, so the flag is off afterwards.
  ByteWriter v2;
  v2.Word(2).Byte(3).Word(0);
  Version3Tail(v2);
  IViewTran view;
  view.SetRemoveBackFaces(true);
  Load(v2.bytes(), [&](CArchive& ar) {
    view.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 0u);
  });
  EXPECT_FALSE(view.GetRemoveBackFaces());
  EXPECT_EQ(view.GetViewType(), IViewTran::right);
  EXPECT_EQ(view.GetViewWidth(), 80);

  // Version 1: pan and zoom as 16-bit words.
  Bytes v1 = ByteWriter().Word(1).Byte(2).Word(0).Word(5).Word(6).Word(100).Word(1000)
                 .Byte(1).Word(0).Word(0).Word(640).Word(480).bytes();
  IViewTran old;
  Load(v1, [&](CArchive& ar) {
    old.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 0u);
  });
  // Stored again, it is the version 3 record of the same values.
  ByteWriter v3;
  v3.Word(3).Byte(2).Word(0).Double(5).Double(6).Double(100).Double(1000).Byte(1).Word(0).Word(0).Word(640).Word(480);
  EXPECT_EQ(testing::StoreOf(old), v3.Byte(0).bytes());

  // Any other version: nothing more is read.
  Load(ByteWriter().Word(4).Byte(3).Word(0).bytes(), [&](CArchive& ar) {
    old.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 3u);
  });

  // A view type no dialog offers falls back to Front.
  ByteWriter bad;
  bad.Word(3).Byte(77).Word(0);
  Version3Tail(bad).Byte(0);
  Load(bad.bytes(), [&](CArchive& ar) { view.Serialize(ar); });
  EXPECT_EQ(view.GetViewType(), IViewTran::front);
}

}  // namespace
}  // namespace brevoxa
