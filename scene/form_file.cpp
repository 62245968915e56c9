// Form records: the header in the workspace stream, the body in the form
// file (or inline in copies), clipboard records, clone refreshes and the
// choice of new form file names.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_set>

#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/safe_file.h"
#include "scene/form_body.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

constexpr uint16_t kFormVersion = 1;
constexpr uint16_t kBodyVersion = 1;
constexpr size_t kFormFileBufferSize = 4096;
// A clone refresh copies through a small memory stream.
constexpr size_t kCloneBufferSize = 512;
constexpr size_t kCloneFileGrowth = 1024;
// A clipboard element is at least a two-byte tag.
constexpr uint64_t kMinElementBytes = 2;
// Longest base of a generated name, digits included (eight-character names).
constexpr size_t kNameStemLength = 7;
// How far a chain of masters is followed when looking for a cycle.
constexpr int kMaxMasterChain = 10000;

const char kAlreadyOpenCopy[] =
    "This form is already open in this workspace.  Use the clipboard or clonening to add multiple copies.";
const char kAlreadyOpenOverwrite[] =
    "This form is already open in this workspace.  You may not overwrite it while it is open.";
const char kUnableToLoad[] = "Unable to load the external form object";

// Objects created since the mark that nothing claimed can only be points
// that a polygon named without the form owning them: they join the points.
void AdoptOrphans(CArchive& ar, size_t mark, IObList& points) {
  for (CObject* orphan : ar.TakeUnownedObjects(mark)) {
    if (orphan->IsKindOf(RUNTIME_CLASS(IPoint))) points.AddTail(static_cast<IPoint*>(orphan));
    else delete orphan;
  }
}

void DiscardOrphans(CArchive& ar, size_t mark) {
  for (CObject* orphan : ar.TakeUnownedObjects(mark)) delete orphan;
}

// A polygon may only use points of its own form; one that names a point
// owned by anything else would be left dangling when that owner goes.
void CheckPolygonPoints(const IObList& layers, const IObList& points) {
  std::unordered_set<const IDrawable*> owned(points.begin(), points.end());
  for (const IDrawable* layer : layers)
    for (const IDrawable* polygon : static_cast<const ILayer*>(layer)->GetPolygons())
      for (const IDrawable* vertex : static_cast<const IPolygon*>(polygon)->GetPoints())
        if (owned.count(vertex) == 0)
          throw CArchiveException(CArchiveException::badIndex, "a polygon uses a point that its form does not own");
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  bool exists = std::filesystem::exists(path, ec);
  // When the question cannot be answered the name is not taken: a file
  // that might exist must never be overwritten.
  return exists || (ec && ec != std::errc::no_such_file_or_directory);
}

}  // namespace

// --- The form record ---

void IObject::Serialize(CArchive& ar) { SerializeForm(ar, true, false); }

void IObject::SerializeCopy(CArchive& ar) { SerializeForm(ar, false, true); }

void IObject::SerializeForm(CArchive& ar, bool external, bool rawMaster) {
  if (!SerializeHeader(ar, rawMaster)) return;
  if (!external) {
    SerializeBody(ar);
  } else if (ar.IsStoring()) {
    if (!IsClone()) StoreExternalBody();
  } else {
    LoadExternalBody(ar.GetTrace());
  }
}

bool IObject::SerializeHeader(CArchive& ar, bool rawMaster) {
  uint16_t version = kFormVersion;
  ar.Transfer("version", version);
  if (version != kFormVersion) return false;

  std::string fileName = fileName_.GetName();
  ar.Transfer("fileName", fileName);
  if (ar.IsLoading()) fileName_.SetName(fileName);
  frame_.Serialize(ar);

  if (rawMaster) {
    // An opaque id, never a pointer: the reader only keeps it.
    uint32_t id = cloneMaster_ ? cloneMaster_->formId_ : masterId_;
    ar.Transfer("cloneMaster", id);
    if (ar.IsLoading()) {
      cloneMaster_ = nullptr;
      masterId_ = id;
    }
  } else if (ar.IsStoring()) {
    ar.WriteObject(cloneMaster_);
  } else {
    ar.Label("cloneMaster");
    auto* master = static_cast<IObject*>(ar.ReadObject(RUNTIME_CLASS(IObject)));
    masterId_ = 0;
    cloneMaster_ = master;
    // A form that would be its own master, directly or round a chain of
    // clones, would never write its body anywhere: it is made the master.
    int steps = 0;
    for (const IObject* m = master; m != nullptr && steps < kMaxMasterChain; m = m->cloneMaster_, ++steps) {
      if (m == this) {
        cloneMaster_ = nullptr;
        break;
      }
    }
  }

  ar.Transfer("cloneCount", cloneCount_);
  ar.Transfer("quickDraw", quickDraw_);
  ar.Transfer("name", name_);
  return true;
}

// --- The body ---

void IObject::SerializeBody(CArchive& ar) {
  if (ar.IsStoring()) WriteBody(ar);
  else LoadBody(ar);
}

