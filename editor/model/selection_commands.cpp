// Select all, invert selection, select all components, and picking items
// in the object list.
#include "editor/model/workspace_doc.h"

#include "scene/polygon.h"
#include "scene/root.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

// Flips or sets the selection of every element of a list, redrawing each;
// true when the list's selected count moved between zero and non-zero.
template <class Choose, class Redraw>
bool SelectEach(IObList& list, Choose choose, Redraw redraw) {
  const bool hadSelection = list.GetSelectedCount() > 0;
  // A snapshot: selecting moves elements within the list.
  const std::vector<IDrawable*> elements(list.begin(), list.end());
  for (IDrawable* element : elements) {
    list.SelectItem(element, choose(*element));
    redraw(element);
  }
  return hadSelection != (list.GetSelectedCount() > 0);
}

}  // namespace

void CWorkspaceDoc::SelectAll() {
  LeaveTransforms();
  auto redraw = [this](IDrawable* element) { Broadcast(kHintDrawHandle, element); };
  auto all = [](const IDrawable&) { return true; };
  if (level_ == kRootLevel) {
    SelectEach(GetItems(), all, redraw);
    objectList_.SyncSelection();
  } else {
    bool reapply = false;
    for (IRoot* item : GetSelectedItems())
      if (IObList* list = item->GetLevelList(level_)) reapply = SelectEach(*list, all, redraw) || reapply;
    if (reapply) SetLevel(level_);
  }
  services_.ui.Status("Selected all");
}

void CWorkspaceDoc::InvertSelection() {
  LeaveTransforms();
  auto redraw = [this](IDrawable* element) { Broadcast(kHintDrawHandle, element); };
  auto flip = [](const IDrawable& element) { return element.IsSelected() == 0; };
  if (level_ == kRootLevel) {
    SelectEach(GetItems(), flip, redraw);
    objectList_.SyncSelection();
  } else {
    bool reapply = false;
    for (IRoot* item : GetSelectedItems())
      if (IObList* list = item->GetLevelList(level_)) reapply = SelectEach(*list, flip, redraw) || reapply;
    if (reapply) SetLevel(level_);
  }
  services_.ui.Status("Selection Inverted");
}

void CWorkspaceDoc::SelectAllComponents() {
  if (!IsEnabled(*this, Command::selectAllComponents)) return;
  for (IRoot* item : GetSelectedItems()) {
    IObList* polygons = item->GetLevelList(kPolygonLevel);
    IObList* points = item->GetLevelList(kPointLevel);
    if (polygons == nullptr || points == nullptr) continue;
    for (IDrawable* element : *polygons) {
      if (!element->IsSelected() || !element->IsPolygon()) continue;
      for (IDrawable* point : static_cast<IPolygon*>(element)->GetPoints())
        if (points->Contains(point) && points->SelectItem(point, true) != 0) Broadcast(kHintDrawHandle, point);
    }
  }
  services_.ui.Status("Selected all componet sub-parts of the selection");
}

void CWorkspaceDoc::SelectFromList(size_t index, bool select) {
  if (!objectList_.IsEnabled() || level_ != kRootLevel || index >= objectList_.GetCount()) return;
  IRoot* item = objectList_.GetEntries()[index].item;
  if (GetItems().SelectItem(item, select) != 0) Broadcast(kHintDrawHandle, item);
  objectList_.SyncSelection();
}

}  // namespace brevoxa
