// Frames: their matrices, the parent rules, the record and the drawn axes.
#include "scene/axis.h"

#include <cmath>

#include "math/view_tran.h"
#include "persist/archive.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IAxis, IDrawable, 0)

namespace {

constexpr uint16_t kAxisVersion = 1;
// Slightly above pi/180; every stored rotation has been turned with it.
constexpr double kDegreesToRadians = 0.017453292519944444;

Matrix3 Multiply(const Matrix3& a, const Matrix3& b) {
  Matrix3 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
  return r;
}

Matrix3 Diagonal(double x, double y, double z) {
  Matrix3 r;
  r.m[0][0] = x;
  r.m[1][1] = y;
  r.m[2][2] = z;
  return r;
}

// A turn about one axis (0 = x, 1 = y, 2 = z): of the other two, taken in
// cyclic order as (i, j), each keeps cos on the diagonal; sin goes to (i, j)
// and -sin to (j, i).
Matrix3 Rotation(int axis, double degrees) {
  const int i = (axis + 1) % 3, j = (axis + 2) % 3;
  double a = degrees * kDegreesToRadians, c = std::cos(a), s = std::sin(a);
  Matrix3 r;
  r.m[i][i] = c;
  r.m[i][j] = s;
  r.m[j][i] = -s;
  r.m[j][j] = c;
  return r;
}

}  // namespace

IAxis::IAxis(int axisLength, int axisStyle) : axisLength_(axisLength), axisStyle_(axisStyle) { RebuildMatrices(); }

void IAxis::RebuildMatrices() {
  toWorld_ = Multiply(Multiply(Multiply(Diagonal(scale_.x, scale_.y, scale_.z), Rotation(0, rotation_.x)),
                               Rotation(1, rotation_.y)),
                      Rotation(2, rotation_.z));
  // A zero scale gives infinite entries here, and points mapped through
  // them become infinite or NaN; drawing saturates such pixels.
  toLocal_ = Multiply(Multiply(Multiply(Rotation(2, -rotation_.z), Rotation(1, -rotation_.y)), Rotation(0, -rotation_.x)),
                      Diagonal(1.0 / scale_.x, 1.0 / scale_.y, 1.0 / scale_.z));
}

void IAxis::SetPosition(const CVector& position) { position_ = position; }

void IAxis::SetRotation(const CVector& rotation) {
  rotation_ = rotation;
  RebuildMatrices();
}

void IAxis::SetScale(const CVector& scale) {
  scale_ = scale;
  RebuildMatrices();
}

void IAxis::AttachTo(const IAxis& parent) {
  position_ = parent.LocalToWorld(localPosition_);
  rotation_ = parent.rotation_ + localRotation_;
  scale_.Set(localScale_.x * parent.scale_.x, localScale_.y * parent.scale_.y, localScale_.z * parent.scale_.z);
  RebuildMatrices();
}

void IAxis::DetachFrom(const IAxis& parent) {
  localPosition_ = parent.WorldToLocal(position_);
  localScale_.Set(scale_.x / parent.scale_.x, scale_.y / parent.scale_.y, scale_.z / parent.scale_.z);
  localRotation_ = rotation_ - parent.rotation_;
  RebuildMatrices();
}

void IAxis::Serialize(CArchive& ar) { SerializeFrame(ar); }

void IAxis::SerializeFrame(CArchive& ar) {
  CArchive::Group group(ar, "frame");
  uint16_t version = kAxisVersion;
  ar.Transfer("version", version);
  if (version != kAxisVersion) return;
  IDrawable::Serialize(ar);
  ar.Transfer("position", position_);
  ar.Transfer("rotation", rotation_);
  ar.Transfer("scale", scale_);
  ar.Transfer("localPosition", localPosition_);
  ar.Transfer("localRotation", localRotation_);
  ar.Transfer("localScale", localScale_);
  if (ar.IsLoading()) RebuildMatrices();
}

void IAxis::Draw(IDrawSurface& device, const IViewTran& view, int mode, int) {
  DrawAxes(device, view, ResolveDrawMode(mode));
}

void IAxis::DrawAxes(IDrawSurface& device, const IViewTran& view, int mode) const {
  if (view.IsCameraView() && !view.GetDisplayEditingObjects()) return;
  const double length = axisLength_;
  const CVector ends[3] = {LocalToWorld({length, 0, 0}), LocalToWorld({0, length, 0}), LocalToWorld({0, 0, length})};
  static const char* const kLabels[3] = {"x", "y", "z"};
  // Modes 2 and 5 invert pixels to show and then remove drag feedback;
  // the labels are left out of them.
  const bool labels = mode != 2 && mode != 5;

  DrawState previous = view.SelectDrawMode(device, mode, axisStyle_);
  for (int i = 0; i < 3; ++i) {
    PixelPoint a, b;
    if (!view.ProjectSegment(position_, ends[i], a, b)) continue;
    device.Line(a.x, a.y, b.x, b.y);
    // In a camera view an end behind the view plane has no place to be
    // labelled.
    PixelPoint end;
    if (labels && view.ProjectWorld(ends[i], end)) device.Text(end.x, end.y, kLabels[i]);
  }
  device.SetState(previous);
}

}  // namespace brevoxa
