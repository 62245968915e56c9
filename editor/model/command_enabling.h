// When each workspace command is offered, as the menus, accelerators and
// toolbar will ask it, and which ones carry a check mark. The document's
// command functions ask the same question and do nothing when the answer
// is no, so a command that reaches them anyway changes nothing.
#pragma once

namespace brevoxa {

class CWorkspaceDoc;

enum class Command {
  rootLevel, pointLevel, layerLevel, polygonLevel,
  addMode, selectMode, rotateMode, scaleMode, moveMode,
  noRestriction, horizontalOnly, verticalOnly,
  curvedDrag, endAddSequence,
  cut, copy, paste, deleteSelection, properties,
  selectAll, invertSelection, selectAllComponents,
  workspaceProperties, redrawAll, centerObjectAll, zoomObjectAll,
  updateClones, join, array,
  addSphere, addCylinder, addCone, addDisk, addPlane, extrude, lathe,
  formOpen, formSave, formSaveAs,
};

bool IsEnabled(CWorkspaceDoc& doc, Command command);
// Levels, modes and restrictions check their current one; "Curved
// Dra&g..." is checked while the drag is not disabled.
bool IsChecked(const CWorkspaceDoc& doc, Command command);

}  // namespace brevoxa
