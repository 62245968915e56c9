// The element list: selection order and counts, the index behind Find,
// ownership, and broken list records (the layout is pinned by the corpus).
#include "scene/ob_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

#include "scene/drawable.h"
#include "support/bytes.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;

// Counts live instances, so that tests can see what was destroyed.
class ScnCountedElement : public IDrawable {
  DECLARE_SERIAL(ScnCountedElement)
 public:
  ScnCountedElement() { ++live; }
  ~ScnCountedElement() override { --live; }
  static inline int live = 0;
};
IMPLEMENT_SERIAL(ScnCountedElement, IDrawable, 0)

// Elements that outlive the list, named by their index of creation.
struct Pool {
  explicit Pool(size_t n) {
    for (size_t i = 0; i < n; ++i) {
      elements.push_back(std::make_unique<IDrawable>());
      numbers[elements.back().get()] = static_cast<int>(i);
    }
  }
  IDrawable* operator[](size_t i) const { return elements[i].get(); }
  void AddAllTo(IObList& list) const {
    for (const auto& e : elements) list.AddTail(e.get());
  }
  std::vector<int> Order(const IObList& list) const {
    std::vector<int> order;
    for (const IDrawable* e : list) order.push_back(numbers.at(e));
    return order;
  }

  std::vector<std::unique_ptr<IDrawable>> elements;
  std::unordered_map<const IDrawable*, int> numbers;
};

// Selected elements all stand before unselected ones, and the count is right.
void ExpectInvariant(const IObList& list) {
  std::vector<bool> selected;
  for (const IDrawable* e : list) selected.push_back(e->IsSelected() != 0);
  ASSERT_TRUE(std::is_partitioned(selected.begin(), selected.end(), [](bool s) { return s; }));
  ASSERT_EQ(list.GetSelectedCount(), std::count(selected.begin(), selected.end(), true));
}

TEST(SceneListSelect, MovesChangedElementsAndLeavesUnchangedOnesAlone) {
  Pool pool(5);
  IObList list;
  pool.AddAllTo(list);

  EXPECT_EQ(list.SelectItem(pool[2], true), 1);
  EXPECT_EQ(pool.Order(list), (std::vector<int>{2, 0, 1, 3, 4}));
  EXPECT_EQ(list.SelectItem(pool[2], true), 0);
  EXPECT_EQ(list.SelectItem(pool[4], false), 0);
  EXPECT_EQ(pool.Order(list), (std::vector<int>{2, 0, 1, 3, 4}));
  EXPECT_EQ(list.GetSelectedCount(), 1);

  EXPECT_EQ(list.SelectItem(pool[3], true), 1);
  EXPECT_EQ(pool.Order(list), (std::vector<int>{3, 2, 0, 1, 4}));
  EXPECT_EQ(list.SelectItem(pool[2], false), -1);
  EXPECT_EQ(pool.Order(list), (std::vector<int>{3, 0, 1, 4, 2}));
  EXPECT_EQ(list.GetSelectedCount(), 1);
}

TEST(SceneListSelect, InvariantHoldsThroughRandomSelections) {
  // 20 elements walk the list; 100 go through the index.
  for (size_t n : {size_t{20}, size_t{100}}) {
    SCOPED_TRACE(n);
    Pool pool(n);
    IObList list;
    pool.AddAllTo(list);
    std::mt19937 random(20240601);
    for (int step = 0; step < 3000; ++step) {
      list.SelectItem(pool[random() % n], random() % 3 != 0);
      ASSERT_NO_FATAL_FAILURE(ExpectInvariant(list));
      ASSERT_EQ(list.GetCount(), n);
    }
  }
}

TEST(SceneListSelect, KeepFirstSelectedLeavesOnlyTheFirst) {
  for (bool keepOrder : {false, true}) {
    SCOPED_TRACE(keepOrder);
    Pool pool(6);
    IObList list(keepOrder);
    pool.AddAllTo(list);
    for (int i : {1, 3, 4}) pool[i]->Select(true);
    list.Recount();
    if (!keepOrder) {  // Recount gathered them at the head; scatter them again
      list.RemoveAll();
      pool.AddAllTo(list);
      list.AdjustSelectedCount(3);
    }

    list.KeepFirstSelected();
    EXPECT_EQ(list.GetSelectedCount(), 1);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pool[i]->IsSelected() != 0, i == 1) << i;
    EXPECT_EQ(pool.Order(list), keepOrder ? (std::vector<int>{0, 1, 2, 3, 4, 5})
                                          : (std::vector<int>{0, 1, 2, 5, 3, 4}));
  }
}

