// Top-level items: the memory-stream copy and the default routing of the
// editing operations.
#include "scene/root.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "persist/archive.h"

namespace brevoxa {
namespace {

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
