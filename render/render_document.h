// RenderDocument: what one render reads: the title its picture is named
// after, the workspace (its items and settings links), a camera of its own
// and the lights gathered when the render starts. On the interface thread a
// render borrows the user's workspace; a background render owns a snapshot,
// so the user can go on editing while it runs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/camera.h"

namespace brevoxa {

class ILight;
class Workspace;

class RenderDocument {
 public:
  // Borrows the workspace, which must outlive the document.
  RenderDocument(Workspace& workspace, std::string title);
  ~RenderDocument();
  RenderDocument(const RenderDocument&) = delete;
  RenderDocument& operator=(const RenderDocument&) = delete;

  // A document that owns a copy of everything a render reads: a Duplicate
  // of every item in order, links naming the same files, the viewed
  // camera (see SetRenderCamera) and the title. Nothing of the original is
  // referred to afterwards. Passes on the exception of an item that cannot
  // be duplicated.
  static std::unique_ptr<RenderDocument> Snapshot(const Workspace& workspace, const ICamera& viewCamera,
                                                  const std::string& title);

  const std::string& GetTitle() const { return title_; }
  Workspace& GetWorkspace() { return *workspace_; }
  const Workspace& GetWorkspace() const { return *workspace_; }

  // The camera the render looks through.
  const ICamera& GetCamera() const { return camera_; }
  // Takes over the viewed camera's eye, target, up point and frame and its
  // view-plane distance and width: the picture then frames what the camera
  // view shows, whatever the user set those two values to.
  void SetRenderCamera(const ICamera& viewed);

  // The workspace's lights in item order, as gathered by the last
  // GatherLights; they belong to the workspace.
  const std::vector<const ILight*>& GetLights() const { return lights_; }
  void GatherLights();

 private:
  explicit RenderDocument(std::unique_ptr<Workspace> owned, std::string title);

  std::unique_ptr<Workspace> owned_;
  Workspace* workspace_;
  std::string title_;
  ICamera camera_;
  std::vector<const ILight*> lights_;
};

}  // namespace brevoxa
