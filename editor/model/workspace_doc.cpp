// The workspace document: its state, the workspace file, the editing
// level and mode, the drag restriction, curved drag and the end of an add
// sequence.
#include "editor/model/workspace_doc.h"

#include "editor/model/editor_dialogs.h"
#include "scene/camera.h"
#include "scene/root.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

bool IsTransformMode(int mode) { return mode == kScaleMode || mode == kRotateMode || mode == kMoveMode; }

IRoot* AsItem(IDrawable* element) { return static_cast<IRoot*>(element); }

constexpr Command kLevelCommands[] = {Command::rootLevel, Command::pointLevel, Command::layerLevel,
                                      Command::polygonLevel};

}  // namespace

CWorkspaceDoc::CWorkspaceDoc(const EditorServices& services) : services_(services) {}

CWorkspaceDoc::~CWorkspaceDoc() = default;

// --- State ---

IRoot* CWorkspaceDoc::GetFirstItem() const { return AsItem(GetItems().GetHead()); }

IRoot* CWorkspaceDoc::GetFirstSelectedItem() const {
  for (IDrawable* item : GetItems())
    if (item->IsSelected()) return AsItem(item);
  return nullptr;
}

std::vector<IRoot*> CWorkspaceDoc::GetSelectedItems() const {
  std::vector<IRoot*> selected;
  for (IDrawable* item : GetItems())
    if (item->IsSelected()) selected.push_back(AsItem(item));
  return selected;
}

std::vector<std::pair<IRoot*, IDrawable*>> CWorkspaceDoc::GetSelectedElements() const {
  std::vector<std::pair<IRoot*, IDrawable*>> selected;
  for (IRoot* item : GetSelectedItems()) {
    if (level_ == kRootLevel) {
      selected.emplace_back(item, item);
      continue;
    }
    if (IObList* list = item->GetLevelList(level_))
      for (IDrawable* element : *list)
        if (element->IsSelected()) selected.emplace_back(item, element);
  }
  return selected;
}

std::vector<std::pair<IRoot*, IDrawable*>> CWorkspaceDoc::TransformTargets() const {
  if (level_ != kRootLevel) return GetSelectedElements();
  std::vector<std::pair<IRoot*, IDrawable*>> targets;
  for (IRoot* item : GetSelectedItems()) {
    IObList* handles = item->GetLevelList(kRootLevel);
    if (handles == nullptr) {
      targets.emplace_back(item, item);
      continue;
    }
    for (IDrawable* handle : *handles)
      if (handle->IsSelected()) targets.emplace_back(item, handle);
  }
  return targets;
}

void CWorkspaceDoc::SetModified(bool modified) {
  modified_ = modified;
  FinishTitleChange();
}

void CWorkspaceDoc::FinishTitleChange() {
  observers_.ForEach([](IDocumentObserver& view) { view.OnTitleChanged(); });
}

IRoot* CWorkspaceDoc::AppendItem(std::unique_ptr<IRoot> item, bool select) {
  IRoot* raw = item.get();
  if (raw == nullptr) return nullptr;
  GetItems().AddTail(item.release());
  if (select) GetItems().SelectItem(raw, true);
  objectList_.Add(*raw);
  Broadcast(kHintDraw, raw);
  Broadcast(kHintDrawHandle, raw);
  return raw;
}

// --- Workspace file ---

bool CWorkspaceDoc::OpenWorkspace(const std::string& path) {
  DropPending();
  const bool opened = workspace_.Load(path, services_.ui);
  level_ = kRootLevel;
  mode_ = kAddMode;
  restriction_ = kNoRestriction;
  curvedDrag_ = CurvedDragSettings();
  objectList_.Rebuild(GetItems());
  objectList_.SetEnabled(true);
  modified_ = false;
  Broadcast(kHintRepaintAll);
  FinishTitleChange();
  return opened;
}

bool CWorkspaceDoc::SaveWorkspace(const std::string& path) {
  if (!workspace_.Save(path, services_.ui)) return false;
  SetModified(false);
  return true;
}

// --- Level ---

void CWorkspaceDoc::SetLevel(int level) {
  if (level < kRootLevel || level > kPolygonLevel || !IsEnabled(*this, kLevelCommands[level])) return;
  if (level == level_) {
    SetModified();
    return;
  }
  LeaveTransforms();
  // An element being added belongs to the level it was added at.
  DropPending();
  IRoot* first = GetFirstItem();
  if (level == kRootLevel) {
    if (first != nullptr) UpdateClonesOf(*first, nullptr, true);
    objectList_.SetEnabled(true);
  }
  if (level_ == kRootLevel) {
    GetItems().KeepFirstSelected();
    objectList_.SyncSelection();
    objectList_.SetEnabled(false);
  } else if (first != nullptr) {
    if (IObList* list = first->GetLevelList(level_)) list->KeepFirstSelected();
  }
  Broadcast(kHintEraseLevelHandles);
  level_ = level;
  Broadcast(kHintDrawLevelHandles);
  std::string status = "Changed to ";
  if (first != nullptr) status += first->GetLevelName(level);
  status += " level";
  services_.ui.Status(status);
  SetModified();
}

