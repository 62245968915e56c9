// ICamera: the frame kept from the eye, target and up points, the camera's
// record, drawing, editing level and properties.
#include "scene/camera.h"

#include "math/bounds.h"
#include "math/view_tran.h"
#include "persist/archive.h"
#include "scene/draw_surface.h"
#include "scene/draw_tools.h"
#include "scene/property_editor.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ICamera, IRoot, 0)

namespace {
constexpr uint16_t kCameraVersion = 1;
constexpr int kClipboardItems = 1;
}  // namespace

std::optional<std::string> CameraProperties::Check() const {
  if (auto refusal = kViewPlaneRange.Check(viewPlaneWidth)) return refusal;
  return kViewPlaneRange.Check(viewPlaneDistance);
}

ICamera::ICamera() {
  // The handle list only refers to the camera's own points; it is never
  // emptied with DeleteAll.
  handles_.AddTail(&eye_);
  handles_.AddTail(&target_);
  handles_.AddTail(&upPoint_);
}

ICamera::~ICamera() = default;

void ICamera::Serialize(CArchive& ar) {
  uint16_t version = kCameraVersion;
  ar.Transfer("version", version);
  if (version != kCameraVersion) return;
  ar.Transfer("name", name_);
  IRoot::Serialize(ar);
  ar.Transfer("eye", eye_.world);
  ar.Transfer("target", target_.world);
  ar.Transfer("upPoint", upPoint_.world);
  ar.Transfer("viewPlaneDistance", viewPlaneDistance_);
  ar.Transfer("viewPlaneWidth", viewPlaneWidth_);
  if (ar.IsLoading()) UpdateFrame();
}

// --- Frame ---

void ICamera::UpdateFrame() {
  // Target on the eye or an up point on the viewing axis leaves zero vectors
  // (Normalize keeps a zero vector); the camera then sees everything at
  // depth 0, which the projection maps to the window corner.
  direction_ = target_.world - eye_.world;
  direction_.Normalize();
  const CVector w = upPoint_.world - eye_.world;
  up_ = w - direction_ * w.Dot(direction_);
  up_.Normalize();
  right_ = direction_.Cross(up_);
  right_.Normalize();
  origin_ = eye_.world;
}

void ICamera::SetPosition(const CVector& position) {
  eye_.world = position;
  UpdateFrame();
}

void ICamera::PlaceAt(const CVector& position, double size) {
  SetPosition(position);
  SetTarget(position + CVector(-size / 4, 0, 0));
  SetUpPoint(position + CVector(0, 0, size / 12));
}

void ICamera::CopyFrom(const ICamera& other) {
  SetPosition(other.eye_.world);
  target_.world = other.target_.world;
  upPoint_.world = other.upPoint_.world;
  right_ = other.right_;
  up_ = other.up_;
  direction_ = other.direction_;
}

// --- Selection and bounds ---

int ICamera::Select(bool select) { return handles_.SelectItem(&eye_, select); }

int ICamera::IsSelected() const { return eye_.IsSelected(); }

void ICamera::AddToBounds(CBoundingBox& box) {
  box.Add(eye_.world);
  box.Add(target_.world);
  box.Add(upPoint_.world);
}

// --- Drawing ---

void ICamera::Draw(IDrawSurface& device, const IViewTran& view, int mode, int) {
  mode = ResolveDrawMode(mode);
  if (view.IsCameraView() && (!view.GetDisplayEditingObjects() || view.GetCamera() == this)) return;

  const DrawState previous = view.SelectDrawMode(device, mode, draw_tools::kStyleGrey);
  PixelPoint a, b;
  if (view.ProjectSegment(eye_.world, target_.world, a, b)) device.Line(a.x, a.y, b.x, b.y);
  if (view.ProjectSegment(eye_.world, upPoint_.world, a, b)) device.Line(a.x, a.y, b.x, b.y);
  // The labels cannot be inverted away, so rubber-band modes leave them out.
  if (mode != 2 && mode != 5) {
    const struct {
      const CVector& at;
      const char* text;
    } labels[] = {{eye_.world, "C"}, {target_.world, "*"}, {upPoint_.world, "U"}};
    for (const auto& label : labels) {
      PixelPoint p;
      if (view.ProjectWorld(label.at, p)) device.Text(p.x, p.y, label.text);
    }
  }
  device.SetState(previous);
}

void ICamera::DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  mode = ResolveHandleMode(mode);
  for (IDrawable* handle : handles_) handle->DrawHandle(device, view, mode, flags);
}

// --- Editing level ---

bool ICamera::HasSelection(int level) const { return level == kRootLevel && IsSelected() != 0; }

bool ICamera::CanPaste(int level, int) const { return level == kRootLevel; }

bool ICamera::SerializeSelection(int, CArchive& ar, int& kind) {
  if (ar.IsStoring()) {
    Serialize(ar);
    kind = kClipboardItems;
    return true;
  }
  if (kind != kClipboardItems) return false;
  Serialize(ar);
  return true;
}

void ICamera::MoveElement(int, IDrawable& element, const CVector& position, int) {
  element.SetPosition(position);
}

void ICamera::EndMoveElement(int level, IDrawable& element, const CVector& position, int mode) {
  MoveElement(level, element, position, mode);
  UpdateFrame();
}

IObList* ICamera::GetLevelList(int) { return &handles_; }

std::string ICamera::GetLevelName(int level) const { return level == kRootLevel ? "Camera" : std::string(); }

std::string ICamera::GetElementName(int, const IDrawable&) const { return name_; }

// --- Properties ---

bool ICamera::EditProperties(IPropertyEditor& editor) { return editor.EditCamera(*this); }

CameraProperties ICamera::GetProperties() const { return {name_, viewPlaneWidth_, viewPlaneDistance_}; }

bool ICamera::SetProperties(const CameraProperties& properties) {
  if (properties.Check()) return false;
  SetName(properties.name);
  viewPlaneWidth_ = properties.viewPlaneWidth;
  viewPlaneDistance_ = properties.viewPlaneDistance;
  return true;
}

}  // namespace brevoxa
