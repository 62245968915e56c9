// Add mode: new forms, lights and cameras at Root, new elements of the
// edited item at the sub-levels.
#include "editor/model/add_mode.h"

#include <cctype>
#include <filesystem>
#include <memory>

#include "editor/model/workspace_doc.h"
#include "persist/object_store.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/light.h"
#include "scene/polygon.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  // A file that may exist is never to be overwritten.
  return exists || (ec && ec != std::errc::no_such_file_or_directory);
}

}  // namespace

std::string NameCounter::Next(const std::string& prefix, const std::string& suffix,
                              const std::function<bool(const std::string&)>& taken) {
  for (int tries = 0; tries < kLast; ++tries) {
    number_ = number_ >= kLast || number_ < 0 ? 1 : number_ + 1;
    std::string name = prefix;
    name += std::to_string(number_);
    name += suffix;
    if (!taken(name)) return name;
  }
  return {};
}

AddModeCounters& ApplicationAddModeCounters() {
  static AddModeCounters counters;
  return counters;
}

std::string FormNameFromFileName(const std::string& fileName) {
  std::string name = fileName.substr(0, fileName.find('.'));
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

// --- Root: new scene items ---

namespace {

bool NameInUse(const IObList& items, const std::string& name, std::string (IRoot::*get)() const) {
  for (const IDrawable* element : items)
    if ((static_cast<const IRoot*>(element)->*get)() == name) return true;
  return false;
}

}  // namespace

IRoot* CWorkspaceDoc::AddForm(const CVector& at, double viewWidth) {
  if (level_ != kRootLevel) return nullptr;
  const std::string fileName = services_.counters.forms.Next("FRM", ".FRM", [this](const std::string& name) {
    return FileExists(StoredNamePath(name)) || NameInUse(GetItems(), name, &IRoot::GetFileName);
  });
  if (fileName.empty()) return nullptr;
  auto form = std::make_unique<IObject>();
  form->SetFileName(fileName);
  form->SetName(FormNameFromFileName(fileName));
  form->PlaceAt(at, viewWidth);
  form->UpdateWorldGeometry();
  return AnnounceAdded(AppendItem(std::move(form), true));
}

IRoot* CWorkspaceDoc::AddLight(const CVector& at, double viewWidth) {
  return AddNamedItem(std::make_unique<ILight>(), services_.counters.lights, "Lht", at, viewWidth);
}

IRoot* CWorkspaceDoc::AddCamera(const CVector& at, double viewWidth) {
  return AddNamedItem(std::make_unique<ICamera>(), services_.counters.cameras, "Cam", at, viewWidth);
}

IRoot* CWorkspaceDoc::AddNamedItem(std::unique_ptr<IRoot> item, NameCounter& counter, const char* prefix,
                                   const CVector& at, double viewWidth) {
  if (level_ != kRootLevel) return nullptr;
  const std::string name =
      counter.Next(prefix, "", [this](const std::string& n) { return NameInUse(GetItems(), n, &IRoot::GetName); });
  if (name.empty()) return nullptr;
  item->SetName(name);
  item->PlaceAt(at, viewWidth);
  return AnnounceAdded(AppendItem(std::move(item), true));
}

IRoot* CWorkspaceDoc::AnnounceAdded(IRoot* added) {
  std::string status = "Added ";
  status += added->GetLevelName(kRootLevel);
  status += " ";
  status += added->GetName();
  services_.ui.Status(status);
  SetModified();
  return added;
}

// --- Sub-levels: new elements of the edited item ---

IDrawable* CWorkspaceDoc::AddElementAt(const CVector& at, const IViewTran& view) {
  if (level_ == kRootLevel) return nullptr;
  IRoot* item = GetFirstSelectedItem();
  if (item == nullptr) return nullptr;
  if (!PendingIsLive() || pendingOwner_ != item) DropPending();
  IDrawable* previous = pending_;
  IPolygon* building = previous != nullptr && previous->IsPolygon() ? static_cast<IPolygon*>(previous) : nullptr;
  IDrawable* element = item->AddElementAt(at, level_, building, view);
  if (element == nullptr) return nullptr;
  if (previous != nullptr) {
    Broadcast(kHintErase, previous);
    Broadcast(kHintEraseHandle, previous);
  }
  Broadcast(element == previous ? kHintDrawContinued : kHintDraw, element);
  Broadcast(kHintDrawHandle, element);
  std::string status = "Added ";
  status += item->GetLevelName(level_);
  status += " ";
  status += item->GetElementName(level_, *element);
  services_.ui.Status(status);
  pending_ = element;
  pendingOwner_ = item;
  SetModified();
  return element;
}

}  // namespace brevoxa
