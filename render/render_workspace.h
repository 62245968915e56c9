// The render driver: one camera picture of a workspace, from the two
// questions to the JPEG under OBJSTORE/RENDERED. It runs wholly on the
// calling thread (the interface thread, or a background render's own) and
// touches the interface only through the job's messages and ui.
#pragma once

#include <string>

namespace brevoxa {

class IUserInterface;
class RenderDocument;
class RenderJob;
struct OctreeBuildHooks;

inline constexpr const char* kProceedQuestion = "Ok To Proceed With Rendering?";
inline constexpr const char* kNoLightsQuestion =
    "Warning: There are no lights in this workspace.  Ok To Proceed With Rendering?";

// Asks whether to go on (and again when the scene has no lights; a Cancel
// sends and writes nothing), then opens the settings and material links,
// builds the octree, traces one primary ray per sample row by row into a
// raw sample file, reduces it, writes the JPEG at RenderedImagePath(label)
// and releases everything it opened. Progress goes out as job messages:
// 1025, then phases of weight 10, 20, 940, 10 and 20 with their positions,
// 1028, and 1029 when the settings display the picture.
//
// A stop ends the tracing after the current row and completes the picture
// in white. A picture that cannot be written is reported through ui (and
// job.imageWritten stays false); any other failure is reported too, and the
// render still ends with 1028. The temporary files are always removed.
void RenderWorkspace(RenderDocument& document, RenderJob& job, IUserInterface& ui);

// Lets a pause of the job hold the octree build's threads: they wait at
// the pause between cells and count among the threads that must all be
// still before the job is held.
void HoldBuildOnPause(RenderJob& job, OctreeBuildHooks& hooks);

// The name a document title gives its picture: the file name without
// folder and extension, and without the "*" of an unsaved document.
std::string RenderLabel(const std::string& title);

}  // namespace brevoxa
