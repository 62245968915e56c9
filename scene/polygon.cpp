// Polygons: normal and plane, planarity, the record and the outline.
#include "scene/polygon.h"

#include <cmath>
#include <iterator>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "scene/camera.h"
#include "scene/draw_tools.h"
#include "scene/property_editor.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IPolygon, IDrawable, 0)

namespace {

constexpr uint16_t kPolygonVersion = 1;

const IPoint& PointOf(const IDrawable* element) { return *static_cast<const IPoint*>(element); }

// Cross(p2 - p1, p1 - p0), normalised: the winding the renderer expects.
CVector PlaneNormal(const CVector& p0, const CVector& p1, const CVector& p2) {
  CVector n = (p2 - p1).Cross(p1 - p0);
  n.Normalize();
  return n;
}

}  // namespace

void IPolygon::Serialize(CArchive& ar) {
  uint16_t version = kPolygonVersion;
  ar.Transfer("version", version);
  if (version != kPolygonVersion) return;
  IDrawable::Serialize(ar);
  CArchive::Group group(ar, "points");
  points_.SerializeReferences(ar, RUNTIME_CLASS(IPoint));
}

bool IPolygon::UsesPoint(const IPoint* point) const { return points_.Contains(point); }

void IPolygon::ComputeNormal() {
  normal_.Set(0, 0, 1);
  if (points_.GetCount() < 3) return;
  auto it = points_.begin();
  const CVector p0 = PointOf(*it++).world;
  const CVector p1 = PointOf(*it++).world;
  const CVector p2 = PointOf(*it).world;
  normal_ = PlaneNormal(p0, p1, p2);
  planeD_ = normal_.Dot(p0);
  // Ties go to the later axis.
  dominantAxis_ = 1;
  double largest = std::fabs(normal_.x);
  if (std::fabs(normal_.y) >= largest) {
    dominantAxis_ = 2;
    largest = std::fabs(normal_.y);
  }
  if (std::fabs(normal_.z) >= largest) dominantAxis_ = 3;
}

bool IPolygon::IsPlanar() const {
  const size_t count = points_.GetCount();
  if (count < 3) return false;
  if (count == 3) return true;
  auto it = points_.begin();
  const CVector p0 = PointOf(*it++).world;
  const CVector p1 = PointOf(*it++).world;
  const CVector p2 = PointOf(*it++).world;
  const CVector n = PlaneNormal(p0, p1, p2);
  for (; it != points_.end(); ++it) {
    if (std::fabs((PointOf(*it).world - p0).Dot(n)) > kPlanarTolerance) return false;
  }
  return true;
}

CVector IPolygon::GetPosition() const {
  CVector sum;
  if (points_.IsEmpty()) return sum;
  for (const IDrawable* p : points_) sum += PointOf(p).world;
  return sum / static_cast<double>(points_.GetCount());
}

CVector IPolygon::GetLocalCentre() const {
  CVector sum;
  if (points_.IsEmpty()) return sum;
  for (const IDrawable* p : points_) sum += PointOf(p).local;
  return sum / static_cast<double>(points_.GetCount());
}

bool IPolygon::EditProperties(IPropertyEditor& editor) { return editor.EditPolygon(*this); }

void IPolygon::Draw(IDrawSurface& device, const IViewTran& view, int mode, int) {
  DrawOutline(device, view, ResolveDrawMode(mode));
}

void IPolygon::DrawOutline(IDrawSurface& device, const IViewTran& view, int mode) {
  const size_t count = points_.GetCount();
  if (count < 2) return;
  if (view.IsCameraView() && view.GetRemoveBackFaces() && view.GetCamera() != nullptr) {
    ComputeNormal();
    const CVector eye = view.GetCamera()->GetPosition();
    if (normal_.Dot(eye - PointOf(points_.GetHead()).world) < 0.0) return;
  }

  // Camera coordinates come from the world positions rather than from the
  // points' scratch vectors, which only a whole form's Draw refreshes.
  DrawState previous = view.SelectDrawMode(device, mode, draw_tools::kStyleBlack);
  auto edge = [&](const IDrawable* from, const IDrawable* to) {
    PixelPoint a, b;
    if (view.ProjectSegment(PointOf(from).world, PointOf(to).world, a, b)) device.Line(a.x, a.y, b.x, b.y);
  };
  for (auto it = points_.begin(), next = std::next(it); next != points_.end(); it = next++) edge(*it, *next);
  // Two points make one edge: closing it would draw it twice, and in the
  // inverting modes the second pass would wipe out the first.
  if (count > 2) edge(points_.GetTail(), points_.GetHead());
  device.SetState(previous);
}

}  // namespace brevoxa
