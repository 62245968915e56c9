// The element list: selection order and counts, the lookup index behind
// Find, ownership, and the list record in the stream.
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
using testing::Load;
using testing::Store;

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
  int32_t selected = 0;
  bool seenUnselected = false;
  for (const IDrawable* e : list) {
    if (e->IsSelected()) {
      ++selected;
      ASSERT_FALSE(seenUnselected) << "a selected element stands after an unselected one";
    } else {
      seenUnselected = true;
    }
  }
  ASSERT_EQ(list.GetSelectedCount(), selected);
}

// --- Selection ---

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

TEST(SceneListSelect, KeepOrderChangesCountsButNeverTheOrder) {
  Pool pool(8);
  IObList list(true);
  pool.AddAllTo(list);
  std::mt19937 random(7);
  int32_t expected = 0;
  for (int step = 0; step < 200; ++step) {
    expected += list.SelectItem(pool[random() % 8], random() % 2 == 0);
    list.MoveToTail(pool[random() % 8]);
  }
  EXPECT_EQ(list.GetSelectedCount(), expected);
  list.KeepFirstSelected();
  EXPECT_EQ(pool.Order(list), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
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

TEST(SceneListSelect, RecountMovesEachSelectedElementToTheHeadAsItIsMet) {
  Pool pool(6);
  IObList list;
  pool.AddAllTo(list);
  for (int i : {1, 3, 4}) pool[i]->Select(true);

  list.Recount();
  EXPECT_EQ(list.GetSelectedCount(), 3);
  // Each one met goes in front of those met before it; a list that keeps
  // its order only counts (KeepFirstSelected below).
  EXPECT_EQ(pool.Order(list), (std::vector<int>{4, 3, 1, 0, 2, 5}));
}

TEST(SceneListSelect, KeepFirstSelectedLeavesOnlyTheFirst) {
  for (bool keepOrder : {false, true}) {
    SCOPED_TRACE(keepOrder);
    Pool pool(6);
    IObList list(keepOrder);
    pool.AddAllTo(list);
    // Positions 2, 4 and 5, counting from 1.
    for (int i : {1, 3, 4}) pool[i]->Select(true);
    list.Recount();
    if (!keepOrder) {
      // Recount gathered them at the head; scatter them again.
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

// --- Find and its index ---

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

// --- Ownership ---

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
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.GetSelectedCount(), 0);
}

// --- Stream record ---

TEST(SceneListRecord, ByteLayoutAndRoundTrip) {
  IObList empty;
  EXPECT_EQ(Store([&](CArchive& ar) { empty.Serialize(ar); }), (Bytes{0x00, 0x00}));

  Pool pool(2);
  IObList two;
  pool.AddAllTo(two);
  Bytes bytes = Store([&](CArchive& ar) { two.Serialize(ar); });
  // One class description; the second element names it by index 1.
  Bytes expected = ByteWriter().Word(2).Word(0xFFFF).Class("IDrawable").Word(1)
                       .Word(0x8001).Word(1).bytes();
  EXPECT_EQ(bytes, expected);

  ScnCountedElement::live = 0;
  IObList source;
  for (int i = 0; i < 70; ++i) source.AddTail(new ScnCountedElement);
  bytes = Store([&](CArchive& ar) { source.Serialize(ar); });
  IObList copy;
  Load(bytes, [&](CArchive& ar) { copy.Serialize(ar); });
  EXPECT_EQ(copy.GetCount(), 70u);
  EXPECT_EQ(ScnCountedElement::live, 140);
  for (const IDrawable* e : copy) {
    EXPECT_EQ(e->GetRuntimeClass(), RUNTIME_CLASS(ScnCountedElement));
    EXPECT_FALSE(source.Contains(e));
  }
  source.DeleteAll();
  copy.DeleteAll();
  EXPECT_EQ(ScnCountedElement::live, 0);
}

TEST(SceneListRecord, ReferenceListsShareTheOwnersElements) {
  // An owning list, then a list of references to its elements, with a
  // repeat, as a form's points and a polygon's points are written.
  Pool pool(3);
  IObList owned;
  pool.AddAllTo(owned);
  IObList refs;
  for (int i : {2, 0, 2}) refs.AddTail(pool[i]);
  Bytes bytes = Store([&](CArchive& ar) {
    owned.Serialize(ar);
    refs.SerializeReferences(ar);
  });

  IObList ownedCopy, refsCopy;
  Load(bytes, [&](CArchive& ar) {
    ownedCopy.Serialize(ar);
    refsCopy.SerializeReferences(ar);
  });
  std::vector<IDrawable*> o(ownedCopy.begin(), ownedCopy.end());
  std::vector<IDrawable*> r(refsCopy.begin(), refsCopy.end());
  ASSERT_EQ(o.size(), 3u);
  EXPECT_EQ(r, (std::vector<IDrawable*>{o[2], o[0], o[2]}));
  ownedCopy.DeleteAll();
}

TEST(SceneListRecord, BrokenStreamsFailAndLeaveEveryElementReadOwned) {
  struct Case {
    const char* what;
    Bytes bytes;
    CArchiveException::Cause cause;
    size_t elementsKept;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
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
