// The "Object List" bar as data: one entry per scene item, by name, in the
// order the items joined the workspace, with a selection that mirrors the
// items'. The bar's widget shows it; the document keeps it current.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace brevoxa {

class IObList;
class IRoot;

class ObjectListModel {
 public:
  struct Entry {
    IRoot* item;  // not owned
    std::string name;
    bool selected;
  };

  const std::vector<Entry>& GetEntries() const { return entries_; }
  size_t GetCount() const { return entries_.size(); }
  // SIZE_MAX when the item is not listed.
  size_t IndexOf(const IRoot* item) const;
  std::vector<std::string> Names() const;

  // Only at Root level can items be picked in the list.
  bool IsEnabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  void Add(IRoot& item);
  void Remove(const IRoot& item);
  // Takes the item's current name and selection again.
  void Renew(const IRoot& item);
  // Every entry again from the scene list, in its order.
  void Rebuild(const IObList& items);
  // Copies every item's selection into its entry.
  void SyncSelection();

  // Bumped by every change, so that a widget can tell when to refill.
  unsigned GetRevision() const { return revision_; }

 private:
  std::vector<Entry> entries_;
  bool enabled_ = true;
  unsigned revision_ = 0;
};

}  // namespace brevoxa