void IObject::WriteBody(CArchive& ar) {
  CArchive::Group group(ar, "body");
  uint16_t version = kBodyVersion;
  ar.Transfer("version", version);
  IRoot::Serialize(ar);
  ar.Transfer("description", description_);
  ar.Transfer("externalName", externalName_);
  layers_.Serialize(ar);
  points_.Serialize(ar);
  extra_.Serialize(ar);
}

void IObject::LoadBody(CArchive& ar) {
  const size_t mark = ar.LoadMark();
  Body body;
  try {
    CArchive::Group group(ar, "body");
    uint16_t version = 0;
    ar.Transfer("version", version);
    if (version != kBodyVersion) return;
    IRoot::Serialize(ar);
    ar.Transfer("description", body.description);
    ar.Transfer("externalName", body.externalName);
    {
      CArchive::Group layers(ar, "layers");
      body.layers.Serialize(ar, RUNTIME_CLASS(ILayer));
    }
    {
      CArchive::Group points(ar, "points");
      body.points.Serialize(ar, RUNTIME_CLASS(IPoint));
    }
    CArchive::Group extra(ar, "extra");
    body.extra.Serialize(ar);
  } catch (...) {
    DiscardOrphans(ar, mark);
    throw;
  }
  AdoptOrphans(ar, mark, body.points);
  CheckPolygonPoints(body.layers, body.points);
  InstallBody(body);
}

void IObject::InstallBody(Body& body) {
  layers_.DeleteAll();
  points_.DeleteAll();
  extra_.DeleteAll();
  MoveElements(body.layers, layers_);
  MoveElements(body.points, points_);
  MoveElements(body.extra, extra_);
  description_ = std::move(body.description);
  externalName_ = std::move(body.externalName);
  UpdateWorldGeometry();
}

void IObject::StoreExternalBody() {
  // Written beside the form file and renamed over it only when complete.
  CSafeFile file(GetFilePath());
  CArchive ar(&file, CArchive::store, kFormFileBufferSize);
  WriteBody(ar);
  ar.Close();
  file.Commit();
}

void IObject::LoadExternalBody(IArchiveTrace* trace) {
  const IObject* source = cloneMaster_ ? cloneMaster_ : this;
  const std::string path = source->GetFilePath();
  if (trace) trace->BeginGroup(path, 0);
  struct EndGroup {
    IArchiveTrace* trace;
    ~EndGroup() {
      if (trace) trace->EndGroup();
    }
  } endGroup{trace};
  try {
    CDiskFile file(path, CDiskFile::modeRead);
    CArchive ar(&file, CArchive::load, kFormFileBufferSize);
    ar.SetTrace(trace);
    LoadBody(ar);
  } catch (const std::exception&) {
    // The form keeps its header; the workspace goes on loading.
    CurrentUserInterface().Message(kUnableToLoad);
  }
}

// --- Copies and clones ---

std::unique_ptr<IRoot> IObject::Duplicate() const {
  std::unique_ptr<IRoot> copy = IRoot::Duplicate();
  // No clone names the copy as its master.
  static_cast<IObject*>(copy.get())->cloneCount_ = 0;
  return copy;
}

void IObject::UpdateFromMaster() {
  if (cloneMaster_ == nullptr) return;
  CMemFile file(kCloneFileGrowth);
  {
    CArchive store(&file, CArchive::store, kCloneBufferSize);
    cloneMaster_->WriteBody(store);
    store.Close();
  }
  file.SeekToBegin();
  CArchive load(&file, CArchive::load, kCloneBufferSize);
  LoadBody(load);
}

// --- Clipboard records ---

bool IObject::SerializeSelection(int level, CArchive& ar, int& kind) {
  if (ar.IsStoring()) {
    ILayer* first = GetFirstLayer();
    switch (level) {
      case kRootLevel:
        kind = kClipItems;
        SerializeForm(ar, false, true);
        return true;
      case kPointLevel:
        kind = kClipPoints;
        StoreSelectedPoints(ar);
        return true;
      case kLayerLevel:
        if (first == nullptr) return false;
        kind = kClipLayers;
        SelectPointsOf(first->GetPolygons(), false);
        StoreSelectedPoints(ar);
        ar.WriteObject(first);
        return true;
      case kPolygonLevel: {
        if (first == nullptr) return false;
        kind = kClipPolygons;
        SelectPointsOf(first->GetPolygons(), true);
        StoreSelectedPoints(ar);
        uint32_t count = 0;
        for (const IDrawable* polygon : first->GetPolygons()) count += polygon->IsSelected() ? 1 : 0;
        ar << count;
        for (const IDrawable* polygon : first->GetPolygons())
          if (polygon->IsSelected()) ar.WriteObject(polygon);
        return true;
      }
      default:
        return false;
    }
  }

  // Each level reads only its own kind of record.
  static constexpr int kKindOfLevel[] = {kClipItems, kClipPoints, kClipLayers, kClipPolygons};
  if (level < kRootLevel || level > kPolygonLevel || kind != kKindOfLevel[level]) return false;
  if (level == kRootLevel) {
    SerializeForm(ar, false, true);
    return true;
  }
  const size_t mark = ar.LoadMark();
  Body pasted;
  try {
    LoadPoints(ar, pasted);
    if (level == kLayerLevel) {
      ar.Label("layer");
      std::unique_ptr<CObject> layer(ar.ReadOwnedObject(RUNTIME_CLASS(ILayer)));
      if (layer) pasted.layers.AddTail(static_cast<ILayer*>(layer.release()));
    } else if (level == kPolygonLevel) {
      uint32_t count = 0;
      ar.Transfer("count", count);
      ar.RequireBytes(count * kMinElementBytes);
      // The polygons wait in a holder layer until the record is whole.
      auto* holder = new ILayer;
      pasted.layers.AddTail(holder);
      CArchive::Group group(ar, "polygons", count);
      for (uint32_t i = 0; i < count; ++i) {
        if (ar.GetTrace()) ar.Label(IndexLabel(i));
        std::unique_ptr<CObject> polygon(ar.ReadOwnedObject(RUNTIME_CLASS(IPolygon)));
        if (polygon) holder->GetPolygons().AddTail(static_cast<IPolygon*>(polygon.release()));
      }
    }
  } catch (...) {
    DiscardOrphans(ar, mark);
    throw;
  }
  FinishPaste(ar, mark, pasted);

  if (level == kLayerLevel && !pasted.layers.IsEmpty()) {
    auto* layer = static_cast<ILayer*>(pasted.layers.GetHead());
    pasted.layers.RemoveAll();
    layers_.AddTail(layer);
    layer->AttachTo(frame_);
  } else if (level == kPolygonLevel) {
    IObList& held = static_cast<ILayer*>(pasted.layers.GetHead())->GetPolygons();
    MoveElements(held, FirstLayerOrNew().GetPolygons());
  }
  boundsValid_ = 0;
  return true;
}

