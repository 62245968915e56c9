// Settings files read on their own.
#include "cli/settings_reader.h"

#include <exception>

#include "material/environment.h"
#include "material/material_doc.h"
#include "persist/archive.h"
#include "persist/failure_message.h"
#include "persist/file.h"
#include "render/render_doc.h"
#include "ui/user_interface.h"

namespace brevoxa::cli {

namespace {

// The links read settings files in steps of this size.
constexpr size_t kSettingsBufferSize = 512;

bool ReadDocument(CObject& document, const std::string& path, IUserInterface& ui, IArchiveTrace& trace) {
  ScopedUserInterface scoped(ui);
  try {
    CDiskFile file(path, CDiskFile::modeRead);
    CArchive ar(&file, CArchive::load, kSettingsBufferSize);
    ar.SetTrace(&trace);
    document.Serialize(ar);
    return true;
  } catch (...) {
    ReportFailure(ui, std::current_exception(), DocumentOperation::open, path);
    return false;
  }
}

}  // namespace

bool ReadMaterialFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace) {
  CMaterialDoc material;
  return ReadDocument(material, path, ui, trace);
}

bool ReadEnvironmentFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace) {
  CEnvironment environment;
  return ReadDocument(environment, path, ui, trace);
}

bool ReadRenderSettingsFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace) {
  CRenderDoc settings;
  return ReadDocument(settings, path, ui, trace);
}

}  // namespace brevoxa::cli
