// Scenes built by hand for the tracing tests: polygons whose points stand at their world positions.
#pragma once

#include <algorithm>
#include <vector>

#include "render/ray.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/ob_list.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa::testing {

class HandScene {
 public:
  HandScene() = default;
  HandScene(const HandScene&) = delete;
  HandScene& operator=(const HandScene&) = delete;
  ~HandScene() { items_.DeleteAll(); }

  const IObList& Items() const { return items_; }
  void Add(IDrawable* item) { items_.AddTail(item); }

  // Widens the box to [-size, size]³, so that the octree root's centre is the origin.
  void AddCamera(double size = 1.0) {
    auto* camera = new ICamera;
    camera->SetPosition({-size, -size, -size});
    camera->SetTarget({size, size, size});
    camera->SetUpPoint({size, -size, size});
    items_.AddTail(camera);
  }

  IObject& AddForm() {
    auto* form = new IObject;
    form->GetLayers().AddTail(new ILayer);
    items_.AddTail(form);
    return *form;
  }

  IPolygon& AddPolygon(IObject& form, const std::vector<CVector>& corners) {
    auto* polygon = new IPolygon;
    for (const CVector& c : corners) {
      auto* point = new IPoint(c);
      point->world = c;
      form.GetPoints().AddTail(point);
      polygon->AddPoint(point);
    }
    static_cast<ILayer*>(form.GetLayers().GetHead())->GetPolygons().AddTail(polygon);
    polygon->ComputeNormal();
    return *polygon;
  }

  // Into one shared form.
  IPolygon& AddPolygon(const std::vector<CVector>& corners) {
    if (!sharedForm_) sharedForm_ = &AddForm();
    return AddPolygon(*sharedForm_, corners);
  }

 private:
  IObList items_;
  IObject* sharedForm_ = nullptr;
};

// A square around the centre facing +axis (0 x, 1 y, 2 z), or -axis when flipped.
inline std::vector<CVector> Square(const CVector& centre, double half, int axis, bool flipped = false) {
  std::vector<CVector> corners;
  const double s[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
  for (const auto& c : s) {
    CVector v = centre;
    double* a[3] = {&v.x, &v.y, &v.z};
    *a[(axis + 1) % 3] += c[0] * half;
    *a[(axis + 2) % 3] += c[1] * half;
    corners.push_back(v);
  }
  if (flipped) std::reverse(corners.begin(), corners.end());
  return corners;
}

inline Ray MakeRay(const CVector& origin, CVector direction) {
  direction.Normalize();
  return {origin, direction};
}

}  // namespace brevoxa::testing
