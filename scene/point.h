// IPoint: a vertex of a form, shared by the polygons that use it. It keeps
// its position in the form's frame (local) and in the world.
#pragma once

#include "scene/drawable.h"

namespace brevoxa {

class IAxis;

class IPoint : public IDrawable {
  DECLARE_SERIAL(IPoint)
 public:
  IPoint() = default;
  explicit IPoint(const CVector& local) : local(local) {}

  // Position in the owning form's frame: stored.
  CVector local;
  // World position, derived from local through the form's frame.
  CVector world;
  // Scratch: the vertex normal after ComputeNormals; while a camera view
  // draws, the point's camera coordinates.
  CVector normal;

  // record: version 1, the IDrawable record, local.
  void Serialize(CArchive& ar) override;

  // world = frame.LocalToWorld(local)
  void PlaceIn(const IAxis& frame);
  // local = frame.WorldToLocal(world)
  void ReexpressIn(const IAxis& frame);

  // The world position; SetPosition moves it in the world only.
  CVector GetPosition() const override { return world; }
  void SetPosition(const CVector& position) override { world = position; }
  // The scale slot of a point is its local position.
  CVector GetScale() const override { return local; }
  void SetScale(const CVector& position) override { local = position; }
  // Turns the stored (local) position about the frame's origin by the
  // angles, in degrees.
  void SetRotation(const CVector& angles) override;

  bool CanScale() const override { return true; }
  bool CanRotate() const override { return true; }
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }

  // The weight is held in single precision, so it reads back rounded.
  double GetWeight() const override { return weight_; }
  void SetWeight(double weight) override { weight_ = static_cast<float>(weight); }

 private:
  float weight_ = 1.0f;
};

}  // namespace brevoxa
