// Defaults of the scene element interface.
#include "scene/drawable.h"

#include "math/bounds.h"
#include "math/view_tran.h"
#include "persist/archive.h"
#include "scene/draw_surface.h"
#include "scene/draw_tools.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IDrawable, CObject, 0)

namespace {
constexpr uint16_t kDrawableVersion = 1;
}  // namespace

void IDrawable::Serialize(CArchive& ar) {
  // No field follows the word, so there is nothing an unknown version could
  // change.
  uint16_t version = kDrawableVersion;
  CArchive::Group group(ar, "IDrawable");
  ar.Transfer("version", version);
}

std::string IDrawable::GetName() const { return {}; }
void IDrawable::ComputeNormals() {}
bool IDrawable::Intersect(HitRecord&, int) { return false; }
void IDrawable::Draw(IDrawSurface&, const IViewTran&, int, int) {}
// A 5 x 5 square about the projected position. Modes 2, 5 and 9 select a
// hollow brush, which is what leaves their squares outlined.
void IDrawable::DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int) {
  mode = ResolveHandleMode(mode);
  if (view.IsCameraView()) return;
  const int style = IsSelected() ? draw_tools::kStyleSelected : draw_tools::kStyleBlack;
  const DrawState previous = view.SelectDrawMode(device, mode, style);
  const PixelPoint p = view.ToPixel(GetPosition());
  device.Rectangle(p.x - 2, p.y - 2, p.x + 3, p.y + 3);
  device.SetState(previous);
}
void IDrawable::OpenLinks() {}
void IDrawable::CloseLinks() {}
void IDrawable::SetPosition(const CVector&) {}
void IDrawable::SetRotation(const CVector&) {}
void IDrawable::SetScale(const CVector&) {}

int IDrawable::Select(bool select) {
  if ((IsSelected() != 0) == select) return 0;
  selected_ = select ? 1 : 0;
  return select ? 1 : -1;
}

void IDrawable::AddToBounds(CBoundingBox& box) { box.Add(GetPosition()); }
CVector IDrawable::GetPosition() const { return {}; }
CVector IDrawable::GetRotation() const { return {}; }
CVector IDrawable::GetScale() const { return {}; }
int IDrawable::IsSelected() const { return selected_; }
bool IDrawable::IsPolygon() const { return false; }
bool IDrawable::CanScale() const { return false; }
bool IDrawable::CanRotate() const { return false; }
bool IDrawable::CanMove() const { return false; }
bool IDrawable::HasContentsInfo() const { return false; }
bool IDrawable::HasProperties() const { return false; }
bool IDrawable::EditProperties(IPropertyEditor&) { return false; }
void IDrawable::AfterEdit() {}
double IDrawable::GetWeight() const { return 1.0; }
void IDrawable::SetWeight(double) {}

int IDrawable::ResolveMode(uint8_t& stored, int mode) {
  if (mode == kDrawModeRepeat) return stored;
  // Drag feedback is transient: a later repeat must draw the element as it
  // was drawn before the drag, not as feedback.
  if (mode != kDrawModeDragFeedback) stored = static_cast<uint8_t>(mode);
  return mode;
}

}  // namespace brevoxa
