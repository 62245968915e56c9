// The selection-aware element list and its stream record.
#include "scene/ob_list.h"

#include <algorithm>
#include <memory>
#include <string>

#include "persist/archive.h"
#include "scene/drawable.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IObList, CObject, 0)

// --- Positions and the index ---

IObList::iterator IObList::Insert(iterator position, IDrawable* element) {
  iterator it = items_.insert(position, element);
  if (indexed_) {
    auto [entry, added] = index_.try_emplace(element, IndexEntry{it, 1});
    if (!added) ++entry->second.occurrences;
  }
  return it;
}

void IObList::BuildIndex() const {
  index_.clear();
  index_.reserve(items_.size());
  for (const_iterator it = items_.begin(); it != items_.end(); ++it) {
    auto [entry, added] = index_.try_emplace(*it, IndexEntry{it, 1});
    if (!added) ++entry->second.occurrences;
  }
  indexed_ = true;
}

void IObList::Unindex(const IDrawable* element) {
  auto entry = index_.find(element);
  if (entry == index_.end()) return;
  IndexEntry& e = entry->second;
  if (--e.occurrences == 0) {
    index_.erase(entry);
  } else if (e.occurrences == 1) {
    // Only repeated elements (a polygon closed on its first point) get here.
    e.position = std::find(items_.cbegin(), items_.cend(), element);
  }
}

void IObList::DropIndex() {
  index_.clear();
  indexed_ = false;
}

IObList::const_iterator IObList::FindFirst(const IDrawable* element) const {
  if (!indexed_ && items_.size() > kIndexThreshold) BuildIndex();
  if (indexed_) {
    auto entry = index_.find(element);
    if (entry == index_.end()) return items_.end();
    if (entry->second.occurrences == 1) return entry->second.position;
    // Which occurrence comes first is not recorded; walk for it.
  }
  return std::find(items_.begin(), items_.end(), element);
}

IObList::iterator IObList::Find(const IDrawable* element) {
  const_iterator found = FindFirst(element);
  return items_.erase(found, found);  // the same position, made mutable
}

IObList::const_iterator IObList::Find(const IDrawable* element) const { return FindFirst(element); }

bool IObList::Remove(const IDrawable* element) {
  iterator it = Find(element);
  if (it == items_.end()) return false;
  RemoveAt(it);
  return true;
}

IObList::iterator IObList::RemoveAt(iterator position) {
  const IDrawable* element = *position;
  iterator next = items_.erase(position);
  if (indexed_) Unindex(element);
  return next;
}

void IObList::RemoveAll() {
  items_.clear();
  DropIndex();
  selectedCount_ = 0;
}

void IObList::DeleteAll() {
  Items doomed;
  doomed.swap(items_);
  DropIndex();
  selectedCount_ = 0;
  for (IDrawable* element : doomed) delete element;
}

// --- Selection ---

int IObList::SelectItem(IDrawable* element, bool select) {
  int change = element->Select(select);
  selectedCount_ += change;
  if (change > 0) MoveToHead(element);
  else if (change < 0) MoveToTail(element);
  return change;
}

void IObList::Recount() {
  selectedCount_ = 0;
  for (iterator it = items_.begin(); it != items_.end();) {
    iterator next = std::next(it);
    if ((*it)->IsSelected()) {
      ++selectedCount_;
      if (keepOrder_ == 0) items_.splice(items_.begin(), items_, it);
    }
    it = next;
  }
}

void IObList::KeepFirstSelected() {
  bool keptOne = false;
  // An element moved to the tail is met again, deselected, so the walk ends.
  for (iterator it = items_.begin(); it != items_.end() && selectedCount_ >= 2;) {
    iterator next = std::next(it);
    IDrawable* element = *it;
    if (element->IsSelected()) {
      if (!keptOne) {
        keptOne = true;
      } else {
        selectedCount_ += element->Select(false);
        if (keepOrder_ == 0) items_.splice(items_.end(), items_, it);
      }
    }
    it = next;
  }
}

void IObList::MoveToHead(const IDrawable* element) {
  if (keepOrder_ != 0) return;
  iterator it = Find(element);
  if (it != items_.end()) items_.splice(items_.begin(), items_, it);
}

void IObList::MoveToTail(const IDrawable* element) {
  if (keepOrder_ != 0) return;
  iterator it = Find(element);
  if (it != items_.end()) items_.splice(items_.end(), items_, it);
}

// --- Stream record ---

void IObList::Store(CArchive& ar) const {
  ar.WriteCount(static_cast<uint32_t>(items_.size()));
  for (const IDrawable* element : items_) ar.WriteObject(element);
}

void IObList::Load(CArchive& ar, const CRuntimeClass* elementClass, bool owning) {
  if (elementClass == nullptr) elementClass = RUNTIME_CLASS(IDrawable);
  // Every element takes at least a two-byte tag.
  uint32_t count = ar.ReadCount(2);
  CArchive::Group group(ar, "list", count);
  for (uint32_t i = 0; i < count; ++i) {
    if (ar.GetTrace()) ar.Label(IndexLabel(i));
    if (owning) {
      std::unique_ptr<CObject> element(ar.ReadOwnedObject(elementClass));
      // A null reference carries no element; every user of a list walks it
      // without checking for holes.
      if (element == nullptr) continue;
      AddTail(static_cast<IDrawable*>(element.get()));
      element.release();
    } else {
      CObject* element = ar.ReadObject(elementClass);
      if (element != nullptr) AddTail(static_cast<IDrawable*>(element));
    }
  }
}

void IObList::Serialize(CArchive& ar, const CRuntimeClass* elementClass) {
  if (ar.IsStoring()) Store(ar);
  else Load(ar, elementClass, true);
}

void IObList::SerializeReferences(CArchive& ar, const CRuntimeClass* elementClass) {
  if (ar.IsStoring()) Store(ar);
  else Load(ar, elementClass, false);
}

}  // namespace brevoxa