// --- Mode ---

void CWorkspaceDoc::LeaveTransforms() {
  if (IsTransformMode(mode_)) SetMode(kSelectMode);
}

void CWorkspaceDoc::CallTransform(bool opening, int mode) {
  for (auto [item, element] : TransformTargets()) {
    switch (mode) {
      case kScaleMode:
        if (opening) item->ScaleElement(level_, *element, element->GetScale(), 0);
        else item->EndScaleElement(level_, *element, element->GetScale(), 0);
        break;
      case kRotateMode:
        if (opening) item->RotateElement(level_, *element, element->GetRotation(), 0);
        else item->EndRotateElement(level_, *element, element->GetRotation(), 0);
        break;
      case kMoveMode:
        if (opening) item->MoveElement(level_, *element, element->GetPosition(), 0);
        else item->EndMoveElement(level_, *element, element->GetPosition(), 0);
        break;
      default:
        break;
    }
  }
}

void CWorkspaceDoc::SetMode(int mode) {
  if (mode < kSelectMode || mode > kMoveMode || mode == mode_) return;
  SetModified();
  const auto selected = GetSelectedElements();
  // Handles look different in the two groups of modes, so they are drawn
  // again only when the mode moves from one group to the other.
  const bool regroup = IsTransformMode(mode_) != IsTransformMode(mode);
  if (regroup) {
    for (auto [item, element] : selected) {
      Broadcast(kHintErase, element);
      Broadcast(kHintEraseHandle, element);
    }
  }
  if (IsTransformMode(mode_)) CallTransform(false, mode_);
  mode_ = mode;
  if (IsTransformMode(mode)) {
    CallTransform(true, mode);
    services_.ui.Status(mode == kScaleMode    ? "Entered scale mode"
                        : mode == kRotateMode ? "Entered rotate mode"
                                              : "Entered move mode");
  } else {
    for (size_t i = 0; i < selected.size(); ++i) services_.ui.Status("Entered select mode");
  }
  if (regroup) {
    for (auto [item, element] : selected) {
      Broadcast(kHintDraw, element);
      Broadcast(kHintDrawHandle, element);
    }
  }
  for (auto [item, element] : selected) {
    if (auto* camera = dynamic_cast<ICamera*>(item))
      observers_.ForEach([camera](IDocumentObserver& view) { view.OnCameraChanged(*camera); });
  }
  observers_.ForEach([](IDocumentObserver& view) { view.OnCursorChanged(); });
}

// --- Restriction and curved drag ---

void CWorkspaceDoc::SetRestriction(int restriction) {
  if (restriction < kNoRestriction || restriction > kVerticalOnly) return;
  restriction_ = restriction;
  observers_.ForEach([](IDocumentObserver& view) { view.OnCursorChanged(); });
}

void CWorkspaceDoc::CurvedDrag() {
  CurvedDragSettings settings = curvedDrag_;
  if (!services_.dialogs.EditCurvedDrag(settings)) return;
  // The dialog refuses such values itself; one that let them through
  // changes nothing.
  if (settings.Check()) return;
  const bool wasEnabled = curvedDrag_.IsEnabled();
  curvedDrag_ = settings;
  if (wasEnabled != settings.IsEnabled())
    services_.ui.Status(settings.IsEnabled() ? "Curved drag enabled" : "Curved drag disabled");
}

// --- End of an add sequence ---

bool CWorkspaceDoc::PendingIsLive() const {
  if (pending_ == nullptr || pendingOwner_ == nullptr || !GetItems().Contains(pendingOwner_)) return false;
  IObList* list = pendingOwner_->GetLevelList(level_);
  return list != nullptr && list->Contains(pending_);
}

void CWorkspaceDoc::EndAddSequence() {
  observers_.ForEach([](IDocumentObserver& view) { view.OnCancelGesture(); });
  if (PendingIsLive()) {
    IDrawable* element = pending_;
    IRoot& owner = *pendingOwner_;
    DropPending();
    if (owner.ValidateElement(level_, *element)) {
      Broadcast(kHintDraw, element);
    } else {
      // A refused element leaves its list (a form takes it out itself).
      IObList* list = owner.GetLevelList(level_);
      if (list != nullptr && list->Remove(element) && element->IsSelected()) list->AdjustSelectedCount(-1);
      Broadcast(kHintErase, element);
      Broadcast(kHintEraseHandle, element);
      delete element;
    }
  }
  DropPending();
}

}  // namespace brevoxa
