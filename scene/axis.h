// IAxis: a local coordinate frame (position, rotation in degrees, scale) of
// a form, a layer or a light, with the matrices between local and world.
// Vectors are rows: world = local * M + position, M = S * Rx * Ry * Rz.
#pragma once

#include "scene/drawable.h"

namespace brevoxa {

struct Matrix3 {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  // Row vector times the matrix.
  CVector Apply(const CVector& v) const {
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
  }
};

class IAxis : public IDrawable {
  DECLARE_SERIAL(IAxis)
 public:
  // Form frames draw long axes in black (style 1); layer frames short ones
  // in grey (style 2).
  IAxis(int axisLength = 10, int axisStyle = 1);

  // record: version 1, the IDrawable record, position, rotation, scale,
  // localPosition, localRotation, localScale; the matrices are rebuilt.
  void Serialize(CArchive& ar) override;

  CVector LocalToWorld(const CVector& v) const { return toWorld_.Apply(v) + position_; }
  CVector WorldToLocal(const CVector& w) const { return toLocal_.Apply(w - position_); }
  // Directions only: the matrices without the translation.
  CVector DirectionToWorld(const CVector& v) const { return toWorld_.Apply(v); }
  CVector DirectionToLocal(const CVector& w) const { return toLocal_.Apply(w); }

  void SetPosition(const CVector& position) override;
  void SetRotation(const CVector& rotation) override;
  void SetScale(const CVector& scale) override;
  CVector GetPosition() const override { return position_; }
  CVector GetRotation() const override { return rotation_; }
  CVector GetScale() const override { return scale_; }

  const CVector& GetLocalPosition() const { return localPosition_; }
  const CVector& GetLocalRotation() const { return localRotation_; }
  const CVector& GetLocalScale() const { return localScale_; }
  void SetLocalPosition(const CVector& v) { localPosition_ = v; }
  void SetLocalRotation(const CVector& v) { localRotation_ = v; }
  void SetLocalScale(const CVector& v) { localScale_ = v; }

  // World values from the local values under the parent frame.
  void AttachTo(const IAxis& parent);
  // Local values from the world values under the parent frame.
  void DetachFrom(const IAxis& parent);

  const Matrix3& ToWorld() const { return toWorld_; }
  const Matrix3& ToLocal() const { return toLocal_; }
  int GetAxisLength() const { return axisLength_; }
  int GetAxisStyle() const { return axisStyle_; }

  // The three axis lines with their "x", "y" and "z" labels.
  void Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;

 protected:
  void RebuildMatrices();
  // The frame's own record, without the version word of a derived class.
  void SerializeFrame(CArchive& ar);
  // The axes in an already resolved drawing mode.
  void DrawAxes(IDrawSurface& device, const IViewTran& view, int mode) const;

 private:
  CVector localPosition_, localRotation_, localScale_{1, 1, 1};
  CVector position_, rotation_, scale_{1, 1, 1};
  Matrix3 toWorld_, toLocal_;
  int axisLength_;
  int axisStyle_;
};

}  // namespace brevoxa
