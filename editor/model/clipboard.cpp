// The internal clipboard, and Copy, Cut and Paste of the workspace.
//
// A record of scene items: a 32-bit count, then for each item its class
// name and the item's own clipboard record. A form's record carries its
// master as this process's form id, which is why the buffer must never
// leave the application.
#include "editor/model/clipboard.h"

#include <memory>
#include <string>

#include "editor/model/workspace_doc.h"
#include "persist/archive.h"
#include "persist/class_registry.h"
#include "persist/file.h"
#include "scene/form_object.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {
const char kPasteFailed[] = "Paste Failed";
const char kNoMaster[] = "Previous master no longer exists, or previous master is now a clone.";
// The file-name letter of pasted forms.
constexpr int kPastedNameKind = 1;
// A class name and the smallest item record.
constexpr size_t kMinEntryBytes = 4;
}  // namespace

void InternalClipboard::Set(std::vector<uint8_t> bytes, int kind) {
  bytes_ = kind == kClipboardEmpty ? std::vector<uint8_t>() : std::move(bytes);
  kind_ = kind;
}

// --- Copy and cut ---

void CWorkspaceDoc::Copy() {
  if (!IsEnabled(*this, Command::copy)) return;
  CopySelection();
}

bool CWorkspaceDoc::CopySelection() {
  WaitCursor wait(services_.ui);
  services_.ui.Status("Copying to clipboard...");
  InternalClipboard& clipboard = services_.clipboard;
  clipboard.Clear();
  CMemFile file(InternalClipboard::kGrowth);
  int kind = kClipboardEmpty;
  bool copied = true;
  try {
    CArchive ar(&file, CArchive::store, InternalClipboard::kBufferSize);
    if (level_ == kRootLevel) {
      const std::vector<IRoot*> items = GetSelectedItems();
      ar << static_cast<uint32_t>(items.size());
      for (IRoot* item : items) {
        ar << std::string(item->GetRuntimeClass()->className);
        if (!item->SerializeSelection(kRootLevel, ar, kind)) {
          copied = false;
          break;
        }
      }
    } else {
      IRoot* first = GetFirstSelectedItem();
      copied = first != nullptr && first->SerializeSelection(level_, ar, kind);
    }
    ar.Close();
  } catch (const std::exception&) {
    copied = false;
  }
  if (copied) {
    clipboard.Set(file.Bytes(), kind);
  } else {
    services_.ui.Message("Cut/Copy Failed");
  }
  services_.ui.Status("Done Copying to Clipboard");
  return copied;
}

void CWorkspaceDoc::Cut() {
  if (!IsEnabled(*this, Command::cut)) return;
  // What could not be copied is not deleted either.
  if (CopySelection()) Delete();
  services_.ui.Status("Done Cutting to Clipboard");
}

// --- Paste ---

void CWorkspaceDoc::Paste() {
  InternalClipboard& clipboard = services_.clipboard;
  if (clipboard.IsEmpty()) {
    services_.ui.Message(kPasteFailed);
    return;
  }
  if (!IsEnabled(*this, Command::paste)) return;
  WaitCursor wait(services_.ui);
  services_.ui.Status("Pasting from clipboard...");
  LeaveTransforms();
  CMemFile file(clipboard.GetBytes(), InternalClipboard::kGrowth);
  CArchive ar(&file, CArchive::load, InternalClipboard::kBufferSize);
  if (level_ == kRootLevel && clipboard.GetKind() == kClipItems) {
    PasteItems(ar);
  } else {
    IRoot* first = GetFirstSelectedItem();
    int kind = clipboard.GetKind();
    bool pasted = false;
    try {
      pasted = first != nullptr && first->SerializeSelection(level_, ar, kind);
    } catch (const std::exception&) {
      pasted = false;
    }
    if (pasted) {
      Broadcast(kHintDraw, first);
      Broadcast(kHintDrawLevelHandles);
    } else {
      services_.ui.Message(kPasteFailed);
    }
  }
  services_.ui.Status("Done Pasting from the Clipboard");
}

bool CWorkspaceDoc::PasteItems(CArchive& ar) {
  try {
    uint32_t count = 0;
    ar >> count;
    ar.RequireBytes(uint64_t{count} * kMinEntryBytes);
    // Whatever was pasted before a failing entry stays.
    for (uint32_t i = 0; i < count; ++i)
      if (!PasteOneItem(ar)) return false;
    return true;
  } catch (const std::exception&) {
    services_.ui.Message(kPasteFailed);
    return false;
  }
}

bool CWorkspaceDoc::PasteOneItem(CArchive& ar) {
  const std::string className = ar.ReadString();
  const CRuntimeClass* cls = ClassRegistry::Instance().Find(className);
  std::unique_ptr<CObject> object(cls != nullptr && cls->IsDerivedFrom(RUNTIME_CLASS(IRoot)) ? cls->CreateObject()
                                                                                               : nullptr);
  if (object == nullptr) {
    services_.ui.Message(kPasteFailed);
    return false;
  }
  std::unique_ptr<IRoot> item(static_cast<IRoot*>(object.release()));
  int kind = kClipItems;
  bool read = false;
  try {
    read = item->SerializeSelection(kRootLevel, ar, kind);
  } catch (const std::exception&) {
    read = false;
  }
  if (!read) {
    services_.ui.Message(kPasteFailed);
    return false;
  }
  // The clones of the copied master stay with it.
  item->ResetClones();

  auto* form = dynamic_cast<IObject*>(item.get());
  if (form != nullptr && form->GetMasterId() != 0) {
    IObject* master = FindForm(form->GetMasterId());
    if (master == nullptr || !AttachClone(*form, *master)) {
      services_.ui.Message(kNoMaster);
      return false;
    }
    IRoot* clone = item.get();
    GetItems().AddTail(item.release());
    objectList_.Add(*clone);
    Broadcast(kHintDrawHandle, clone);
    UpdateClonesOf(*master, clone, true);
    return true;
  }
  IRoot* pasted = AppendItem(std::move(item));
  if (!MakeUniqueFileName(*pasted, 0, kPastedNameKind)) {
    // Two forms on one file would overwrite each other when saved.
    RemoveItem(*pasted);
    return false;
  }
  return true;
}

}  // namespace brevoxa
