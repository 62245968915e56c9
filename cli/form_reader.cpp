// A form file read on its own, through the form's own body reader.
#include "cli/form_reader.h"

#include <exception>

#include "persist/archive.h"
#include "persist/failure_message.h"
#include "persist/file.h"
#include "scene/form_object.h"
#include "ui/user_interface.h"

namespace brevoxa::cli {

namespace {
// Form files have always been read through an archive of this size.
constexpr size_t kFormBufferSize = 4096;
}  // namespace

bool ReadFormFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace) {
  ScopedUserInterface scoped(ui);
  IObject form;
  try {
    CDiskFile file(path, CDiskFile::modeRead);
    CArchive ar(&file, CArchive::load, kFormBufferSize);
    ar.SetTrace(&trace);
    try {
      form.SerializeBody(ar);
    } catch (...) {
      for (CObject* orphan : ar.TakeUnownedObjects()) delete orphan;
      throw;
    }
    // Objects the body holds only by reference and no list of it owns.
    for (CObject* orphan : ar.TakeUnownedObjects()) delete orphan;
    return true;
  } catch (...) {
    ReportFailure(ui, std::current_exception(), DocumentOperation::open, path);
    return false;
  }
}

}  // namespace brevoxa::cli
