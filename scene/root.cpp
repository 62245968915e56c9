// Defaults of the top-level item interface, and the memory-stream copy.
#include "scene/root.h"

#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/file.h"
#include "scene/ob_list.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IRoot, IDrawable, 0)

namespace {
constexpr uint16_t kRootVersion = 1;
constexpr size_t kCopyFileGrowth = 1024;
constexpr size_t kCopyBufferSize = 4096;
}  // namespace

void IRoot::Serialize(CArchive& ar) {
  uint16_t version = kRootVersion;
  CArchive::Group group(ar, "IRoot");
  ar.Transfer("version", version);
  if (version != kRootVersion) return;
  IDrawable::Serialize(ar);
}

void IRoot::SetName(const std::string&) {}
std::string IRoot::GetFileName() const { return {}; }
void IRoot::SetFileName(const std::string&) {}
std::string IRoot::GetFilePath() const { return {}; }
void IRoot::SetFilePath(const std::string&) {}
bool IRoot::IsForm() const { return false; }
bool IRoot::MakeFileName(int, int) { return false; }
void IRoot::PlaceAt(const CVector& position, double) { SetPosition(position); }

bool IRoot::HasSelection(int) const { return false; }
bool IRoot::CanPaste(int, int) const { return false; }
bool IRoot::SerializeSelection(int, CArchive&, int&) { return false; }
bool IRoot::HasMultipleSelection(int) const { return false; }

void IRoot::Join(int, IRoot&) {}
void IRoot::WeldPoints(int) {}
void IRoot::UpdateLocalBounds() {}
void IRoot::SelectElements(int, IObList&) {}

void IRoot::MoveElement(int, IDrawable&, const CVector&, int) {}
void IRoot::MoveElementAgain(int level, IDrawable& element, const CVector& v, int mode) {
  MoveElement(level, element, v, mode);
}
void IRoot::EndMoveElement(int level, IDrawable& element, const CVector& v, int mode) {
  MoveElement(level, element, v, mode);
}
void IRoot::RotateElement(int, IDrawable&, const CVector&, int) {}
// Deliberately MoveElement: an item that handles only moves (a camera moves
// its handle points) treats the repeated and final steps of any drag so.
void IRoot::RotateElementAgain(int level, IDrawable& element, const CVector& v, int mode) {
  MoveElement(level, element, v, mode);
}
void IRoot::EndRotateElement(int level, IDrawable& element, const CVector& v, int mode) {
  MoveElement(level, element, v, mode);
}
void IRoot::ScaleElement(int, IDrawable&, const CVector&, int) {}
void IRoot::ScaleElementAgain(int level, IDrawable& element, const CVector& v, int mode) {
  ScaleElement(level, element, v, mode);
}
void IRoot::EndScaleElement(int level, IDrawable& element, const CVector& v, int mode) {
  ScaleElement(level, element, v, mode);
}

bool IRoot::EditElementProperties(int, IDrawable& element, IPropertyEditor& editor) {
  return element.EditProperties(editor);
}
void IRoot::AfterElementEdit(int, IDrawable& element) { element.AfterEdit(); }

int IRoot::GetLevelCount() const { return 0; }
IObList* IRoot::GetLevelList(int) { return nullptr; }
std::string IRoot::GetLevelName(int) const { return {}; }
std::string IRoot::GetElementName(int, const IDrawable&) const { return {}; }
bool IRoot::CanApply(int, int) const { return false; }
IDrawable* IRoot::AddElementAt(const CVector&, int, IPolygon*&, const IViewTran&) { return nullptr; }
void IRoot::DetachSelection(int, IObList&) {}
void IRoot::ClearPointMarks(int) {}
void IRoot::MarkPolygonsUsing(int, const IPoint&) {}

void IRoot::DrawLevel(int, IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  Draw(device, view, mode, flags);
}

void IRoot::DrawLevelHandles(int level, IDrawSurface& device, const IViewTran& view, int mode,
                             int flags) {
  IObList* list = GetLevelList(level);
  if (list == nullptr) return;
  for (IDrawable* element : *list) element->DrawHandle(device, view, mode, flags);
}

bool IRoot::ValidateElement(int, IDrawable&) { return true; }

bool IRoot::HasClones() const { return false; }
void IRoot::AddClone() {}
void IRoot::RemoveClone() {}
void IRoot::ResetClones() {}
bool IRoot::IsClone() const { return false; }
void IRoot::SetCloneMaster(IObject*) {}
IObject* IRoot::GetCloneMaster() const { return nullptr; }
void IRoot::UpdateFromMaster() {}
bool IRoot::IsLinked() const { return false; }
void IRoot::UpdateBounds() {}

void IRoot::SerializeCopy(CArchive& ar) { Serialize(ar); }

std::unique_ptr<IRoot> IRoot::Duplicate() const {
  const CRuntimeClass* cls = GetRuntimeClass();
  std::unique_ptr<CObject> object(cls->CreateObject());
  if (object == nullptr || !object->IsKindOf(RUNTIME_CLASS(IRoot)))
    throw CNotSupportedException(std::string("cannot duplicate a ") + cls->className);
  std::unique_ptr<IRoot> copy(static_cast<IRoot*>(object.release()));

  CMemFile file(kCopyFileGrowth);
  {
    CArchive store(&file, CArchive::store, kCopyBufferSize);
    // A storing pass only reads the item's fields; the copy record is the
    // same non-const operation that loads them.
    const_cast<IRoot*>(this)->SerializeCopy(store);
    store.Close();
  }
  file.SeekToBegin();
  {
    CArchive load(&file, CArchive::load, kCopyBufferSize);
    copy->SerializeCopy(load);
    load.Close();
  }
  return copy;
}

}  // namespace brevoxa
