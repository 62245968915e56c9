// The octree: building it over scenes of random triangles, and the cost of
// one nearest-hit query and one shadow walk through it.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "render/octree.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {
namespace {

// A camera spanning [-1, 1]³ and one form of small random triangles in it,
// about as dense as a tessellated model.
class RandomScene {
 public:
  explicit RandomScene(int triangles) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> u(-0.95, 0.95);
    auto* camera = new ICamera;
    camera->SetPosition({-1, -1, -1});
    camera->SetTarget({1, 1, 1});
    camera->SetUpPoint({1, -1, 1});
    items_.AddTail(camera);
    auto* form = new IObject;
    auto* layer = new ILayer;
    form->GetLayers().AddTail(layer);
    items_.AddTail(form);
    const double size = 0.05;
    std::uniform_real_distribution<double> d(-size, size);
    for (int i = 0; i < triangles; ++i) {
      const CVector c(u(random), u(random), u(random));
      auto* polygon = new IPolygon;
      for (int k = 0; k < 3; ++k) {
        const CVector p = c + CVector(d(random), d(random), d(random));
        auto* point = new IPoint(p);
        point->world = p;
        form->GetPoints().AddTail(point);
        polygon->AddPoint(point);
      }
      polygon->ComputeNormal();
      layer->GetPolygons().AddTail(polygon);
    }
    for (int i = 0; i < 1024; ++i) {
      CVector direction(u(random), u(random), u(random));
      direction.Normalize();
      rays_.push_back({CVector(u(random), u(random), u(random)), direction});
    }
  }
  ~RandomScene() { items_.DeleteAll(); }

  const IObList& Items() const { return items_; }
  const std::vector<Ray>& Rays() const { return rays_; }

 private:
  IObList items_;
  std::vector<Ray> rays_;
};

const RandomScene& SceneOf(int triangles) {
  static const RandomScene small(1000);
  static const RandomScene large(20000);
  return triangles <= 1000 ? small : large;
}

void BM_BuildOctree(benchmark::State& state) {
  const RandomScene& scene = SceneOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    RenderCounters counters;
    Octree tree = BuildOctree(scene.Items(), 6, 4, counters);
    benchmark::DoNotOptimize(tree.GetEntries().data());
  }
}
BENCHMARK(BM_BuildOctree)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_FindNearestHit(benchmark::State& state) {
  const RandomScene& scene = SceneOf(static_cast<int>(state.range(0)));
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 6, 4, counters);
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    HitRecord hit;
    hits += tree.FindNearestHit(scene.Rays()[i++ & 1023], Octree::kMaxHitDistance, hit, counters);
  }
  state.counters["hit rate"] = benchmark::Counter(double(hits) / double(state.iterations()));
  state.counters["leaves/ray"] = benchmark::Counter(double(counters.octreeHits) / double(state.iterations()) - 1);
}
BENCHMARK(BM_FindNearestHit)->Arg(1000)->Arg(20000);

void BM_ShadowWalk(benchmark::State& state) {
  const RandomScene& scene = SceneOf(static_cast<int>(state.range(0)));
  RenderCounters counters;
  const Octree tree = BuildOctree(scene.Items(), 6, 4, counters);
  const std::function<bool(const HitRecord&)> passThrough = [](const HitRecord&) { return true; };
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tree.ShadowWalk(scene.Rays()[i++ & 1023], 1.0, counters, passThrough));
  }
}
BENCHMARK(BM_ShadowWalk)->Arg(1000)->Arg(20000);

}  // namespace
}  // namespace brevoxa
