// What the editing objects draw, row by row, as a compact record of the calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "form_fixtures.h"
#include "scene/axis.h"
#include "scene/camera.h"
#include "scene/draw_tools.h"
#include "scene/form_object.h"
#include "scene/light.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::CameraView;
using testing::DrawCall;
using testing::MakeCube;
using testing::PointsOf;
using testing::RecordingSurface;
using testing::SetUpParallel;
using testing::Shapes;

char PenLetter(const Pen& pen) {
  using namespace draw_tools;
  for (auto [known, letter] : {std::pair{kBlackPen, 'k'}, {kGreyPen, 'g'}, {kWhitePen, 'w'}, {kRedPen, 'r'},
                               {kDashedGreyPen, 'd'}, {kOlivePen, 'o'}})
    if (pen == known) return letter;
  return '?';
}

char BrushLetter(const Brush& brush) {
  using namespace draw_tools;
  if (brush.style == Brush::hollow) return 'H';
  for (auto [known, letter] : {std::pair{kBlackBrush, 'K'}, {kWhiteBrush, 'W'}, {kRedBrush, 'R'}})
    if (brush == known) return letter;
  return '?';
}

// The calls: "x1,y1>x2,y2" and the pen, "[l,t,r,b]" with pen and brush, text
// "s@x,y"; "~" when inverting; "-" when tools were set but nothing drawn.
std::string Trace(const std::function<void(IDrawSurface&)>& draw, size_t* lines = nullptr) {
  RecordingSurface surface;
  draw(surface);
  EXPECT_EQ(surface.GetState(), DrawState());
  if (surface.calls.empty() && surface.stateChanges > 0) return "-";
  if (lines) *lines = surface.Count(DrawCall::line);
  std::string out;
  for (const DrawCall& c : surface.calls) {
    if (!out.empty()) out += ' ';
    if (c.kind == DrawCall::Kind::text) {
      out += c.text + '@' + std::to_string(c.x1) + ',' + std::to_string(c.y1);
      continue;
    }
    if (c.state.rasterOp == RasterOp::invert) out += '~';
    const auto n = [](int v) { return std::to_string(v); };
    if (c.kind == DrawCall::line)
      out += n(c.x1) + ',' + n(c.y1) + '>' + n(c.x2) + ',' + n(c.y2) + PenLetter(c.state.pen);
    else
      out += '[' + n(c.x1) + ',' + n(c.y1) + ',' + n(c.x2) + ',' + n(c.y2) + ']' + PenLetter(c.state.pen) +
             BrushLetter(c.state.brush);
  }
  return out;
}

// For long drawings: counts, texts and the extent of the lines from call `from`.
std::string Summary(const std::function<void(IDrawSurface&)>& draw, size_t from = 0) {
  RecordingSurface surface;
  draw(surface);
  EXPECT_EQ(surface.GetState(), DrawState());
  int minX = 1 << 20, maxX = -minX, minY = minX, maxY = maxX;
  for (size_t i = from; i < surface.calls.size(); ++i) {
    const DrawCall& c = surface.calls[i];
    if (c.kind != DrawCall::line) continue;
    minX = std::min({minX, c.x1, c.x2});
    maxX = std::max({maxX, c.x1, c.x2});
    minY = std::min({minY, c.y1, c.y2});
    maxY = std::max({maxY, c.y1, c.y2});
  }
  std::string texts;
  for (const std::string& t : surface.Texts()) texts += t;
  return std::to_string(surface.Count(DrawCall::line)) + " lines " + std::to_string(surface.Count(DrawCall::rectangle)) +
         " rects '" + texts + "' x " + std::to_string(minX) + ".." + std::to_string(maxX) + " y " +
         std::to_string(minY) + ".." + std::to_string(maxY);
}

