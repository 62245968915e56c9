// IObList: an ordered list of scene elements that counts its selected ones.
//
// Invariant: while keepOrder is 0 and every selection change goes through
// SelectItem or Recount, all selected elements stand before all unselected
// ones; apart from that, elements keep the order in which they were added
// or last moved.
//
// Structural operations (adding, inserting, removing) never change
// selectedCount; callers that move selected elements between lists adjust
// the counts themselves. The list owns its elements only as far as its owner
// says so: an owner calls DeleteAll, and the destructor merely empties it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <list>
#include <unordered_map>

#include "persist/object.h"

namespace brevoxa {

class IDrawable;

class IObList : public CObject {
  DECLARE_SERIAL(IObList)
 public:
  using Items = std::list<IDrawable*>;
  using iterator = Items::iterator;
  using const_iterator = Items::const_iterator;

  IObList() = default;
  explicit IObList(bool keepOrder) : keepOrder_(keepOrder ? 1 : 0) {}
  ~IObList() override = default;
  IObList(const IObList&) = delete;
  IObList& operator=(const IObList&) = delete;

  iterator begin() { return items_.begin(); }
  iterator end() { return items_.end(); }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }

  size_t GetCount() const { return items_.size(); }
  bool IsEmpty() const { return items_.empty(); }
  // Null when the list is empty.
  IDrawable* GetHead() const { return items_.empty() ? nullptr : items_.front(); }
  IDrawable* GetTail() const { return items_.empty() ? nullptr : items_.back(); }

  iterator AddHead(IDrawable* element) { return Insert(items_.begin(), element); }
  iterator AddTail(IDrawable* element) { return Insert(items_.end(), element); }
  iterator InsertBefore(iterator position, IDrawable* element) { return Insert(position, element); }
  iterator InsertAfter(iterator position, IDrawable* element) { return Insert(std::next(position), element); }

  // The first occurrence of the element, or end().
  iterator Find(const IDrawable* element);
  const_iterator Find(const IDrawable* element) const;
  bool Contains(const IDrawable* element) const { return Find(element) != end(); }

  // Removes the first occurrence; false when the element is not in the list.
  bool Remove(const IDrawable* element);
  // Returns the position after the removed one.
  iterator RemoveAt(iterator position);
  // Both empty the list and clear the selected count; only DeleteAll
  // destroys the elements (each through its virtual destructor).
  void RemoveAll();
  void DeleteAll();

  int32_t GetSelectedCount() const { return selectedCount_; }
  void AdjustSelectedCount(int32_t change) { selectedCount_ += change; }
  bool GetKeepOrder() const { return keepOrder_ != 0; }
  void SetKeepOrder(bool keepOrder) { keepOrder_ = keepOrder ? 1 : 0; }

  // Selects or deselects the element, counts the change and, unless the
  // order is kept, moves it to the head (selected) or the tail (deselected).
  // Returns the change: +1, -1 or 0.
  int SelectItem(IDrawable* element, bool select);
  // Counts the selected elements again; unless the order is kept, each
  // selected element is moved to the head as the walk meets it.
  void Recount();
  // Leaves only the first selected element selected; the others move to the
  // tail unless the order is kept.
  void KeepFirstSelected();
  // Both do nothing while the order is kept or the element is not listed.
  void MoveToHead(const IDrawable* element);
  void MoveToTail(const IDrawable* element);

  // The list record: the count, then every element as an object reference.
  // Loading appends the elements it reads and owns each as soon as it is
  // read, so a failure part-way leaves every element read in the list.
  void Serialize(CArchive& ar) override { Serialize(ar, nullptr); }
  // The same, refusing on loading any element not of elementClass (null:
  // any element).
  void Serialize(CArchive& ar, const CRuntimeClass* elementClass);
  // The same bytes for a list that only refers to elements owned elsewhere:
  // loading resolves references without claiming ownership.
  void SerializeReferences(CArchive& ar, const CRuntimeClass* elementClass = nullptr);

 private:
  // Lists longer than this keep an index for Find; shorter ones just walk.
  static constexpr size_t kIndexThreshold = 64;

  struct IndexEntry {
    const_iterator position;  // valid while occurrences is 1
    uint32_t occurrences;     // an element may be listed more than once
  };

  iterator Insert(iterator position, IDrawable* element);
  void Load(CArchive& ar, const CRuntimeClass* elementClass, bool owning);
  void Store(CArchive& ar) const;
  const_iterator FindFirst(const IDrawable* element) const;
  void BuildIndex() const;
  void Unindex(const IDrawable* element);
  void DropIndex();

  Items items_;
  // Built by the first Find on a long list, then kept up to date by every
  // change. std::list positions survive splices, so moves need no update.
  mutable std::unordered_map<const IDrawable*, IndexEntry> index_;
  mutable bool indexed_ = false;
  int32_t selectedCount_ = 0;
  int32_t keepOrder_ = 0;
};

}  // namespace brevoxa
