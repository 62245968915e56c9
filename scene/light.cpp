// ILight: the light's record, its star marker and its one editing level.
#include "scene/light.h"

#include "math/view_tran.h"
#include "persist/archive.h"
#include "scene/draw_surface.h"
#include "scene/draw_tools.h"
#include "scene/property_editor.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ILight, IRoot, 0)

namespace {

constexpr uint16_t kLightVersion = 1;
constexpr int kClipboardItems = 1;

// Pairs of consecutive points are the arms, 3 to 8 units out along each
// axis, both directions.
const CVector kMarker[ILight::kMarkerPointCount] = {
    {0, 0, 8}, {0, 0, 3}, {0, 0, -8}, {0, 0, -3}, {8, 0, 0},  {3, 0, 0},
    {-8, 0, 0}, {-3, 0, 0}, {0, 8, 0}, {0, 3, 0}, {0, -8, 0}, {0, -3, 0},
};

}  // namespace

ILight::ILight() {
  handleList_.AddTail(&handle_);
  for (int i = 0; i < kMarkerPointCount; ++i) marker_[i].local = kMarker[i];
  PlaceMarker();
}

// The handle list only refers to the light's own handle.
ILight::~ILight() = default;

void ILight::Serialize(CArchive& ar) {
  uint16_t version = kLightVersion;
  ar.Transfer("version", version);
  if (version != kLightVersion) return;
  ar.Transfer("name", name_);
  ar.Transfer("colour", colour_);
  IRoot::Serialize(ar);
  CVector position = GetPosition();
  ar.Transfer("position", position);
  if (ar.IsLoading()) SetPosition(position);
}

void ILight::PlaceMarker() {
  frame_.SetPosition(GetPosition());
  for (IPoint& point : marker_) point.PlaceIn(frame_);
}

void ILight::Draw(IDrawSurface& device, const IViewTran& view, int mode, int) {
  mode = ResolveDrawMode(mode);
  if (view.IsCameraView() && !view.GetDisplayEditingObjects()) return;
  PlaceMarker();
  // The frame's pen style: the light draws as a plain frame would.
  const DrawState previous = view.SelectDrawMode(device, mode, frame_.GetAxisStyle());
  for (int arm = 0; arm < kArmCount; ++arm) {
    PixelPoint a, b;
    if (view.ProjectSegment(marker_[2 * arm].world, marker_[2 * arm + 1].world, a, b))
      device.Line(a.x, a.y, b.x, b.y);
  }
  device.SetState(previous);
}

int ILight::Select(bool select) { return handleList_.SelectItem(&handle_, select); }

bool ILight::EditProperties(IPropertyEditor& editor) { return editor.EditLight(*this); }

bool ILight::SerializeSelection(int, CArchive& ar, int& kind) {
  if (ar.IsStoring()) {
    Serialize(ar);
    kind = kClipboardItems;
    return true;
  }
  if (kind != kClipboardItems) return false;
  Serialize(ar);
  return true;
}

void ILight::MoveElement(int, IDrawable& element, const CVector& position, int) { element.SetPosition(position); }

IObList* ILight::GetLevelList(int) { return &handleList_; }

std::string ILight::GetLevelName(int level) const { return level == kRootLevel ? "Light" : std::string(); }

std::string ILight::GetElementName(int, const IDrawable&) const { return GetName(); }

}  // namespace brevoxa
