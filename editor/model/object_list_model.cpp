// The object list's entries and their selection.
#include "editor/model/object_list_model.h"

#include <algorithm>
#include <cstdint>

#include "scene/ob_list.h"
#include "scene/root.h"

namespace brevoxa {

size_t ObjectListModel::IndexOf(const IRoot* item) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].item == item) return i;
  return SIZE_MAX;
}

std::vector<std::string> ObjectListModel::Names() const {
  std::vector<std::string> names;
  for (const Entry& entry : entries_) names.push_back(entry.name);
  return names;
}

void ObjectListModel::Add(IRoot& item) {
  if (IndexOf(&item) != SIZE_MAX) return;
  entries_.push_back({&item, item.GetName(), item.IsSelected() != 0});
  ++revision_;
}

void ObjectListModel::Remove(const IRoot& item) {
  const size_t index = IndexOf(&item);
  if (index == SIZE_MAX) return;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
  ++revision_;
}

void ObjectListModel::Renew(const IRoot& item) {
  const size_t index = IndexOf(&item);
  if (index == SIZE_MAX) return;
  entries_[index].name = item.GetName();
  entries_[index].selected = item.IsSelected() != 0;
  ++revision_;
}

void ObjectListModel::Rebuild(const IObList& items) {
  entries_.clear();
  for (IDrawable* element : items) {
    auto* item = static_cast<IRoot*>(element);
    entries_.push_back({item, item->GetName(), item->IsSelected() != 0});
  }
  ++revision_;
}

void ObjectListModel::SyncSelection() {
  bool changed = false;
  for (Entry& entry : entries_) {
    const bool selected = entry.item->IsSelected() != 0;
    changed = changed || selected != entry.selected;
    entry.selected = selected;
  }
  if (changed) ++revision_;
}

}  // namespace brevoxa
