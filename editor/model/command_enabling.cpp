// The enabling rules of the workspace commands.
#include "editor/model/command_enabling.h"

#include "editor/model/clipboard.h"
#include "editor/model/workspace_doc.h"
#include "scene/polygon.h"
#include "scene/root.h"

namespace brevoxa {

namespace {

template <class Predicate>
bool AnySelectedItem(const CWorkspaceDoc& doc, Predicate predicate) {
  for (IRoot* item : doc.GetSelectedItems())
    if (predicate(*item)) return true;
  return false;
}

bool CanJoin(const CWorkspaceDoc& doc) {
  const int level = doc.GetLevel();
  if (level != kRootLevel) {
    const IRoot* first = doc.GetFirstItem();
    return first != nullptr && first->HasMultipleSelection(level);
  }
  // A second joinable item must follow the first joinable one that is not
  // a clone, which is the target.
  bool haveTarget = false;
  for (IRoot* item : doc.GetSelectedItems()) {
    if (!item->HasMultipleSelection(kRootLevel)) continue;
    if (haveTarget) return true;
    haveTarget = !item->IsClone();
  }
  return false;
}

bool CanPasteHere(const CWorkspaceDoc& doc) {
  const int kind = doc.GetClipboard().GetKind();
  const int level = doc.GetLevel();
  if (kind == kClipboardEmpty) return false;
  if (level == kRootLevel && kind == 1) return true;
  return AnySelectedItem(doc, [&](const IRoot& item) { return item.CanPaste(level, kind); });
}

bool HasComponentPoints(const CWorkspaceDoc& doc) {
  if (doc.GetLevel() != kPolygonLevel) return false;
  for (auto [item, element] : doc.GetSelectedElements())
    if (element->IsPolygon() && static_cast<const IPolygon*>(element)->GetPointCount() > 0) return true;
  return false;
}

bool HasEditableProperties(const CWorkspaceDoc& doc) {
  for (auto [item, element] : doc.GetSelectedElements())
    if (element->HasProperties()) return true;
  return false;
}

}  // namespace

bool IsEnabled(CWorkspaceDoc& doc, Command command) {
  const int level = doc.GetLevel();
  IRoot* first = doc.GetFirstItem();
  IRoot* firstSelected = doc.GetFirstSelectedItem();
  const bool firstIsPlainForm = first != nullptr && first->IsForm() && !first->IsClone();
  const bool firstIsSelectedForm = first != nullptr && first->IsSelected() && first->IsForm();
  auto canApply = [&](int target) { return firstSelected != nullptr && firstSelected->CanApply(target, level); };
  auto hasSelection = [&] {
    return AnySelectedItem(doc, [&](const IRoot& item) { return item.HasSelection(level); });
  };

  switch (command) {
    case Command::pointLevel: return canApply(kPointLevel);
    case Command::layerLevel: return canApply(kLayerLevel);
    case Command::polygonLevel: return canApply(kPolygonLevel);
    case Command::cut:
    case Command::copy:
    case Command::deleteSelection: return hasSelection();
    case Command::paste: return CanPasteHere(doc);
    case Command::properties: return HasEditableProperties(doc);
    case Command::selectAllComponents: return HasComponentPoints(doc);
    case Command::centerObjectAll:
    case Command::zoomObjectAll: return !doc.GetSelectedElements().empty();
    case Command::join: return CanJoin(doc);
    case Command::array: return firstIsSelectedForm;
    case Command::addSphere:
    case Command::addCylinder:
    case Command::addCone:
    case Command::addDisk:
    case Command::addPlane: return firstSelected != nullptr && firstIsPlainForm;
    case Command::extrude:
    case Command::lathe: return level == kPolygonLevel && firstIsSelectedForm && first->HasSelection(kPolygonLevel);
    case Command::formOpen: return firstIsSelectedForm && !first->IsClone();
    case Command::formSave:
    case Command::formSaveAs:
      return AnySelectedItem(doc, [](const IRoot& item) { return item.IsForm() && !item.IsClone(); });
    default: return true;  // the level, mode and view commands are always offered
  }
}

bool IsChecked(const CWorkspaceDoc& doc, Command command) {
  switch (command) {
    case Command::rootLevel: return doc.GetLevel() == kRootLevel;
    case Command::pointLevel: return doc.GetLevel() == kPointLevel;
    case Command::layerLevel: return doc.GetLevel() == kLayerLevel;
    case Command::polygonLevel: return doc.GetLevel() == kPolygonLevel;
    case Command::addMode: return doc.GetMode() == kAddMode;
    case Command::selectMode: return doc.GetMode() == kSelectMode;
    case Command::rotateMode: return doc.GetMode() == kRotateMode;
    case Command::scaleMode: return doc.GetMode() == kScaleMode;
    case Command::moveMode: return doc.GetMode() == kMoveMode;
    case Command::noRestriction: return doc.GetRestriction() == kNoRestriction;
    case Command::horizontalOnly: return doc.GetRestriction() == kHorizontalOnly;
    case Command::verticalOnly: return doc.GetRestriction() == kVerticalOnly;
    case Command::curvedDrag: return doc.GetCurvedDrag().IsEnabled();
    default: return false;
  }
}

}  // namespace brevoxa
