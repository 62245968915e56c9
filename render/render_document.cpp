// The document a render reads, borrowed or as a snapshot.
#include "render/render_document.h"

#include "scene/light.h"
#include "scene/root.h"
#include "scene/workspace.h"

namespace brevoxa {

RenderDocument::RenderDocument(Workspace& workspace, std::string title)
    : workspace_(&workspace), title_(std::move(title)) {}

RenderDocument::RenderDocument(std::unique_ptr<Workspace> owned, std::string title)
    : owned_(std::move(owned)), workspace_(owned_.get()), title_(std::move(title)) {}

RenderDocument::~RenderDocument() = default;

std::unique_ptr<RenderDocument> RenderDocument::Snapshot(const Workspace& workspace, const ICamera& viewCamera,
                                                         const std::string& title) {
  auto copy = std::make_unique<Workspace>();
  copy->SetName(workspace.GetName());
  for (const IDrawable* item : workspace.GetItems()) {
    if (!item->IsKindOf(RUNTIME_CLASS(IRoot))) continue;
    copy->AddItem(static_cast<const IRoot*>(item)->Duplicate());
  }
  copy->GetRenderLink().CopyFileName(workspace.GetRenderLink());
  copy->GetEnvironmentLink().CopyFileName(workspace.GetEnvironmentLink());
  std::unique_ptr<RenderDocument> document(new RenderDocument(std::move(copy), title));
  document->SetRenderCamera(viewCamera);
  return document;
}

void RenderDocument::SetRenderCamera(const ICamera& viewed) {
  camera_.CopyFrom(viewed);
  camera_.SetViewPlaneDistance(viewed.GetViewPlaneDistance());
  camera_.SetViewPlaneWidth(viewed.GetViewPlaneWidth());
}

void RenderDocument::GatherLights() {
  lights_.clear();
  for (const IDrawable* item : workspace_->GetItems()) {
    if (item->IsKindOf(RUNTIME_CLASS(ILight))) lights_.push_back(static_cast<const ILight*>(item));
  }
}

}  // namespace brevoxa
