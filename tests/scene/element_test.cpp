// Scene elements: selection, the element and item records, the class tree
// with its capability table, the default handle (a 5 x 5 square at the
// projected position, filled or outlined by the drawing mode, and the stored
// mode), and the top-level items' memory-stream copy and drag routing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "persist/class_registry.h"
#include "scene/camera.h"
#include "scene/draw_tools.h"
#include "scene/drawable.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/root.h"
#include "support/bytes.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;

TEST(SceneElementRecords, VersionWordsAndUnknownVersions) {
  IDrawable element;
  IRoot item;
  EXPECT_EQ(testing::StoreOf(element), (Bytes{0x01, 0x00}));
  EXPECT_EQ(testing::StoreOf(item), (Bytes{0x01, 0x00, 0x01, 0x00}));
  // The element ignores its word; an item stops after a word it does not know.
  EXPECT_EQ(testing::LoadInto(element, ByteWriter().Word(7).Word(0xBEEF).bytes()), 2u);
  EXPECT_EQ(testing::LoadInto(item, ByteWriter().Word(1).Word(9).bytes()), 0u);
  EXPECT_EQ(testing::LoadInto(item, ByteWriter().Word(2).Word(9).bytes()), 2u);
}

struct ClassRow {
  const char* name;
  const char* base;
  bool flags[5];  // scale, rotate, move, contents information, properties
};

const ClassRow kClassTable[] = {
    {"IDrawable", "CObject", {false, false, false, false, false}},
    {"IRoot", "IDrawable", {false, false, false, false, false}},
    {"IObject", "IRoot", {true, true, true, false, true}},
    {"ICamera", "IRoot", {false, false, true, false, true}},
    {"ILight", "IRoot", {false, false, true, false, true}},
    {"IAxis", "IDrawable", {false, false, false, false, false}},
    {"ILayer", "IDrawable", {true, true, true, false, true}},
    {"IPolygon", "IDrawable", {false, false, false, false, true}},
    {"IPoint", "IDrawable", {true, true, true, false, true}},
};

std::unique_ptr<IDrawable> Create(const char* name) {
  const CRuntimeClass* cls = ClassRegistry::Instance().Find(name);
  if (cls == nullptr) return nullptr;
  return std::unique_ptr<IDrawable>(dynamic_cast<IDrawable*>(cls->CreateObject()));
}

TEST(SceneElementClasses, AreRegisteredWithTheirBasesAndCapabilities) {
  for (const ClassRow& row : kClassTable) {
    SCOPED_TRACE(row.name);
    std::unique_ptr<IDrawable> element = Create(row.name);
    ASSERT_NE(element, nullptr);
    const CRuntimeClass* cls = element->GetRuntimeClass();
    EXPECT_STREQ(cls->className, row.name);
    EXPECT_EQ(cls->schema, 0);
    ASSERT_NE(cls->baseClass, nullptr);
    EXPECT_STREQ(cls->baseClass->className, row.base);
    EXPECT_EQ(element->CanScale(), row.flags[0]);
    EXPECT_EQ(element->CanRotate(), row.flags[1]);
    EXPECT_EQ(element->CanMove(), row.flags[2]);
    EXPECT_EQ(element->HasContentsInfo(), row.flags[3]);
    EXPECT_EQ(element->HasProperties(), row.flags[4]);
    EXPECT_EQ(element->IsPolygon(), std::string(row.name) == "IPolygon");
    EXPECT_EQ(element->IsKindOf(RUNTIME_CLASS(IRoot)), std::string(row.base) == "IRoot" ||
                                                          std::string(row.name) == "IRoot");
  }
  const CRuntimeClass* list = ClassRegistry::Instance().Find("IObList");
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->IsPersistent());

  // A layer is a frame in C++ but not in its class record.
  ILayer layer;
  EXPECT_NE(dynamic_cast<IAxis*>(&layer), nullptr);
  EXPECT_FALSE(layer.IsKindOf(RUNTIME_CLASS(IAxis)));
}

