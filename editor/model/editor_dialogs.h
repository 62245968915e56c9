// The editor's dialogs as the document sees them: each takes the values to
// show, lets the user change them and answers whether OK (or "Create") was
// pressed. The Qt editor implements them with widgets; tests script them.
// A dialog that refuses out-of-range values before closing (the standard
// range messages) does so itself, as the Check of each value struct says.
#pragma once

#include <optional>
#include <string>

#include "editor/model/arrays.h"
#include "editor/model/curved_drag.h"
#include "editor/model/workspace_info.h"
#include "scene/generator_settings.h"

namespace brevoxa {

// An open or save dialog for form files.
struct FileDialogRequest {
  static constexpr const char* kFormExtension = "frm";
  static constexpr const char* kFormFilter = "Form Objects (*.frm)|*.frm||";

  std::string initialName;
  std::string defaultExtension = kFormExtension;
  std::string filter = kFormFilter;
  bool mustExist = false;        // open: the file and its path must exist
  bool promptOverwrite = false;  // save: ask before replacing a file
  bool keepDirectory = true;     // the working directory stays OBJSTORE
};

class IEditorDialogs {
 public:
  virtual ~IEditorDialogs() = default;

  virtual bool EditCurvedDrag(CurvedDragSettings&) { return false; }
  virtual bool EditSphere(SphereDefinition&) { return false; }
  virtual bool EditCylinder(CylinderDefinition&) { return false; }
  virtual bool EditCone(ConeDefinition&) { return false; }
  virtual bool EditDisk(DiskDefinition&) { return false; }
  virtual bool EditPlane(PlaneDefinition&) { return false; }
  virtual bool EditExtrude(ExtrudeSettings&) { return false; }
  virtual bool EditLathe(LatheSettings&) { return false; }
  virtual bool EditArray(ArraySettings&) { return false; }
  virtual bool EditWorkspace(WorkspaceProperties&) { return false; }
  // The chosen file name, or nothing on Cancel.
  virtual std::optional<std::string> ChooseFileToOpen(const FileDialogRequest&) { return std::nullopt; }
  virtual std::optional<std::string> ChooseFileToSave(const FileDialogRequest&) { return std::nullopt; }
};

}  // namespace brevoxa
