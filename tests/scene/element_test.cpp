// Scene elements: the element and item records, the items' editing levels
// and their memory-stream copy.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "persist/archive.h"
#include "scene/camera.h"
#include "scene/drawable.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/root.h"
#include "support/bytes.h"

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
  EXPECT_EQ(item->count, 42);
  EXPECT_EQ(item->label, "Vase");
  EXPECT_EQ(item->body, source.body);
  item->body[7] = -1;
  EXPECT_EQ(source.body[7], 3.5);
  // A class without a factory is refused.
  EXPECT_THROW(ScnTransientItem().Duplicate(), CNotSupportedException);
}

}  // namespace
}  // namespace brevoxa
