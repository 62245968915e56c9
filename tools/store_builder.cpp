// Writes the default OBJSTORE file by file.
#include "tools/store_builder.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "material/environment.h"
#include "material/material_doc.h"
#include "persist/object_store.h"
#include "render/render_doc.h"
#include "scene/workspace.h"
#include "tools/demo_scene.h"
#include "tools/preview_scenes.h"
#include "tools/store_files.h"
#include "ui/user_interface.h"

namespace brevoxa::store {

namespace {

constexpr const char* kDefaultMaterialFile = "MATERIAL.MAT";
constexpr const char* kDefaultSkyFile = "ENVIRONM.ENV";
constexpr const char* kDefaultSettingsFile = "RENDER.RDR";
constexpr const char* kPlainImageFile = "PLAIN.JPG";
constexpr int kPlainImageSize = 64;
constexpr int kPlainImageGrey = 128;

// A new material is black, which under the default sky would show a new
// form as a black shape on black. The delivered default is a light grey
// with a soft highlight instead, so a first render shows its forms.
MaterialSettings DefaultMaterial() {
  MaterialSettings s;
  s.name = "Default";
  s.color = {200, 200, 200};
  s.specular = {120, 120, 120};
  return s;
}

struct WorkspaceFile {
  const char* name;
  void (*build)(Workspace&);
};

const WorkspaceFile kWorkspaces[] = {
    {kSphereWorkspaceFile, BuildSpherePreview},
    {kBoxWorkspaceFile, BuildBoxPreview},
    {kComplexWorkspaceFile, BuildComplexPreview},
    {kDemoWorkspaceFile, BuildDemo},
};

// Values the settings forms would refuse are a fault of this program, not
// of the user: they end the build rather than being written.
template <class Settings>
bool Accepted(const Settings& settings, const std::string& path, IUserInterface& ui) {
  std::optional<std::string> refused = settings.Check();
  if (!refused) return true;
  std::string text = path;
  text += ": ";
  text += *refused;
  ui.Message(text);
  return false;
}

bool WriteEnvironment(const EnvironmentSettings& settings, const std::string& path, IUserInterface& ui) {
  CEnvironment sky;
  if (!Accepted(settings, path, ui) || !sky.SetSettings(settings)) return false;
  return WriteDocument(sky, path, ui);
}

bool WriteRenderSettings(const RenderSettings& settings, const std::string& path, IUserInterface& ui) {
  CRenderDoc doc;
  if (!Accepted(settings, path, ui) || !doc.SetSettings(settings)) return false;
  return WriteDocument(doc, path, ui);
}

bool WriteSettingsFiles(const std::filesystem::path& dir, IUserInterface& ui) {
  auto at = [&](const char* name) { return (dir / name).string(); };
  CMaterialDoc material;
  const std::string materialPath = at(kDefaultMaterialFile);
  if (!Accepted(DefaultMaterial(), materialPath, ui) || !material.SetSettings(DefaultMaterial())) return false;
  if (!WriteDocument(material, at(kDefaultMaterialFile), ui)) return false;
  if (!WriteEnvironment(EnvironmentSettings{}, at(kDefaultSkyFile), ui)) return false;
  if (!WriteRenderSettings(RenderSettings{}, at(kDefaultSettingsFile), ui)) return false;
  if (!WritePlainImage(at(kPlainImageFile), kPlainImageSize, kPlainImageGrey, ui)) return false;

  if (!WriteEnvironment(BlackSky(), at(kBlackSkyFile), ui)) return false;
  if (!WriteEnvironment(WhiteSky(), at(kWhiteSkyFile), ui)) return false;
  if (!WriteEnvironment(GradientSky(), at(kGradientSkyFile), ui)) return false;
  if (!WriteRenderSettings(PreviewRenderSettings(), at(kPreviewSettingsFile), ui)) return false;

  if (!WriteEnvironment(DemoSky(), at(kDemoSkyFile), ui)) return false;
  if (!WriteRenderSettings(DemoRenderSettings(), at(kDemoSettingsFile), ui)) return false;
  for (NamedMaterial& m : DemoMaterials())
    if (!WriteDocument(*m.material, at(m.fileName.c_str()), ui)) return false;
  return true;
}

bool Build(const std::string& dir, IUserInterface& ui) {
  const std::filesystem::path root(dir);
  std::error_code ec;
  std::filesystem::create_directories(root / kRenderedFolder, ec);
  if (ec) {
    std::string text = "Unable to create ";
    text += (root / kRenderedFolder).string();
    text += ": ";
    text += ec.message();
    ui.Message(text);
    return false;
  }
  if (!WriteSettingsFiles(root, ui)) return false;
  // Saving a workspace writes its forms' files into OBJSTORE, which is the
  // folder being built for as long as the workspaces are saved.
  ScopedObjectStore store(dir);
  for (const WorkspaceFile& file : kWorkspaces) {
    Workspace ws;
    file.build(ws);
    if (!ws.Save((root / file.name).string(), ui)) return false;
  }
  return true;
}

}  // namespace

bool BuildStore(const std::string& dir, IUserInterface& ui) {
  try {
    return Build(dir, ui);
  } catch (const std::exception& e) {
    // A scene the library refuses to build.
    ui.Message(e.what());
    return false;
  }
}

}  // namespace brevoxa::store
