// Drawing a form: its frame, its polygons or its bounding box, its handle
// and the elements of its editing levels.
#include "math/view_tran.h"
#include "scene/camera.h"
#include "scene/draw_tools.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {

namespace {
// Drag feedback of a whole form shows only its box.
constexpr int kModeDragOutline = 5;
constexpr int kModeErase = 3;
constexpr int kModeHollow = 9;
constexpr int kModeInvert = 2;
}  // namespace

void IObject::Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  const int resolved = ResolveDrawMode(mode);
  if (view.IsCameraView() && view.GetCamera() != nullptr) {
    const ICamera& camera = *view.GetCamera();
    for (IDrawable* point : points_) {
      auto* p = static_cast<IPoint*>(point);
      p->normal = camera.ToCamera(p->world);
    }
  }
  frame_.Draw(device, view, resolved, flags);
  if (quickDraw_ != 0 || resolved == kModeDragOutline || resolved == kDrawModeDragFeedback) {
    if (boundsValid_ == 0) UpdateLocalBounds();
    DrawBox(device, view, resolved);
    return;
  }
  for (IDrawable* layer : layers_) static_cast<ILayer*>(layer)->DrawPolygons(device, view, resolved, flags);
}

void IObject::DrawBox(IDrawSurface& device, const IViewTran& view, int mode) {
  if (bounds_.IsEmpty()) return;
  // The box is local, so it turns and moves with the frame while the frame
  // alone is dragged.
  CVector corners[8];
  for (int i = 0; i < 8; ++i) {
    CVector local(i & 1 ? bounds_.max.x : bounds_.min.x, i & 2 ? bounds_.max.y : bounds_.min.y,
                  i & 4 ? bounds_.max.z : bounds_.min.z);
    corners[i] = frame_.LocalToWorld(local);
  }
  DrawState previous = view.SelectDrawMode(device, mode, draw_tools::kStyleBlack);
  // Corners that differ in one bit share an edge.
  for (int i = 0; i < 8; ++i) {
    for (int bit = 1; bit < 8; bit <<= 1) {
      if ((i & bit) != 0) continue;
      PixelPoint a, b;
      if (view.ProjectSegment(corners[i], corners[i | bit], a, b)) device.Line(a.x, a.y, b.x, b.y);
    }
  }
  device.SetState(previous);
}

void IObject::DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  frame_.DrawHandle(device, view, ResolveHandleMode(mode), flags);
}

void IObject::DrawLevel(int level, IDrawSurface& device, const IViewTran& view, int mode, int flags) {
  if (level != kPointLevel) {
    IRoot::DrawLevel(level, device, view, mode, flags);
    return;
  }
  // The polygons that use the point being edited follow it; inverted drag
  // feedback leaves them alone.
  if (mode == kModeInvert || mode == kModeDragOutline) return;
  for (IDrawable* layer : layers_)
    for (IDrawable* polygon : static_cast<ILayer*>(layer)->GetPolygons())
      if (static_cast<IPolygon*>(polygon)->IsMarked()) polygon->Draw(device, view, mode, flags);
}

void IObject::DrawLevelHandles(int level, IDrawSurface& device, const IViewTran& view, int mode,
                               int flags) {
  if (level != kPolygonLevel) {
    IRoot::DrawLevelHandles(level, device, view, mode, flags);
    return;
  }
  const int pointMode = mode == kModeErase ? kModeErase : kModeHollow;
  for (IDrawable* point : points_) point->DrawHandle(device, view, pointMode, flags);
  if (ILayer* first = GetFirstLayer())
    for (IDrawable* polygon : first->GetPolygons()) polygon->DrawHandle(device, view, mode, flags);
}

}  // namespace brevoxa
