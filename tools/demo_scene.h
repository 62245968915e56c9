// The demonstration workspace: glass, chrome, a mirror and textured forms on
// a checkerboard floor under a graded sky, lit by two lights with shadows.
// Its settings, materials and form files all start with "DEMO".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "material/environment.h"
#include "material/material_doc.h"
#include "render/render_doc.h"

namespace brevoxa {
class Workspace;
}

namespace brevoxa::store {

inline constexpr const char* kDemoWorkspaceFile = "DEMO.WSP";
inline constexpr const char* kDemoSkyFile = "DEMO.ENV";
inline constexpr const char* kDemoSettingsFile = "DEMO.RDR";

struct NamedMaterial {
  std::string fileName;
  std::unique_ptr<CMaterialDoc> material;
};

// Every material the demo's layers name, with its file name.
std::vector<NamedMaterial> DemoMaterials();
EnvironmentSettings DemoSky();
RenderSettings DemoRenderSettings();

// Fills a new workspace; saving it writes the DEMO*.FRM form files into
// OBJSTORE.
void BuildDemo(Workspace& ws);

}  // namespace brevoxa::store
