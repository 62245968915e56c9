// What the render tests share: a temporary program folder with OBJSTORE and
// its settings files, a workspace with a camera looking along -X, a quad
// across its view, builders for aimed cameras, lights, generated forms and
// material files, and a receiver that records the render's messages from
// any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "material/environment.h"
#include "material/material_doc.h"
#include "material/texture.h"
#include "persist/archive.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "render/render_doc.h"
#include "render/render_job.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/workspace.h"
#include "support/temp_dir.h"

namespace brevoxa::testing {

inline void SaveSettingsFile(const std::string& path, CObject& document) {
  CDiskFile file(path, CDiskFile::modeCreate);
  CArchive ar(&file, CArchive::store, 512);
  document.Serialize(ar);
  ar.Close();
  file.Close();
}

inline RenderSettings SettingsOfSize(int width, int height, Supersampling sampling = Supersampling::none) {
  RenderSettings s;
  s.width = static_cast<uint16_t>(width);
  s.height = static_cast<uint16_t>(height);
  s.supersampling = sampling;
  return s;
}

// A square of the given half size facing the camera at x.
inline IObject* AddQuad(Workspace& ws, double x, double half) {
  auto form = std::make_unique<IObject>();
  form->SetName("Quad");
  const CVector corners[4] = {{x, -half, -half}, {x, half, -half}, {x, half, half}, {x, -half, half}};
  auto* layer = new ILayer;
  form->GetLayers().AddTail(layer);
  auto* polygon = new IPolygon;
  for (const CVector& c : corners) {
    auto* point = new IPoint(c);
    form->GetPoints().AddTail(point);
    polygon->AddPoint(point);
  }
  layer->GetPolygons().AddTail(polygon);
  form->UpdateWorldGeometry();
  return static_cast<IObject*>(ws.AddItem(std::move(form)));
}

// A program folder of its own: OBJSTORE with RENDER.RDR, ENVIRONM.ENV and
// MATERIAL.MAT, so that no link falls back to its defaults with a message.
class RenderStore {
 public:
  explicit RenderStore(const RenderSettings& settings = SettingsOfSize(2, 2))
      : storeDir_((dir_.path() / "OBJSTORE").string()), store_(storeDir_) {
    std::filesystem::create_directories(storeDir_);
    WriteSettings(settings);
    EnvironmentSettings environment;
    environment.horizon = {10, 20, 30};
    WriteEnvironment(environment);
    CMaterialDoc material;
    SaveSettingsFile(StoreFile("MATERIAL.MAT"), material);
  }

  void WriteSettings(const RenderSettings& settings) {
    CRenderDoc document;
    if (!document.SetSettings(settings)) throw std::invalid_argument("settings the form refuses");
    SaveSettingsFile(StoreFile("RENDER.RDR"), document);
  }
  void WriteEnvironment(const EnvironmentSettings& settings) {
    CEnvironment document;
    if (!document.SetSettings(settings)) throw std::invalid_argument("environment the form refuses");
    SaveSettingsFile(StoreFile("ENVIRONM.ENV"), document);
  }

  // The program folder, where temporaries and RENSTAT.DAT go.
  const std::filesystem::path& Folder() const { return dir_.path(); }
  const std::string& StoreDir() const { return storeDir_; }
  std::string StoreFile(const std::string& name) const { return (std::filesystem::path(storeDir_) / name).string(); }

  // The render's temporary files left in the program folder.
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("dms", 0) == 0 || name.rfind("dmp", 0) == 0) names.push_back(name);
    }
    return names;
  }

 private:
  TempDir dir_;
  std::string storeDir_;
  ScopedObjectStore store_;
};

// A camera at the origin looking along -X: right is +Y, up is +Z.
inline ICamera* AddCamera(Workspace& ws, const std::string& name = "CAMERAX") {
  auto camera = std::make_unique<ICamera>();
  camera->SetName(name);
  camera->PlaceAt({0, 0, 0}, 100.0);
  return static_cast<ICamera*>(ws.AddItem(std::move(camera)));
}

inline ILight* AddLight(Workspace& ws) {
  auto light = std::make_unique<ILight>();
  light->SetPosition({0, 0, 50});
  light->SetColour({255, 255, 255});
  return static_cast<ILight*>(ws.AddItem(std::move(light)));
}

