// Commands on the form being edited: primitives, extrusion and lathe, and
// replacing a form from, or writing it to, its form file.
#include <exception>

#include "editor/model/editor_dialogs.h"
#include "editor/model/workspace_doc.h"
#include "persist/archive.h"
#include "persist/failure_message.h"
#include "persist/file.h"
#include "persist/safe_file.h"
#include "scene/form_object.h"
#include "scene/generators.h"
#include "scene/layer.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

// MakeFileName kinds that refuse a name another form of the workspace uses.
constexpr int kOpenNameKind = 4;
constexpr int kSaveAsNameKind = 5;

// The file name without folder and extension.
std::string FileTitle(const std::string& fileName) {
  const size_t slash = fileName.find_last_of("\\/");
  std::string title = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  const size_t dot = title.find_last_of('.');
  if (dot != std::string::npos && dot > 0) title.erase(dot);
  return title;
}

template <class Definition>
ILayer* RunDefinition(IUserInterface& ui, bool confirmed, const Definition& definition, IObject& form) {
  if (!confirmed) return nullptr;
  if (auto message = definition.Check()) {
    ui.Message(*message);
    return nullptr;
  }
  WaitCursor wait(ui);
  return definition.AddTo(form);
}

}  // namespace

// --- Generators ---

void CWorkspaceDoc::AddPrimitive(Primitive primitive) {
  static constexpr Command kCommands[] = {Command::addSphere, Command::addCylinder, Command::addCone,
                                          Command::addDisk, Command::addPlane};
  // The menus offer primitives only for a plain form; a call that comes
  // anyway with something else first is told why nothing happens.
  if (!IsEnabled(*this, kCommands[static_cast<int>(primitive)])) {
    if (GetFirstSelectedItem() == nullptr || GetFirstItem()->IsForm()) return;
  }
  LeaveTransforms();
  auto* form = dynamic_cast<IObject*>(GetFirstItem());
  if (form == nullptr) {
    services_.ui.Message(kNotAFormMessage);
    return;
  }
  IEditorDialogs& dialogs = services_.dialogs;
  IUserInterface& ui = services_.ui;
  ILayer* layer = nullptr;
  switch (primitive) {
    case Primitive::sphere: {
      SphereDefinition d;
      layer = RunDefinition(ui, dialogs.EditSphere(d), d, *form);
      break;
    }
    case Primitive::cylinder: {
      CylinderDefinition d;
      layer = RunDefinition(ui, dialogs.EditCylinder(d), d, *form);
      break;
    }
    case Primitive::cone: {
      ConeDefinition d;
      layer = RunDefinition(ui, dialogs.EditCone(d), d, *form);
      break;
    }
    case Primitive::disk: {
      DiskDefinition d;
      layer = RunDefinition(ui, dialogs.EditDisk(d), d, *form);
      break;
    }
    case Primitive::plane: {
      PlaneDefinition d;
      layer = RunDefinition(ui, dialogs.EditPlane(d), d, *form);
      break;
    }
  }
  if (layer == nullptr) return;
  Broadcast(kHintDraw, form);
  ui.Status(AddedLayerStatus(*layer));
  UpdateClonesOf(*form, nullptr, true);
  SetModified();
}

template <class Settings>
void CWorkspaceDoc::Sweep(Command command, Settings& remembered, bool (IEditorDialogs::*edit)(Settings&)) {
  if (!IsEnabled(*this, command)) return;
  LeaveTransforms();
  auto* form = static_cast<IObject*>(GetFirstItem());
  Settings values = remembered;
  if (!(services_.dialogs.*edit)(values)) return;
  if (auto message = values.Check()) {
    services_.ui.Message(*message);
    return;
  }
  remembered = values;
  ILayer* layer = nullptr;
  {
    WaitCursor wait(services_.ui);
    layer = values.ApplyTo(*form);
  }
  if (layer == nullptr) return;
  Broadcast(kHintDraw, form);
  Broadcast(kHintDrawLevelHandles);
  services_.ui.Status(AddedLayerStatus(*layer));
  SetModified();
}