TEST(Drawing, EachEditingObjectInEachKindOfView) {
  // 200 x 100 pixels over 100 units, origin at (100, 50); Top: +X down, +Y right.
  IViewTran front, top;
  SetUpParallel(front, IViewTran::front);
  SetUpParallel(top, IViewTran::top);
  CameraView cv;
  IViewTran& seen = cv.view;

  ICamera camera;
  camera.SetPosition({0, 0, 0});
  camera.SetTarget({0, 20, 0});
  camera.SetUpPoint({0, 0, 10});
  // Its target behind the viewing camera's eye.
  ICamera across;
  across.SetPosition({5, 0, 0});
  across.SetTarget({5, -100, 0});
  across.SetUpPoint({5, 0, 10});
  ILight light;
  light.SetPosition({10, 20, 0});
  ILight centred, behind;
  behind.SetPosition({0, -100, 0});
  IAxis frame, cutFrame;  // ten units long
  // Behind the view plane but for the stretched y axis, cut there.
  cutFrame.SetPosition({0, -45, 0});
  cutFrame.SetScale({1, 2, 1});

  Shapes s;
  IPolygon& square = s.Polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
  IPolygon& edge = s.Polygon({{0, 0, 0}, {1, 0, 0}});
  IPolygon& big = s.Polygon({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}});
  // Camera coordinates (5, 0, 50), (5, 0, -10) behind the eye, (-5, 0, 50).
  IPolygon& crossing = s.Polygon({{5, 0, 0}, {5, -60, 0}, {-5, 0, 0}});
  IPolygon& hidden = s.Polygon({{0, -45, 0}, {1, -45, 0}, {1, -45, 1}});
  // In the plane y = 0: one faces +Y, away from the eye, the other toward it.
  IPolygon& away = s.Polygon({{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}});
  IPolygon& toward = s.Polygon({{0, 0, 1}, {1, 0, 1}, {1, 0, 0}, {0, 0, 0}});
  CameraView culledCv;
  IViewTran& culled = culledCv.view;
  IViewTran culledFront;
  SetUpParallel(culledFront, IViewTran::front);
  culled.SetRemoveBackFaces(true);
  culledFront.SetRemoveBackFaces(true);

  // The default handle: world (0, 10, 5) in a Front view 150 high is (120, 65).
  IViewTran tall;
  SetUpParallel(tall, IViewTran::front);
  tall.SetClientRect(0, 0, 200, 150);
  IPoint point;
  point.world = {0, 10, 5};
  IPoint far;
  far.world = {0, 1e300, -1e300};

  // The cube unturned: its box covers pixels x 140.., y 70.. in Top.
  auto cube = MakeCube();
  cube->GetFrame().SetRotation({0, 0, 0});
  cube->UpdateWorldGeometry();
  auto atOrigin = MakeCube();
  atOrigin->GetFrame().SetPosition({0, 0, 0});
  atOrigin->UpdateWorldGeometry();
  auto turned = MakeCube();
  turned->Select(true);
  turned->MarkPolygonsUsing(kPointLevel, *PointsOf(*turned)[0]);

  using Surface = IDrawSurface;
  // A row's drawing of an element, or of its handle after selecting it.
  auto D = [](IDrawable& e, const IViewTran& v, int mode) {
    return [&e, &v, mode] { return Trace([&](Surface& d) { e.Draw(d, v, mode, 0); }); };
  };
  auto H = [](IDrawable& e, const IViewTran& v, int mode, bool select = false) {
    return [&e, &v, mode, select] {
      if (select) e.Select(true);
      return Trace([&](Surface& d) { e.DrawHandle(d, v, mode, 0); });
    };
  };
  const struct {
    const char* what;
    std::function<std::string()> drawn;
    std::string expected;
  } rows[] = {
      // Cameras: grey lines and labels; bands invert without labels; eye red when selected.
      {"camera", D(camera, front, 1),
       "100,50>140,50g 100,50>100,30g C@100,50 *@140,50 U@100,30"},
      {"camera band", D(camera, front, 2), "~100,50>140,50g ~100,50>100,30g"},
      {"camera handles",
       H(camera, front, 1, true),
       "[98,48,103,53]rR [138,48,143,53]kK [98,28,103,33]kK"},
      // Camera views cut lines behind the eye; no self-drawing and no handles there.
      {"camera seen", D(across, seen, 1), "120,50>200,50g 120,50>120,10g C@120,50 U@120,10"},
      {"viewing camera", D(cv.camera, seen, 1), ""},
      // Lights: six arms about the position; +X is down in Top.
      {"light", D(light, top, 1), "140,70>140,70k 140,70>140,70k 140,86>140,76k 140,54>140,64k 156,70>146,70k 124,70>134,70k"},
      {"light seen", D(centred, seen, 1), "100,18>100,38k 100,82>100,62k 132,50>112,50k 68,50>88,50k 100,50>100,50k 100,50>100,50k"},
      {"light behind the eye", D(behind, seen, 1), "-"},
      // Frames: labelled axes; inverting and repeating modes draw no labels.
      {"frame", D(frame, front, 1),
       "100,50>100,50k x@100,50 100,50>120,50k y@120,50 100,50>100,30k z@100,30"},
      {"frame band", D(frame, front, 5), "~100,50>100,50k ~100,50>120,50k ~100,50>100,30k"},
      {"frame repeated",
D(frame, front, kDrawModeRepeat), "~100,50>100,50k ~100,50>120,50k ~100,50>100,30k"},
      {"frame seen", D(frame, seen, 1), "100,50>140,50k x@140,50 100,50>100,50k y@100,50 100,50>100,10k z@100,10"},
      {"frame cut", D(cutFrame, seen, 1), "100,50>100,50k y@100,50"},
      // Polygons: closed outlines; an edge is never doubled back; the handle at the centre.
      {"polygon", D(square, top, 1), "100,50>100,52k 100,52>102,52k 102,52>102,50k 102,50>100,50k"},
      {"edge", D(edge, top, 2), "~100,50>100,52k"},
      {"polygon handle", H(big, top, 1), "[100,50,105,55]kK"},
      // To the cut at depth 10, from the cut on the way back, the far edge.
      {"polygon cut", D(crossing, seen, 1), "120,50>200,50k 133,50>80,50k 80,50>120,50k"},
      {"polygon behind", D(hidden, seen, 1), "-"},
      // Back faces go only with the switch, and only in camera views.
      {"facing away", D(away, seen, 1), "100,50>104,50k 104,50>104,46k 104,46>100,46k 100,46>100,50k"},
      {"facing away culled", D(away, culled, 1), ""},
      {"facing the eye culled", D(toward, culled, 1), "100,46>104,46k 104,46>104,50k 104,50>100,50k 100,50>100,46k"},
      {"facing away, parallel", D(away, culledFront, 1), "100,50>100,50k 100,50>100,48k 100,48>100,48k 100,48>100,50k"},
      // The default handle: filled or hollow by mode, red when selected; far points saturate.
      {"point handle", H(point, tall, 1), "[118,63,123,68]kK"},
      {"point handle band", H(point, tall, 2), "~[118,63,123,68]kH"},
      {"point handle mode 9", H(point, tall, 9), "[118,63,123,68]gH"},
      {"far handle", H(far, tall, 1), "[1073741822,1073741822,1073741827,1073741827]kK"},
      {"selected handle",
       H(point, tall, 1, true),
       "[118,63,123,68]rR"},
      {"selected handle band", H(point, tall, 5), "~[118,63,123,68]rH"},
      // Forms: frame then polygons, or only the box when quick or dragged.
      {"form", [&] { return Summary([&](Surface& d) { cube->Draw(d, top, 1, 0); }, 6); }, "27 lines 0 rects 'xyz' x 140..144 y 70..74"},
      {"quick form",
       [&] {
         cube->SetQuickDraw(true);
         return Summary([&](Surface& d) { cube->Draw(d, top, 1, 0); }, 6);
       },
       "15 lines 0 rects 'xyz' x 140..144 y 70..74"},
      {"form dragged",
       [&] {
         cube->SetQuickDraw(false);
         cube->MoveElement(kRootLevel, cube->GetFrame(), {0, 0, 0}, 7);
         return Summary([&](Surface& d) { cube->Draw(d, top, 5, 0); }, 6);
       },
       "15 lines 0 rects '' x 100..104 y 50..54"},
      {"form drag feedback", [&] { return Summary([&](Surface& d) { cube->Draw(d, top, 7, 0); }, 6); }, "15 lines 0 rects 'xyz' x 100..104 y 50..54"},
      // Form handle; point level: polygons using the point; polygon level: point then polygon squares.
      {"form handle", [&] { return Trace([&](Surface& d) { turned->DrawLevelHandles(kRootLevel, d, top, 1, 0); }); }, "[138,68,143,73]rR"},
      {"point level", [&] { return Summary([&](Surface& d) { turned->DrawLevel(kPointLevel, d, top, 1, 0); }); }, "12 lines 0 rects '' x 139..144 y 65..70"},
      {"point level band", [&] { return Trace([&](Surface& d) { turned->DrawLevel(kPointLevel, d, top, 2, 0); }); }, ""},
      {"polygon level handles",
       [&] { return Trace([&](Surface& d) { turned->DrawLevelHandles(kPolygonLevel, d, top, 1, 0); }); }, "[138,68,143,73]gH [142,67,147,72]gH [137,64,142,69]gH [141,63,146,68]gH [138,68,143,73]gH [142,67,147,72]gH [137,64,142,69]gH [141,63,146,68]gH [139,65,144,70]kK [139,65,144,70]kK"},
      // A layer's handle is its grey frame and a square.
      {"layer handle", H(*turned->GetFirstLayer(), top, 1), "140,70>144,69g x@144,69 140,70>139,66g y@139,66 140,70>140,70g z@140,70 [138,68,143,73]kK"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(row.drawn(), row.expected);
  }

  // Frames and lights show in camera views only with the editing objects.
  seen.SetDisplayEditingObjects(false);
  EXPECT_EQ(Trace([&](Surface& d) {
              frame.Draw(d, seen, 1, 0);
              centred.Draw(d, seen, 1, 0);
              across.Draw(d, seen, 1, 0);
            }),
            "");
  // Modes are stored for repeats, except drag feedback and Draw's within DrawHandle.
  EXPECT_EQ(camera.GetDrawMode(), 2);
  EXPECT_EQ(point.GetHandleMode(), 5);
  EXPECT_EQ(point.GetDrawMode(), 1);
  EXPECT_EQ(Trace([&](Surface& d) { point.DrawHandle(d, tall, kDrawModeDragFeedback, 0); }), "[118,63,123,68]rR");
  EXPECT_EQ(point.GetHandleMode(), 5);
  EXPECT_EQ(Trace([&](Surface& d) { point.DrawHandle(d, seen, 9, 0); }), "");
  EXPECT_EQ(point.GetHandleMode(), 9);
  // Drawing in a camera view refreshes the points' camera coordinates.
  seen.SetDisplayEditingObjects(true);
  Trace([&](Surface& d) { atOrigin->Draw(d, seen, 1, 0); });
  EXPECT_EQ(PointsOf(*atOrigin)[0]->normal, CVector(0, 0, 50));
}

}  // namespace
}  // namespace brevoxa
