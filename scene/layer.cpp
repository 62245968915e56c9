// Layers: the record, drawing and links.
#include "scene/layer.h"

#include "persist/archive.h"
#include "scene/polygon.h"
#include "scene/property_editor.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ILayer, IDrawable, 0)

namespace {
constexpr uint16_t kLayerVersion = 1;
constexpr int kLayerAxisLength = 1;
constexpr int kLayerAxisStyle = 2;
}  // namespace

ILayer::ILayer() : IAxis(kLayerAxisLength, kLayerAxisStyle) {}

ILayer::~ILayer() { polygons_.DeleteAll(); }

void ILayer::Serialize(CArchive& ar) {
  uint16_t version = kLayerVersion;
  ar.Transfer("version", version);
  if (version != kLayerVersion) return;
  ar.Transfer("name", name_);
  SerializeFrame(ar);
  IDrawable::Serialize(ar);
  {
    CArchive::Group group(ar, "polygons");
    polygons_.Serialize(ar, RUNTIME_CLASS(IPolygon));
  }
  CArchive::Group group(ar, "material");
  material_.Serialize(ar);
}

void ILayer::ComputeNormals() {
  for (IDrawable* polygon : polygons_) polygon->ComputeNormals();
}

void ILayer::DrawPolygons(IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  for (IDrawable* polygon : polygons_) polygon->Draw(device, view, mode, flags);
}

void ILayer::DrawFrame(IDrawSurface& device, const IViewTran& view, int mode, int) {
  DrawAxes(device, view, mode);
}

void ILayer::Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  DrawPolygons(device, view, ResolveDrawMode(mode), flags);
}

void ILayer::DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  const int resolved = ResolveHandleMode(mode);
  DrawFrame(device, view, resolved, flags);
  IDrawable::DrawHandle(device, view, resolved, flags);
}

bool ILayer::EditProperties(IPropertyEditor& editor) { return editor.EditLayer(*this); }

}  // namespace brevoxa
