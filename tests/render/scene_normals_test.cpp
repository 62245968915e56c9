// The normals of a large scene shared out among threads against the forms' own.
#include "render/scene_normals.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "render/render_threads.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {
namespace {

struct Normals {
  std::vector<CVector> points;
  std::vector<CVector> planes;
  std::vector<double> planeD;
  std::vector<int> axes;
  bool operator==(const Normals&) const = default;
};

// Three large spheres and a small plane, as a list the test owns.
class LargeScene {
 public:
  LargeScene() {
    for (int i = 0; i < 3; ++i) {
      auto form = std::make_unique<IObject>();
      form->AddSphere(1.0 + i, 100 + 20 * i, 60 + 10 * i);
      form->UpdateWorldGeometry();
      Add(std::move(form));
    }
    auto plane = std::make_unique<IObject>();
    plane->AddPlane(4, 4, 3, 3);
    plane->UpdateWorldGeometry();
    Add(std::move(plane));
  }
  ~LargeScene() {
    for (IDrawable* item : items_) delete item;
  }

  const IObList& Items() const { return items_; }

  Normals Read() const {
    Normals n;
    for (const IDrawable* item : items_) {
      const auto* form = static_cast<const IObject*>(item);
      for (const IDrawable* point : form->GetPoints()) n.points.push_back(static_cast<const IPoint*>(point)->normal);
      for (const IDrawable* layer : form->GetLayers()) {
        for (const IDrawable* element : static_cast<const ILayer*>(layer)->GetPolygons()) {
          const auto* polygon = static_cast<const IPolygon*>(element);
          n.planes.push_back(polygon->GetNormal());
          n.planeD.push_back(polygon->GetPlaneD());
          n.axes.push_back(polygon->GetDominantAxis());
        }
      }
    }
    return n;
  }

 private:
  void Add(std::unique_ptr<IObject> form) { items_.AddTail(form.release()); }
  IObList items_;
};

// The polygons are shared out in runs that start inside a form's layer and
// end in another form's, and the sums still come out as the forms' own.
TEST(SceneNormals, GiveTheFormsOwnNumbersOnAnyNumberOfThreads) {
  LargeScene scene;
  for (IDrawable* item : scene.Items()) item->ComputeNormals();
  const Normals serial = scene.Read();
  ASSERT_GT(serial.planes.size(), 20000u);
  for (int threads : {1, 2, 3, 8}) {
    LargeScene fresh;
    RenderThreads renderThreads(threads);
    ComputePolygonNormals(fresh.Items(), renderThreads);
    SumPointNormals(fresh.Items());
    EXPECT_TRUE(fresh.Read() == serial) << threads << " threads";
  }
}

}  // namespace
}  // namespace brevoxa
