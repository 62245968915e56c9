// Fuzz entry points shared by the fuzzers and the corpus replays.
#include "support/fuzz_targets.h"

#include <memory>
#include <unordered_set>
#include <vector>

#include "math/view_tran.h"
#include "material/environment.h"
#include "material/image_reader.h"
#include "material/material_doc.h"
#include "persist/archive.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "render/render_doc.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/polygon.h"
#include "scene/workspace.h"
#include "ui/user_interface.h"

namespace brevoxa::testing {

namespace {

// A form inside a fuzzed workspace may name any form file; none is found.
constexpr const char* kNoStore = "/nonexistent/brevoxa-fuzz-store";

class SilentUi : public IUserInterface {
 public:
  void Message(const std::string&) override {}
  Answer Ask(const std::string&, Buttons) override { return Answer::no; }
  void Status(const std::string&) override {}
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
};

// Runs read, turning the stream's own failures into an outcome.
template <class Read>
FuzzOutcome Outcome(Read read) {
  try {
    read();
  } catch (const CArchiveException& e) {
    return {FuzzOutcome::archiveFailure, e.cause()};
  } catch (const CNotSupportedException&) {
    return {FuzzOutcome::notSupported, 0};
  }
  return {};
}

bool IsNewWorkspace(const Workspace& ws) {
  return ws.GetViewCount() == 0 && ws.GetItems().IsEmpty() && ws.GetName().empty() &&
         ws.GetDescription().empty() && ws.GetRenderLink().GetFileName() == "RENDER.RDR" &&
         ws.GetEnvironmentLink().GetFileName() == "ENVIRONM.ENV";
}

// Every view shows its own camera or one of the items; every master is an item.
bool RefersOnlyToItems(const Workspace& ws) {
  std::unordered_set<const CObject*> items(ws.GetItems().begin(), ws.GetItems().end());
  for (size_t i = 0; i < ws.GetViewCount(); ++i) {
    const IViewTran& tran = ws.GetView(i).GetViewTran();
    if (!tran.HasOwnCamera() && !items.count(tran.GetCamera())) return false;
  }
  for (const IDrawable* item : ws.GetItems()) {
    if (!item->IsKindOf(RUNTIME_CLASS(IRoot))) return false;
    const IObject* master = static_cast<const IRoot*>(item)->GetCloneMaster();
    if (master && !items.count(master)) return false;
  }
  return true;
}

// Every polygon uses only points of the form's own list.
bool PolygonsUseOwnPoints(const IObject& form) {
  std::unordered_set<const CObject*> points(form.GetPoints().begin(), form.GetPoints().end());
  for (const IDrawable* layer : form.GetLayers()) {
    if (!layer->IsKindOf(RUNTIME_CLASS(ILayer))) return false;
    for (const IDrawable* polygon : static_cast<const ILayer*>(layer)->GetPolygons()) {
      if (!polygon->IsKindOf(RUNTIME_CLASS(IPolygon))) return false;
      for (const IDrawable* point : static_cast<const IPolygon*>(polygon)->GetPoints())
        if (!points.count(point)) return false;
    }
  }
  return true;
}

}  // namespace

FuzzOutcome FuzzArchive(const uint8_t* data, size_t size) {
  CMemFile file(std::vector<uint8_t>(data, data + size));
  CArchive ar(&file, CArchive::load, 128);
  std::vector<std::unique_ptr<CObject>> owned;
  FuzzOutcome outcome;
  try {
    while (ar.BytesRemaining() > 0) {
      owned.emplace_back(ar.ReadOwnedObject());
      if (ar.BytesRemaining() == 0) break;
      ar.ReadString();
      if (ar.BytesRemaining() == 0) break;
      uint32_t count = ar.ReadCount();
      for (uint32_t i = 0; i < count; ++i) owned.emplace_back(ar.ReadOwnedObject());
    }
  } catch (const CArchiveException& e) {
    outcome = {FuzzOutcome::archiveFailure, e.cause()};
  } catch (const CNotSupportedException&) {
    outcome = {FuzzOutcome::notSupported, 0};
  }
  for (CObject* orphan : ar.TakeUnownedObjects()) owned.emplace_back(orphan);
  return outcome;
}

FuzzOutcome FuzzWorkspace(const uint8_t* data, size_t size) {
  SilentUi ui;
  ScopedUserInterface quiet(ui);
  ScopedObjectStore store(kNoStore);
  Workspace ws;
  CMemFile file(std::vector<uint8_t>(data, data + size));
  CArchive ar(&file, CArchive::load, 128);
  FuzzOutcome outcome = Outcome([&] { ws.Serialize(ar); });
  const bool sound = outcome.kind == FuzzOutcome::complete ? RefersOnlyToItems(ws) : IsNewWorkspace(ws);
  if (!sound) outcome = {FuzzOutcome::inconsistent, 0};
  return outcome;
}

FuzzOutcome FuzzFormBody(const uint8_t* data, size_t size) {
  SilentUi ui;
  ScopedUserInterface quiet(ui);
  IObject form;
  CMemFile file(std::vector<uint8_t>(data, data + size));
  CArchive ar(&file, CArchive::load, 128);
  FuzzOutcome outcome = Outcome([&] { form.SerializeBody(ar); });
  for (CObject* orphan : ar.TakeUnownedObjects()) delete orphan;
  // A failed read leaves the new form empty; a good one consistent.
  const bool sound = outcome.kind == FuzzOutcome::complete
                         ? PolygonsUseOwnPoints(form)
                         : form.GetLayers().IsEmpty() && form.GetPoints().IsEmpty();
  if (!sound) outcome = {FuzzOutcome::inconsistent, 0};
  return outcome;
}

namespace {

template <class Document>
FuzzOutcome FuzzDocument(const uint8_t* data, size_t size, bool (*isDefault)(const Document&)) {
  SilentUi ui;
  ScopedUserInterface quiet(ui);
  Document document;
  CMemFile file(std::vector<uint8_t>(data, data + size));
  CArchive ar(&file, CArchive::load, 128);
  FuzzOutcome outcome = Outcome([&] { document.Serialize(ar); });
  for (CObject* orphan : ar.TakeUnownedObjects()) delete orphan;
  if (outcome.kind != FuzzOutcome::complete && !isDefault(document)) outcome = {FuzzOutcome::inconsistent, 0};
  return outcome;
}

bool MaterialIsDefault(const CMaterialDoc& doc) {
  return doc.Settings() == MaterialSettings() && doc.GetTextureCount() == 0;
}
bool EnvironmentIsDefault(const CEnvironment& doc) { return doc.Settings() == EnvironmentSettings(); }
bool RenderSettingsAreDefault(const CRenderDoc& doc) { return doc.Settings() == RenderSettings(); }

}  // namespace

FuzzOutcome FuzzSettings(SettingsKind kind, const uint8_t* data, size_t size) {
  switch (kind) {
    case SettingsKind::material: return FuzzDocument<CMaterialDoc>(data, size, MaterialIsDefault);
    case SettingsKind::environment: return FuzzDocument<CEnvironment>(data, size, EnvironmentIsDefault);
    case SettingsKind::renderSettings: return FuzzDocument<CRenderDoc>(data, size, RenderSettingsAreDefault);
  }
  return {};
}

FuzzOutcome FuzzImage(const uint8_t* data, size_t size, const std::string& extension) {
  ImageReadResult result = DecodeImage(data, size, extension);
  if (result.error != ImageError::none) return {FuzzOutcome::notSupported, static_cast<int>(result.error)};
  const Bitmap& b = result.bitmap;
  if (b.width <= 0 || b.height <= 0 || b.bgr.size() != b.RowBytes() * static_cast<size_t>(b.height))
    return {FuzzOutcome::inconsistent, 0};
  return {};
}

}  // namespace brevoxa::testing
