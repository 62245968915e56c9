// Unique form file names within a workspace: two forms that write the same
// form file would overwrite each other's geometry when saved.
#include "editor/model/workspace_doc.h"

#include "scene/form_object.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

// MakeFileName kinds that refuse with a message of their own: a form opened
// from, or saved over, a file that another form of the workspace uses.
constexpr int kAlreadyOpenKind = 4;
constexpr int kOverwriteOpenKind = 5;

bool TakesPart(const IRoot& item) { return item.IsForm() && !item.IsClone() && !item.GetFileName().empty(); }

}  // namespace

bool CWorkspaceDoc::MakeUniqueFileName(IRoot& item, int startNumber, int kind) {
  if (!TakesPart(item)) return true;
  auto clashes = [this, &item] {
    for (IDrawable* element : GetItems()) {
      const auto* other = static_cast<const IRoot*>(element);
      if (other != &item && TakesPart(*other) && other->GetFileName() == item.GetFileName()) return true;
    }
    return false;
  };
  for (int number = startNumber; clashes(); ++number) {
    if (number > IObject::kLastFileNumber) {
      services_.ui.Message("Unable to generate unique name");
      return false;
    }
    if (!item.MakeFileName(number, kind)) {
      // A form that ran out of free numbers on disk failed just the same.
      if (kind != kAlreadyOpenKind && kind != kOverwriteOpenKind)
        services_.ui.Message("Unable to generate unique name");
      return false;
    }
  }
  objectList_.Renew(item);
  return true;
}

IObject* CWorkspaceDoc::FindForm(uint32_t formId) const {
  for (IDrawable* element : GetItems()) {
    auto* form = dynamic_cast<IObject*>(element);
    if (form != nullptr && form->GetFormId() == formId) return form;
  }
  return nullptr;
}

}  // namespace brevoxa
