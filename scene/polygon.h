// IPolygon: a planar polygon over points that its form owns. The polygon
// only refers to its points; one point may stand in many polygons.
#pragma once

#include <cstdint>

#include "scene/drawable.h"
#include "scene/ob_list.h"
#include "scene/point.h"

namespace brevoxa {

class IPolygon : public IDrawable {
  DECLARE_SERIAL(IPolygon)
 public:
  // Largest distance of a point from the plane of the first three that
  // still counts as planar, in world units.
  static constexpr double kPlanarTolerance = 0.001;

  IPolygon() = default;
  ~IPolygon() override = default;

  // record: version 1, the IDrawable record, the points as references.
  void Serialize(CArchive& ar) override;

  // The vertices in order. The list holds IPoint elements only; it never
  // owns them.
  IObList& GetPoints() { return points_; }
  const IObList& GetPoints() const { return points_; }
  size_t GetPointCount() const { return points_.GetCount(); }
  void AddPoint(IPoint* point) { points_.AddTail(point); }
  bool UsesPoint(const IPoint* point) const;

  // Normal, dominant axis and plane distance from the first three points'
  // world positions; a polygon with fewer points gets the normal (0, 0, 1).
  void ComputeNormal();
  void ComputeNormals() override { ComputeNormal(); }
  bool IsPlanar() const;
  const CVector& GetNormal() const { return normal_; }
  // 1, 2 or 3 for X, Y, Z: the largest absolute normal component (0 until
  // the normal is first computed).
  int GetDominantAxis() const { return dominantAxis_; }
  double GetPlaneD() const { return planeD_; }

  // Set while the polygon uses the point being edited.
  bool IsMarked() const { return marked_ != 0; }
  void SetMarked(bool marked) { marked_ = marked ? 1 : 0; }

  // Mean of the points' world positions (where the handle square sits).
  CVector GetPosition() const override;
  CVector GetLocalCentre() const;

  // The closed outline. In a camera view edges are cut at the view plane,
  // and with the view's back-face switch a polygon facing away from the eye
  // is left out.
  void Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;

  bool IsPolygon() const override { return true; }
  bool HasProperties() const override { return true; }
  bool EditProperties(IPropertyEditor& editor) override;

  // The outline in an already resolved drawing mode.
  void DrawOutline(IDrawSurface& device, const IViewTran& view, int mode);

 private:
  IObList points_;
  CVector normal_;
  uint8_t dominantAxis_ = 0;
  double planeD_ = 0.0;
  int32_t marked_ = 0;
};

}  // namespace brevoxa
