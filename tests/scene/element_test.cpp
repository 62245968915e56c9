// Scene elements: selection, the element and item records, and the class
// tree with its capability table. The stored drawing modes are pinned
// through the handles (handle_test).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "persist/class_registry.h"
#include "scene/camera.h"
#include "scene/drawable.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "support/bytes.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::Load;
using testing::Store;

TEST(SceneElementSelect, ReportsTheChange) {
  IDrawable element;
  EXPECT_EQ(element.Select(false), 0);
  EXPECT_EQ(element.Select(true), 1);
  EXPECT_EQ(element.Select(true), 0);
  EXPECT_NE(element.IsSelected(), 0);
  EXPECT_EQ(element.Select(false), -1);
  EXPECT_EQ(element.Select(false), 0);
  EXPECT_EQ(element.IsSelected(), 0);
}

TEST(SceneElementPoint, WeightIsHeldInSinglePrecision) {
  IPoint point;
  EXPECT_EQ(point.GetWeight(), 1.0);
  point.SetWeight(0.1);
  EXPECT_EQ(point.GetWeight(), static_cast<double>(0.1f));
}

TEST(SceneElementRecords, VersionWordsAndUnknownVersions) {
  IDrawable element;
  EXPECT_EQ(Store([&](CArchive& ar) { element.Serialize(ar); }), (Bytes{0x01, 0x00}));
  IRoot item;
  EXPECT_EQ(Store([&](CArchive& ar) { item.Serialize(ar); }), (Bytes{0x01, 0x00, 0x01, 0x00}));

  // The element ignores its word; an item stops after a word it does not know.
  Load(ByteWriter().Word(7).Word(0xBEEF).bytes(), [](CArchive& ar) {
    IDrawable e;
    e.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 2u);
  });
  Load(ByteWriter().Word(2).Word(1).bytes(), [](CArchive& ar) {
    IRoot r;
    r.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 2u);
  });
  Load(ByteWriter().Word(1).Word(9).bytes(), [](CArchive& ar) {
    IRoot r;
    r.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 0u);
  });
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
  IObject form;
  EXPECT_TRUE(form.IsForm());
  ASSERT_EQ(form.GetLevelCount(), 4);
  const std::vector<std::string> names = {"Form", "Point", "Layer", "Polygon"};
  for (int level = 0; level < 4; ++level) EXPECT_EQ(form.GetLevelName(level), names[level]);
  EXPECT_EQ(form.GetLevelName(4), "");

  ICamera camera;
  EXPECT_FALSE(camera.IsForm());
  EXPECT_EQ(camera.GetLevelCount(), 1);
  EXPECT_EQ(camera.GetLevelName(0), "Camera");
  EXPECT_EQ(camera.GetLevelName(1), "");
  EXPECT_EQ(ILight().GetLevelName(0), "Light");
  EXPECT_EQ(IRoot().GetLevelCount(), 0);
}

}  // namespace
}  // namespace brevoxa
