// The scenes a material window renders its material on: three skies to
// choose from and three workspaces (a sphere, a box, a small still life).
// Every layer of a preview names the scratch material the window writes,
// and every workspace the scratch sky it copies one of the three skies to,
// so a preview needs nothing but those two files.
#pragma once

#include "material/environment.h"
#include "render/render_doc.h"

namespace brevoxa {
class Workspace;
}

namespace brevoxa::store {

inline constexpr const char* kPreviewMaterialFile = "PREVIEW.MAT";
inline constexpr const char* kPreviewSkyFile = "PREV.ENV";
// Previews keep a small picture of their own, whatever the default render
// settings have been changed to.
inline constexpr const char* kPreviewSettingsFile = "PREVIEW.RDR";

inline constexpr const char* kBlackSkyFile = "PREVBLK.ENV";
inline constexpr const char* kWhiteSkyFile = "PREVWHT.ENV";
inline constexpr const char* kGradientSkyFile = "PREVCLR.ENV";

inline constexpr const char* kSphereWorkspaceFile = "PREVSPH.WSP";
inline constexpr const char* kBoxWorkspaceFile = "PREVBOX.WSP";
inline constexpr const char* kComplexWorkspaceFile = "PREVCPX.WSP";

EnvironmentSettings BlackSky();
EnvironmentSettings WhiteSky();
EnvironmentSettings GradientSky();
RenderSettings PreviewRenderSettings();

// Each fills a new workspace; saving it writes its form files (PREVSPH.FRM,
// PREVBOX.FRM, PREVCPX1.FRM ...) into OBJSTORE.
void BuildSpherePreview(Workspace& ws);
void BuildBoxPreview(Workspace& ws);
void BuildComplexPreview(Workspace& ws);

}  // namespace brevoxa::store
