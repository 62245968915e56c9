// Clones: refreshing them from their master, the Update Clones command, and
// the bookkeeping that keeps every master's clone count true.
//
// Paths that change the relation, and what each does to the counts:
// pasting a clone attaches it (count + 1); a form's properties may attach,
// move or clear its master (+1 on the new, -1 on the old); deleting a clone
// gives -1, deleting a master deletes its clones with it; joining deletes
// the joined items as Delete does. An array of a clone makes clones of the
// same master, each counted, so the copies go on following the master as
// the source does.
#include "editor/model/clones.h"

#include <unordered_map>

#include "editor/model/workspace_doc.h"
#include "scene/form_object.h"
#include "ui/user_interface.h"

namespace brevoxa {

bool CloneCountsHold(const IObList& items) {
  std::unordered_map<const IRoot*, int> attached;
  for (const IDrawable* element : items) {
    const auto* item = static_cast<const IRoot*>(element);
    const IObject* master = item->GetCloneMaster();
    if (master == nullptr) continue;
    if (!items.Contains(master) || master->IsClone()) return false;
    ++attached[master];
  }
  for (const IDrawable* element : items) {
    const auto* form = dynamic_cast<const IObject*>(element);
    if (form == nullptr) continue;
    auto found = attached.find(form);
    if (form->GetCloneCount() != (found == attached.end() ? 0 : found->second)) return false;
  }
  return true;
}

bool CWorkspaceDoc::AttachClone(IObject& clone, IObject& master) {
  if (&clone == &master || master.IsClone() || clone.HasClones() || !GetItems().Contains(&master)) return false;
  clone.SetCloneMaster(&master);
  master.AddClone();
  return true;
}

void CWorkspaceDoc::AfterFormEdit(IObject& form, IObject* oldMaster) {
  IObject* newMaster = form.GetCloneMaster();
  if (newMaster != oldMaster) {
    form.SetCloneMaster(nullptr);
    if (newMaster == nullptr) {
      if (oldMaster != nullptr) oldMaster->RemoveClone();
    } else if (AttachClone(form, *newMaster)) {
      if (oldMaster != nullptr) oldMaster->RemoveClone();
      form.UpdateFromMaster();
    } else {
      // A master the scene cannot have (a clone, the form itself, one from
      // elsewhere): the form keeps the one it had.
      form.SetCloneMaster(oldMaster);
    }
    MakeUniqueFileName(form, 0, 3);
  }
  UpdateClonesOf(form, nullptr, false);
}

void CWorkspaceDoc::UpdateClonesOf(IRoot& master, IRoot* only, bool redraw) {
  if (!master.HasClones()) return;
  WaitCursor wait(services_.ui);
  const std::vector<IDrawable*> items(GetItems().begin(), GetItems().end());
  for (IDrawable* element : items) {
    auto* item = static_cast<IRoot*>(element);
    if (item->GetCloneMaster() != &master || (only != nullptr && item != only)) continue;
    services_.ui.Status("Updating Clones");
    if (redraw) Broadcast(kHintErase, item);
    try {
      item->UpdateFromMaster();
    } catch (const std::exception&) {
      // The clone keeps the body it had; it follows at the next update.
    }
    if (redraw) Broadcast(kHintDraw, item);
  }
}

void CWorkspaceDoc::UpdateClones() {
  bool any = false;
  const std::vector<IDrawable*> items(GetItems().begin(), GetItems().end());
  for (IDrawable* element : items) {
    auto* item = static_cast<IRoot*>(element);
    if (!item->HasClones()) continue;
    any = true;
    UpdateClonesOf(*item, nullptr, false);
  }
  if (any) Broadcast(kHintRepaintAll);
}

}  // namespace brevoxa