void IObject::StoreSelectedPoints(CArchive& ar) {
  CArchive::Group group(ar, "points");
  uint32_t count = 0;
  for (const IDrawable* point : points_) count += point->IsSelected() ? 1 : 0;
  ar << count;
  for (const IDrawable* point : points_)
    if (point->IsSelected()) ar.WriteObject(point);
}

void IObject::LoadPoints(CArchive& ar, Body& pasted) {
  uint32_t count = 0;
  ar.Transfer("count", count);
  ar.RequireBytes(count * kMinElementBytes);
  CArchive::Group group(ar, "points", count);
  for (uint32_t i = 0; i < count; ++i) {
    if (ar.GetTrace()) ar.Label(IndexLabel(i));
    std::unique_ptr<CObject> point(ar.ReadOwnedObject(RUNTIME_CLASS(IPoint)));
    if (point) pasted.points.AddTail(static_cast<IPoint*>(point.release()));
  }
}

void IObject::SelectPointsOf(const IObList& polygons, bool selectedOnly) {
  for (IDrawable* point : points_) point->Select(false);
  for (const IDrawable* polygon : polygons) {
    if (selectedOnly && !polygon->IsSelected()) continue;
    for (IDrawable* point : static_cast<const IPolygon*>(polygon)->GetPoints()) point->Select(true);
  }
  points_.Recount();
}

void IObject::FinishPaste(CArchive& ar, size_t mark, Body& pasted) {
  AdoptOrphans(ar, mark, pasted.points);
  // The pasted polygons may only use the pasted points.
  CheckPolygonPoints(pasted.layers, pasted.points);
  for (IDrawable* point : pasted.points) static_cast<IPoint*>(point)->PlaceIn(frame_);
  MoveElements(pasted.points, points_);
}

// --- New form file names ---

bool IObject::MakeFileName(int startNumber, int kind) {
  if (kind == 4) {
    CurrentUserInterface().Message(kAlreadyOpenCopy);
    return false;
  }
  if (kind == 5) {
    CurrentUserInterface().Message(kAlreadyOpenOverwrite);
    return false;
  }
  const char* letter = kind == 2 ? "A" : kind == 1 ? "C" : kind == 3 ? "P" : "X";
  if (startNumber == 0) {
    previousFileName_ = fileName_;
    previousName_ = name_;
    attemptCounter_ = 0;
  }
  const CFileName oldFileName = fileName_;
  const std::string oldName = name_;

  const std::string& previous = previousFileName_.GetName();
  const size_t separator = previous.find_last_of("\\/");
  const std::string directory = separator == std::string::npos ? std::string() : previous.substr(0, separator + 1);
  const std::string last = separator == std::string::npos ? previous : previous.substr(separator + 1);
  const std::string base = last.substr(0, last.find('.'));

  for (int64_t n = std::max<int64_t>(0, int64_t{startNumber} + attemptCounter_); n <= kLastFileNumber;
       ++n, ++attemptCounter_) {
    const std::string digits = std::to_string(n + 1);
    fileName_.SetName(directory + base.substr(0, kNameStemLength - digits.size()) + letter + digits + ".FRM");
    if (kind != 3) name_ = previousName_ + " " + letter + digits;
    if (!FileExists(GetFilePath())) return true;
  }
  // No free number: the names stay as they were, so that nothing saved
  // afterwards can overwrite the last file tried.
  fileName_ = oldFileName;
  name_ = oldName;
  return false;
}

}  // namespace brevoxa
