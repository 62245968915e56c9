// The workspace file: its record, the clean-up after a corrupt stream, and
// loading and saving at the document boundary.
#include "scene/workspace.h"

#include <string>
#include <unordered_set>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/failure_message.h"
#include "persist/file.h"
#include "persist/safe_file.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/root.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {
// The smallest view record is its version word.
constexpr uint64_t kMinViewRecordBytes = 2;
constexpr size_t kMaxViewCount = 0xFFFF;


IRoot* AsItem(CObject* object) {
  return object && object->IsKindOf(RUNTIME_CLASS(IRoot)) ? static_cast<IRoot*>(object) : nullptr;
}

// Lets go of the clone's master, if it has one.
void ReleaseMaster(CObject* object) {
  IRoot* root = AsItem(object);
  if (root && root->GetCloneMaster()) root->SetCloneMaster(nullptr);
}
}  // namespace

Workspace::Workspace() = default;

Workspace::~Workspace() { Clear(); }

CViewRecord& Workspace::AddView() {
  views_.push_back(std::make_unique<CViewRecord>());
  return *views_.back();
}

void Workspace::RemoveView(size_t index) {
  if (index < views_.size()) views_.erase(views_.begin() + static_cast<std::ptrdiff_t>(index));
}

IRoot* Workspace::AddItem(std::unique_ptr<IRoot> item) {
  IRoot* raw = item.get();
  if (raw) items_.AddTail(item.release());
  return raw;
}

void Workspace::Clear() {
  // The views only refer to scene cameras, so they go first.
  views_.clear();
  items_.DeleteAll();
  name_.clear();
  description_.clear();
  renderLink_.Close();
  renderLink_.SetFileName(IRenderLink().GetFileName());
  environmentLink_.Close();
  environmentLink_.SetFileName(IEnvironmentLink().GetFileName());
}

void Workspace::Write(CArchive& ar) {
  uint16_t version = kVersion;
  ar << version << name_ << description_;
  if (views_.size() > kMaxViewCount)
    throw CArchiveException(CArchiveException::generic, "more views than a workspace file can hold");
  ar << static_cast<uint16_t>(views_.size());
  for (auto& view : views_) view->Serialize(ar);
  items_.Serialize(ar);
  renderLink_.Serialize(ar);
  environmentLink_.Serialize(ar);
}

void Workspace::Read(CArchive& ar) {
  uint16_t version = 0;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  ar.Transfer("name", name_);
  ar.Transfer("description", description_);

  uint16_t viewCount = 0;
  ar.Transfer("viewCount", viewCount);
  ar.RequireBytes(viewCount * kMinViewRecordBytes);
  {
    CArchive::Group group(ar, "views", viewCount);
    for (size_t i = 0; i < viewCount; ++i) {
      CArchive::Group record(ar, ar.GetTrace() ? IndexLabel(static_cast<uint32_t>(i)) : std::string());
      AddView().Serialize(ar);
    }
  }

  {
    CArchive::Group group(ar, "items");
    items_.Serialize(ar);
  }
  // Everything that works on items treats them as top-level items; an
  // element of another kind in the list is a corrupt file.
  for (IDrawable* item : items_) {
    if (!item->IsKindOf(RUNTIME_CLASS(IRoot)))
      throw CArchiveException(CArchiveException::badClass,
                              std::string(item->GetRuntimeClass()->className) + " is not a scene item");
  }

  {
    CArchive::Group group(ar, "renderLink");
    renderLink_.Serialize(ar);
  }
  {
    CArchive::Group group(ar, "environmentLink");
    environmentLink_.Serialize(ar);
  }
}

// A corrupt stream can put a new object where only a reference belongs (a
// view's camera, a clone's master) so that no owner claims it. Whatever
// still points at such an orphan lets go of it, then the orphans die.
void Workspace::SettleOrphans(CArchive& ar) {
  std::vector<CObject*> orphans = ar.TakeUnownedObjects();
  std::unordered_set<const CObject*> doomed(orphans.begin(), orphans.end());

  // A view shows a camera of the scene or its own, nothing else: a camera
  // that no item claimed may be kept alive by the view itself, but it is not
  // one the user can see or edit, and the view that keeps it may close
  // before another view that shows it.
  std::unordered_set<const CObject*> items(items_.begin(), items_.end());
  for (auto& view : views_) {
    IViewTran& tran = view->GetViewTran();
    if (!tran.HasOwnCamera() && !items.count(tran.GetCamera())) tran.SetCamera(nullptr);
  }
  if (orphans.empty()) return;
  for (IDrawable* item : items_) {
    IRoot* root = AsItem(item);
    if (root && doomed.count(root->GetCloneMaster())) root->SetCloneMaster(nullptr);
  }
  // An orphan that is itself a clone lets go of its master, which may be a
  // live item.
  for (CObject* orphan : orphans) ReleaseMaster(orphan);
  for (CObject* orphan : orphans) delete orphan;
}

void Workspace::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    Write(ar);
    return;
  }
  Clear();
  try {
    Read(ar);
  } catch (...) {
    // Nothing read survives a failure: clones let go of their masters first,
    // so that no destructor meets an item that has already gone.
    std::vector<CObject*> orphans = ar.TakeUnownedObjects();
    for (IDrawable* item : items_) ReleaseMaster(item);
    for (CObject* orphan : orphans) ReleaseMaster(orphan);
    Clear();
    for (CObject* orphan : orphans) delete orphan;
    throw;
  }
  SettleOrphans(ar);
}

bool Workspace::Load(const std::string& path, IUserInterface& ui, IArchiveTrace* trace) {
  ScopedUserInterface scoped(ui);
  try {
    CDiskFile file(path, CDiskFile::modeRead);
    CArchive ar(&file, CArchive::load, kFileBufferSize);
    ar.SetTrace(trace);
    Serialize(ar);
    return true;
  } catch (...) {
    Clear();
    ReportFailure(ui, std::current_exception(), DocumentOperation::open, path);
    return false;
  }
}

bool Workspace::Save(const std::string& path, IUserInterface& ui) {
  ScopedUserInterface scoped(ui);
  try {
    // Everything goes to a temporary first; only a complete file replaces
    // the old one, which a failed write would otherwise have destroyed.
    CSafeFile file(path);
    CArchive ar(&file, CArchive::store, kFileBufferSize);
    Serialize(ar);
    ar.Close();
    file.Commit();
    return true;
  } catch (...) {
    ReportFailure(ui, std::current_exception(), DocumentOperation::save, path);
    return false;
  }
}

}  // namespace brevoxa