TEST(SceneElementClasses, EditingLevelsOfTheItems) {
  const struct {
    std::unique_ptr<IRoot> item;
    std::vector<std::string> levels;
  } rows[] = {{std::make_unique<IObject>(), {"Form", "Point", "Layer", "Polygon"}},
              {std::make_unique<ICamera>(), {"Camera"}}, {std::make_unique<ILight>(), {"Light"}},
              {std::make_unique<IRoot>(), {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.item->GetRuntimeClass()->className);
    EXPECT_EQ(row.item->IsForm(), row.levels.size() == 4);
    ASSERT_EQ(row.item->GetLevelCount(), static_cast<int>(row.levels.size()));
    for (int level = 0; level < row.item->GetLevelCount(); ++level) EXPECT_EQ(row.item->GetLevelName(level), row.levels[level]);
    EXPECT_EQ(row.item->GetLevelName(row.item->GetLevelCount()), "");
  }
}

// --- The default handle ---

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

TEST_F(HandleFixture, SquareSpansTwoPixelsEachWayFilledOrOutlinedByMode) {
  const DrawState before = device.GetState();
  const DrawCall& square = DrawOnce(1);
  EXPECT_EQ(square.kind, DrawCall::rectangle);
  EXPECT_EQ((std::vector<int>{square.x1, square.y1, square.x2, square.y2}), (std::vector<int>{118, 63, 123, 68}));
  EXPECT_EQ(square.state.pen, draw_tools::kBlackPen);
  EXPECT_EQ(square.state.brush, draw_tools::kBlackBrush);
  EXPECT_EQ(device.GetState(), before);

  // The brushes of every mode are the view's table (view_tran_test).
  for (int mode : {2, 5, 9}) EXPECT_EQ(DrawOnce(mode).state.brush, draw_tools::kHollowBrush) << mode;
  EXPECT_NE(DrawOnce(4).state.brush.style, Brush::hollow);
  point.Select(true);
  EXPECT_EQ(DrawOnce(1).state.brush, draw_tools::kRedBrush);
  const DrawCall& band = DrawOnce(5);
  EXPECT_EQ(band.state.pen, draw_tools::kRedPen);
  EXPECT_EQ(band.state.rasterOp, RasterOp::invert);

  // Far points saturate instead of overflowing.
  point.world = {0, 1e300, -1e300};
  const DrawCall far = DrawOnce(1);
  EXPECT_EQ(far.x2, IViewTran::kPixelLimit + 3);
  EXPECT_EQ(far.y1, IViewTran::kPixelLimit - 2);
}

TEST_F(HandleFixture, RepeatReusesTheStoredModeWhichFeedbackAndCameraViewsDoNotDraw) {
  DrawOnce(2);
  EXPECT_EQ(DrawOnce(kDrawModeRepeat).state.rasterOp, RasterOp::invert);
  DrawOnce(kDrawModeDragFeedback);
  EXPECT_EQ(point.GetHandleMode(), 2);
  EXPECT_EQ(DrawOnce(kDrawModeRepeat).state.brush, draw_tools::kHollowBrush);
  EXPECT_EQ(point.GetDrawMode(), 1);  // Draw keeps its own mode

  // Nothing in a camera view, but the mode is still stored.
  RecordingSurface camera;
  view.SetViewType(IViewTran::camera);
  point.DrawHandle(camera, view, 9, 0);
  EXPECT_TRUE(camera.calls.empty());
  EXPECT_EQ(camera.stateChanges, 0);
  EXPECT_EQ(point.GetHandleMode(), 9);
}

// --- Top-level items ---

// A header in its normal record, a body only in the copy record, as a form
// keeps its geometry in its own file but copies it inline.
class ScnTestItem : public IRoot {
  DECLARE_SERIAL(ScnTestItem)
 public:
  int32_t count = 0;
  std::string label;
  std::vector<double> body;

  void Serialize(CArchive& ar) override {
    IRoot::Serialize(ar);
    ar.Transfer(count);
    ar.Transfer(label);
  }
  void SerializeCopy(CArchive& ar) override {
    Serialize(ar);
    uint32_t n = static_cast<uint32_t>(body.size());
    ar.Transfer(n);
    if (ar.IsLoading()) body.resize(n);
    for (double& v : body) ar.Transfer(v);
  }
};
IMPLEMENT_SERIAL(ScnTestItem, IRoot, 0)

// Known to the program but without a factory.
class ScnTransientItem : public IRoot {
  DECLARE_DYNAMIC(ScnTransientItem)
};
IMPLEMENT_DYNAMIC(ScnTransientItem, IRoot)

TEST(SceneItemDuplicate, GivesAnIndependentEqualCopyThroughTheCopyRecord) {
  ScnTestItem source;
  source.count = 42;
  source.label = "Vase";
  // Larger than the copy buffer and many growth steps of the memory file.
  for (int i = 0; i < 3000; ++i) source.body.push_back(i * 0.5);

  std::unique_ptr<IRoot> copy = source.Duplicate();
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->GetRuntimeClass(), RUNTIME_CLASS(ScnTestItem));
  auto* item = static_cast<ScnTestItem*>(copy.get());
  EXPECT_NE(item, &source);
  EXPECT_EQ(item->count, 42);
  EXPECT_EQ(item->label, "Vase");
  EXPECT_EQ(item->body, source.body);

  item->label = "Bowl";
  item->body[7] = -1;
  EXPECT_EQ(source.label, "Vase");
  EXPECT_EQ(source.body[7], 3.5);
}

TEST(SceneItemDuplicate, RefusesAClassWithoutAFactory) {
  ScnTransientItem item;
  EXPECT_THROW(item.Duplicate(), CNotSupportedException);
}

// Records which drag operation the defaults end up in.
class ScnDragRecorder : public IRoot {
 public:
  std::vector<std::string> calls;
  void MoveElement(int, IDrawable&, const CVector&, int) override { calls.push_back("move"); }
  void RotateElement(int, IDrawable&, const CVector&, int) override { calls.push_back("rotate"); }
  void ScaleElement(int, IDrawable&, const CVector&, int) override { calls.push_back("scale"); }
  void SetPosition(const CVector& p) override { placed = p; }
  CVector placed;
};

TEST(SceneItemDefaults, RepeatsAndEndsOfDragsRouteToThePlainOperations) {
  ScnDragRecorder item;
  IDrawable element;
  CVector v(1, 2, 3);
  item.MoveElementAgain(0, element, v, 0);
  item.EndMoveElement(0, element, v, 0);
  item.RotateElementAgain(0, element, v, 0);
  item.EndRotateElement(0, element, v, 0);
  item.ScaleElementAgain(0, element, v, 0);
  item.EndScaleElement(0, element, v, 0);
  // An item that only moves answers rotation drags by moving.
  EXPECT_EQ(item.calls, (std::vector<std::string>{"move", "move", "move", "move", "scale", "scale"}));

  item.PlaceAt(v, 100);
  EXPECT_EQ(item.placed, v);
}

}  // namespace
}  // namespace brevoxa