// A camera at eye looking at target, with world Z up in its picture. The
// primary rays start on the view plane, so it stays close to the eye: the
// default sees 53 degrees across.
inline ICamera* AddAimedCamera(Workspace& ws, const CVector& eye, const CVector& target,
                               double viewPlaneWidth = 1.0, double viewPlaneDistance = 1.0) {
  auto camera = std::make_unique<ICamera>();
  camera->SetName("AIMED");
  camera->SetPosition(eye);
  camera->SetTarget(target);
  camera->SetUpPoint(eye + CVector(0, 0, 1));
  camera->SetViewPlaneWidth(viewPlaneWidth);
  camera->SetViewPlaneDistance(viewPlaneDistance);
  return static_cast<ICamera*>(ws.AddItem(std::move(camera)));
}

inline ILight* AddLightAt(Workspace& ws, const CVector& position, const CVector& colour) {
  auto light = std::make_unique<ILight>();
  light->SetPosition(position);
  light->SetColour(colour);
  return static_cast<ILight*>(ws.AddItem(std::move(light)));
}

// A form whose frame stands at position, turned by rotation (degrees), with
// the geometry generate adds; every layer names the material file.
inline IObject* AddGeneratedForm(Workspace& ws, const CVector& position, const std::string& materialFile,
                                 const std::function<void(IObject&)>& generate, const CVector& rotation = {}) {
  auto form = std::make_unique<IObject>();
  form->SetPosition(position);
  form->SetRotation(rotation);
  generate(*form);
  for (IDrawable* layer : form->GetLayers()) static_cast<ILayer*>(layer)->GetMaterial().SetFileName(materialFile);
  form->UpdateWorldGeometry();
  return static_cast<IObject*>(ws.AddItem(std::move(form)));
}

// Writes a material file into the store, with the textures in order.
inline void SaveMaterial(const RenderStore& store, const std::string& fileName, const MaterialSettings& settings,
                         std::vector<std::unique_ptr<ITexture>> textures = {}) {
  CMaterialDoc material;
  if (!material.SetSettings(settings)) throw std::invalid_argument("material the form refuses");
  for (auto& texture : textures) material.AddTexture(std::move(texture));
  SaveSettingsFile(store.StoreFile(fileName), material);
}

struct ReceivedMessage {
  RenderMessage message;
  std::thread::id thread;
};

// Keeps every message; Post may come from any thread.
class RecordingReceiver : public IRenderReceiver {
 public:
  void Post(RenderMessage message) override {
    {
      std::lock_guard lock(mutex_);
      received_.push_back({std::move(message), std::this_thread::get_id()});
    }
    changed_.notify_all();
  }

  std::vector<ReceivedMessage> Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }
  // (id, wParam) of every message.
  std::vector<std::pair<int, int>> Sequence() const {
    std::vector<std::pair<int, int>> ids;
    for (const ReceivedMessage& r : Received()) ids.emplace_back(r.message.id, r.message.wParam);
    return ids;
  }
  bool Has(int id) const {
    for (const ReceivedMessage& r : Received())
      if (r.message.id == id) return true;
    return false;
  }
  // Waits for a message of the id; false when none came (a hung render).
  bool WaitFor(int id) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
      for (const ReceivedMessage& r : received_)
        if (r.message.id == id) return true;
      return false;
    });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ReceivedMessage> received_;
};

// Polls until the condition holds; false when it never did. Only a guard
// against a hang: nothing here depends on how long anything takes.
inline bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 20000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

// The messages of a render of H rows on an empty scene (the octree divides
// only its root), up to WM_RENDER_END.
inline std::vector<std::pair<int, int>> ExpectedSequence(int H) {
  std::vector<std::pair<int, int>> s = {{WM_RENDER_BEGIN, 0}, {WM_RENDER_PHASE, 10}};
  for (int p : {200, 400, 600, 800, 1000}) s.emplace_back(WM_RENDER_POSITION, p);
  s.emplace_back(WM_RENDER_PHASE, 20);
  for (int i = 1; i <= 8; ++i) s.emplace_back(WM_RENDER_POSITION, i * 125);
  s.emplace_back(WM_RENDER_POSITION, 1000);
  s.emplace_back(WM_RENDER_PHASE, 940);
  for (int r = 0; r < H; ++r) s.emplace_back(WM_RENDER_POSITION, static_cast<int>((r + 1.0) / H * 1000.0));
  s.emplace_back(WM_RENDER_PHASE, 10);
  for (int p : {330, 660, 1000}) s.emplace_back(WM_RENDER_POSITION, p);
  s.emplace_back(WM_RENDER_PHASE, 20);
  for (int p : {500, 1000}) s.emplace_back(WM_RENDER_POSITION, p);
  s.emplace_back(WM_RENDER_END, 0);
  return s;
}

}  // namespace brevoxa::testing
