// Delete: the selected elements of a sub-level, or the selected scene items
// one at a time, asking before a master takes its clones with it.
#include "editor/model/workspace_doc.h"

#include "scene/camera.h"
#include "scene/form_object.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {
const char kMasterQuestion[] =
    "Form is a master of clones.  Deleting this object will delete all clones.  Ok to delete?";
}  // namespace

void CWorkspaceDoc::Delete() {
  if (!IsEnabled(*this, Command::deleteSelection)) return;
  WaitCursor wait(services_.ui);
  services_.ui.Status("Deleteing selection...");
  LeaveTransforms();
  if (level_ == kRootLevel) {
    // One item per pass, each pass walking the selection from its start
    // again, so a master kept once is asked about again after every item
    // that did go.
    while (DeleteSelectedItemOnce()) {
    }
  } else {
    DeleteSelectedElements();
  }
  services_.ui.Status("Deleted selection");
}

bool CWorkspaceDoc::DeleteSelectedItemOnce() {
  for (IRoot* item : GetSelectedItems())
    if (DeleteItem(*item)) return true;
  return false;
}

void CWorkspaceDoc::DeleteSelectedElements() {
  for (IRoot* item : GetSelectedItems()) {
    IObList removed;
    item->DetachSelection(level_, removed);
    for (IDrawable* element : removed) {
      Broadcast(kHintErase, element);
      Broadcast(kHintEraseHandle, element);
    }
    // Polygons stand before the points they use, and nothing refers to a
    // layer's polygons from outside the layer, so list order is safe.
    removed.DeleteAll();
  }
  DropPending();
}

bool CWorkspaceDoc::DeleteItem(IRoot& item) {
  if (item.HasClones()) {
    if (services_.ui.Ask(kMasterQuestion, Buttons::yesNo) != Answer::yes) return false;
    std::vector<IRoot*> clones;
    for (IDrawable* other : GetItems())
      if (static_cast<IRoot*>(other)->GetCloneMaster() == &item) clones.push_back(static_cast<IRoot*>(other));
    for (IRoot* clone : clones) RemoveItem(*clone);
  }
  RemoveItem(item);
  return true;
}

void CWorkspaceDoc::RemoveItem(IRoot& item) {
  Broadcast(kHintErase, &item);
  Broadcast(kHintEraseHandle, &item);
  if (auto* camera = dynamic_cast<ICamera*>(&item))
    observers_.ForEach([camera](IDocumentObserver& view) { view.OnCameraRemoved(*camera); });
  IObList& items = GetItems();
  if (item.IsSelected()) items.AdjustSelectedCount(-1);
  items.Remove(&item);
  objectList_.Remove(item);
  if (IObject* master = item.GetCloneMaster(); master != nullptr && items.Contains(master)) master->RemoveClone();
  // Nothing may keep pointing at the item once it is gone.
  for (IDrawable* other : items) {
    auto* root = static_cast<IRoot*>(other);
    if (root->GetCloneMaster() == &item) root->SetCloneMaster(nullptr);
  }
  if (pendingOwner_ == &item) DropPending();
  delete &item;
}

}  // namespace brevoxa