void CWorkspaceDoc::Extrude() { Sweep(Command::extrude, extrudeValues_, &IEditorDialogs::EditExtrude); }

void CWorkspaceDoc::Lathe() { Sweep(Command::lathe, latheValues_, &IEditorDialogs::EditLathe); }

// --- Form files ---

bool CWorkspaceDoc::ReadFormFile(IObject& form, const std::string& path) {
  try {
    CDiskFile file(path, CDiskFile::modeRead);
    CArchive ar(&file, CArchive::load, Workspace::kFileBufferSize);
    // Replaces the body only once the whole record was read.
    form.SerializeBody(ar);
    return true;
  } catch (...) {
    ReportFailure(services_.ui, std::current_exception(), DocumentOperation::open, path);
    return false;
  }
}

bool CWorkspaceDoc::WriteFormFile(IObject& form) {
  const std::string path = form.GetFilePath();
  try {
    CSafeFile file(path);
    CArchive ar(&file, CArchive::store, Workspace::kFileBufferSize);
    form.SerializeBody(ar);
    ar.Close();
    file.Commit();
    return true;
  } catch (...) {
    ReportFailure(services_.ui, std::current_exception(), DocumentOperation::save, path);
    return false;
  }
}

void CWorkspaceDoc::FormOpen() {
  if (!IsEnabled(*this, Command::formOpen)) return;
  auto* form = static_cast<IObject*>(GetFirstItem());
  FileDialogRequest request;
  request.initialName = form->GetFileName();
  request.mustExist = true;
  const std::optional<std::string> chosen = services_.dialogs.ChooseFileToOpen(request);
  if (!chosen) return;
  const std::string oldFileName = form->GetFileName();
  form->SetFileName(*chosen);
  if (!MakeUniqueFileName(*form, 0, kOpenNameKind)) {
    form->SetFileName(oldFileName);
    return;
  }
  WaitCursor wait(services_.ui);
  services_.ui.Status("Opening form...");
  Broadcast(kHintErase, form);
  if (!ReadFormFile(*form, form->GetFilePath())) {
    form->SetFileName(oldFileName);
    Broadcast(kHintDraw, form);
    return;
  }
  form->SetName(FileTitle(*chosen));
  objectList_.Renew(*form);
  Broadcast(kHintDraw, form);
  UpdateClonesOf(*form, nullptr, true);
  SetModified();
  services_.ui.Status("Opened form");
}

void CWorkspaceDoc::FormSave() {
  if (!IsEnabled(*this, Command::formSave)) return;
  WaitCursor wait(services_.ui);
  services_.ui.Status("Saving form(s)...");
  for (IRoot* item : GetSelectedItems()) {
    auto* form = dynamic_cast<IObject*>(item);
    if (form != nullptr && !form->IsClone()) WriteFormFile(*form);
  }
  services_.ui.Status("Saved form(s)");
}

void CWorkspaceDoc::FormSaveAs() {
  if (!IsEnabled(*this, Command::formSaveAs)) return;
  for (IRoot* item : GetSelectedItems()) {
    auto* form = dynamic_cast<IObject*>(item);
    if (form == nullptr || form->IsClone()) continue;
    FileDialogRequest request;
    request.initialName = form->GetFileName();
    request.promptOverwrite = true;
    const std::optional<std::string> chosen = services_.dialogs.ChooseFileToSave(request);
    if (!chosen) continue;
    const std::string oldFileName = form->GetFileName();
    form->SetFileName(*chosen);
    if (!MakeUniqueFileName(*form, 0, kSaveAsNameKind)) {
      form->SetFileName(oldFileName);
      continue;
    }
    WaitCursor wait(services_.ui);
    services_.ui.Status("Saving form...");
    // A form whose new file could not be written stays with the old one.
    if (!WriteFormFile(*form)) {
      form->SetFileName(oldFileName);
      continue;
    }
    services_.ui.Status("Saved form");
    SetModified();
  }
}

}  // namespace brevoxa