TEST(SceneListFind, IndexAgreesWithTheListThroughRandomChanges) {
  // Long enough to be indexed; elements may repeat, as the points of a
  // polygon closed on its first point do. A vector is the reference.
  Pool pool(150);
  IObList list;
  std::vector<IDrawable*> model;
  for (size_t i = 0; i < 100; ++i) { list.AddTail(pool[i]); model.push_back(pool[i]); }
  ASSERT_TRUE(list.Contains(pool[0]));  // builds the index

  std::mt19937 random(99);
  for (int step = 0; step < 3000; ++step) {
    IDrawable* e = pool[random() % 150];
    auto first = std::find(model.begin(), model.end(), e);
    long k = model.empty() ? 0 : static_cast<long>(random() % model.size());
    auto at = std::next(list.begin(), k);
    switch (random() % 7) {
      case 0: list.AddHead(e); model.insert(model.begin(), e); break;
      case 1: list.AddTail(e); model.push_back(e); break;
      case 2: list.InsertBefore(at, e); model.insert(model.begin() + k, e); break;
      case 3: if (!model.empty()) { list.InsertAfter(at, e); model.insert(model.begin() + k + 1, e); } break;
      case 4: if (!model.empty()) { list.RemoveAt(at); model.erase(model.begin() + k); } break;
      case 5:
        EXPECT_EQ(list.Remove(e), first != model.end());
        if (first != model.end()) model.erase(first);
        break;
      case 6:
        list.MoveToHead(e);
        if (first != model.end()) std::rotate(model.begin(), first, first + 1);
        break;
    }
    IDrawable* probe = pool[random() % 150];
    auto expected = std::find(model.begin(), model.end(), probe);
    auto found = list.Find(probe);
    if (expected == model.end()) ASSERT_EQ(found, list.end()) << "step " << step;
    else ASSERT_EQ(std::distance(list.begin(), found), expected - model.begin()) << "step " << step;
  }
  EXPECT_TRUE(std::equal(list.begin(), list.end(), model.begin(), model.end()));
}

TEST(SceneListOwnership, OnlyDeleteAllDestroysElements) {
  ScnCountedElement::live = 0;
  ScnCountedElement kept;
  { IObList list; list.AddTail(&kept); }  // the destructor only empties
  EXPECT_EQ(ScnCountedElement::live, 1);

  IObList list;
  for (int i = 0; i < 4; ++i) list.AddTail(new ScnCountedElement);
  list.SelectItem(list.GetHead(), true);
  list.DeleteAll();
  EXPECT_EQ(ScnCountedElement::live, 1);
  EXPECT_EQ(list.GetSelectedCount(), 0);
}

TEST(SceneListRecord, BrokenStreamsFailAndLeaveEveryElementReadOwned) {
  const struct { const char* what; Bytes bytes; CArchiveException::Cause cause; size_t elementsKept; } cases[] = {
      {"one element listed twice",
       ByteWriter().Word(2).Word(0xFFFF).Class("ScnCountedElement").Word(1).Word(2).bytes(),
       CArchiveException::badIndex, 1},
      {"cut short after two elements",
       ByteWriter().Word(4).Word(0xFFFF).Class("ScnCountedElement").Word(1).Word(0x8001).Word(1)
           .Word(0x8001).bytes(),
       CArchiveException::endOfFile, 2},
      {"a count the data cannot hold", ByteWriter().Word(50).Word(0).bytes(), CArchiveException::endOfFile, 0},
      {"an element of a class that is not an element",
       ByteWriter().Word(1).Word(0xFFFF).Class("IObList").bytes(), CArchiveException::badClass, 0},
      {"null references carry no element", ByteWriter().Word(2).Word(0).Word(0).bytes(),
       CArchiveException::none, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScnCountedElement::live = 0;
    IObList list;
    EXPECT_EQ(testing::LoadCause(list, c.bytes), c.cause);
    EXPECT_EQ(list.GetCount(), c.elementsKept);
    EXPECT_EQ(ScnCountedElement::live, static_cast<int>(c.elementsKept));
    list.DeleteAll();
    EXPECT_EQ(ScnCountedElement::live, 0);
  }
}

}  // namespace
}  // namespace brevoxa
