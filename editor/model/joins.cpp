// Join: several forms into one at Root, or the selected elements of the
// edited item welded together at a sub-level.
#include "editor/model/workspace_doc.h"

#include "scene/form_object.h"
#include "ui/user_interface.h"

namespace brevoxa {

void CWorkspaceDoc::Join() {
  if (!IsEnabled(*this, Command::join)) return;
  if (level_ != kRootLevel) {
    Broadcast(kHintEraseLevelHandles);
    for (IRoot* item : GetSelectedItems()) item->WeldPoints(level_);
    // Welding destroys points and layers, perhaps the one being added.
    DropPending();
    Broadcast(kHintDrawLevelHandles);
    services_.ui.Status("Objects joined");
    SetModified();
    return;
  }
  // The first joinable item that is not a clone takes in every joinable
  // item after it; clones before it are left alone.
  IRoot* target = nullptr;
  std::vector<IRoot*> joined;
  for (IRoot* item : GetSelectedItems()) {
    if (!item->HasMultipleSelection(kRootLevel)) continue;
    if (target != nullptr) joined.push_back(item);
    else if (!item->IsClone()) target = item;
  }
  if (target == nullptr) return;
  Broadcast(kHintErase, target);
  for (IRoot* item : joined) item->Join(kRootLevel, *target);
  for (IRoot* item : joined) {
    // A master that is deleted takes its clones along, and one of them may
    // be joined too: only items still in the scene are deleted.
    if (GetItems().Contains(item)) DeleteItem(*item);
  }
  if (auto* form = dynamic_cast<IObject*>(target)) form->UpdateWorldGeometry();
  Broadcast(kHintDraw, target);
  UpdateClonesOf(*target, nullptr, true);
  services_.ui.Status("Objects joined");
  SetModified();
}

}  // namespace brevoxa
