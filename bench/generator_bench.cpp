// The generators at growing division counts (the reported complexity should
// stay linear in the elements made), and a 1000 x 1000 sphere and plane
// written as form files through the stream's big indices and read back.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "persist/archive.h"
#include "persist/file.h"
#include "persist/safe_file.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {
namespace {

size_t ElementsOf(const IObject& form) { return form.GetPoints().GetCount() + form.GetPolygonCount(); }

// The first form of a size pays for growing the process's heap (page
// faults), which is no cost of the generator; one untimed form first.
template <class Generate>
void WarmUp(Generate generate) {
  IObject form;
  generate(form);
}

void BM_AddSphere(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  WarmUp([n](IObject& form) { form.AddSphere(50, n, n); });
  size_t elements = 0;
  for (auto _ : state) {
    IObject form;
    benchmark::DoNotOptimize(form.AddSphere(50, n, n));
    elements = ElementsOf(form);
    // Tearing the form down is part of the cost of every generated form.
  }
  state.SetComplexityN(static_cast<int64_t>(elements));
  state.counters["elements"] = static_cast<double>(elements);
}
BENCHMARK(BM_AddSphere)->RangeMultiplier(2)->Range(125, 1000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_AddPlane(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  WarmUp([n](IObject& form) { form.AddPlane(50, 50, n, n); });
  size_t elements = 0;
  for (auto _ : state) {
    IObject form;
    benchmark::DoNotOptimize(form.AddPlane(50, 50, n, n));
    elements = ElementsOf(form);
  }
  state.SetComplexityN(static_cast<int64_t>(elements));
  state.counters["elements"] = static_cast<double>(elements);
}
BENCHMARK(BM_AddPlane)->RangeMultiplier(2)->Range(125, 1000)->Unit(benchmark::kMillisecond)->Complexity();

// A 1000-sided polygon swept in n steps.
void BM_Extrude(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  WarmUp([n](IObject& form) {
    form.AddDisk(50, 1000, false);
    form.GetFirstLayer()->GetPolygons().SelectItem(form.GetFirstLayer()->GetPolygons().GetHead(), true);
    form.Extrude(n, {0, 0, 100}, {1, 1, 1}, {0, 0, 45});
  });
  size_t elements = 0;
  for (auto _ : state) {
    state.PauseTiming();
    IObject form;
    form.AddDisk(50, 1000, false);
    ILayer* layer = form.GetFirstLayer();
    layer->GetPolygons().SelectItem(layer->GetPolygons().GetHead(), true);
    const size_t before = ElementsOf(form);
    state.ResumeTiming();
    benchmark::DoNotOptimize(form.Extrude(n, {0, 0, 100}, {1, 1, 1}, {0, 0, 45}));
    elements = ElementsOf(form) - before;
  }
  state.SetComplexityN(static_cast<int64_t>(elements));
  state.counters["elements"] = static_cast<double>(elements);
}
BENCHMARK(BM_Extrude)->RangeMultiplier(2)->Range(125, 1000)->Unit(benchmark::kMillisecond)->Complexity();

// --- 1000 x 1000 through form files ---

// Named after the process: other runs may share the folder.
std::string TempPath(const char* name) {
  std::string file = "brevoxa_bench_";
  file += std::to_string(getpid());
  file += name;
  return (std::filesystem::temp_directory_path() / file).string();
}

void WriteBody(IObject& form, const std::string& path) {
  CSafeFile file(path);
  CArchive ar(&file, CArchive::store, 4096);
  form.SerializeBody(ar);
  ar.Close();
  file.Commit();
}

std::unique_ptr<IObject> ReadBody(const std::string& path) {
  auto form = std::make_unique<IObject>();
  CDiskFile file(path, CDiskFile::modeRead);
  CArchive ar(&file, CArchive::load, 4096);
  form->SerializeBody(ar);
  return form;
}

// Same points in the same order, and every polygon's vertices at the same
// places of that order.
bool SameGeometry(const IObject& a, const IObject& b) {
  if (a.GetPoints().GetCount() != b.GetPoints().GetCount() || a.GetPolygonCount() != b.GetPolygonCount()) return false;
  for (auto p = a.GetPoints().begin(), q = b.GetPoints().begin(); p != a.GetPoints().end(); ++p, ++q) {
    if (static_cast<const IPoint*>(*p)->local != static_cast<const IPoint*>(*q)->local) return false;
  }
  for (auto la = a.GetLayers().begin(), lb = b.GetLayers().begin(); la != a.GetLayers().end(); ++la, ++lb) {
    const IObList& fa = static_cast<const ILayer*>(*la)->GetPolygons();
    const IObList& fb = static_cast<const ILayer*>(*lb)->GetPolygons();
    for (auto pa = fa.begin(), pb = fb.begin(); pa != fa.end(); ++pa, ++pb) {
      const IObList& va = static_cast<const IPolygon*>(*pa)->GetPoints();
      const IObList& vb = static_cast<const IPolygon*>(*pb)->GetPoints();
      if (va.GetCount() != vb.GetCount()) return false;
      for (auto x = va.begin(), y = vb.begin(); x != va.end(); ++x, ++y)
        if (static_cast<const IPoint*>(*x)->local != static_cast<const IPoint*>(*y)->local) return false;
    }
  }
  return true;
}

template <class Generate>
void RoundTrip(benchmark::State& state, const char* file, Generate generate) {
  const std::string path = TempPath(file);
  IObject form;
  generate(form);
  for (auto _ : state) {
    WriteBody(form, path);
    auto loaded = ReadBody(path);
    if (!SameGeometry(form, *loaded)) {
      state.SkipWithError("the form read back differs from the one written");
      break;
    }
  }
  state.counters["elements"] = static_cast<double>(ElementsOf(form));
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  std::filesystem::remove(path);
}

void BM_SphereFileRoundTrip(benchmark::State& state) {
  RoundTrip(state, "_sphere.frm", [](IObject& form) { form.AddSphere(50, 1000, 1000); });
}
BENCHMARK(BM_SphereFileRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PlaneFileRoundTrip(benchmark::State& state) {
  RoundTrip(state, "_plane.frm", [](IObject& form) { form.AddPlane(50, 50, 1000, 1000); });
}
BENCHMARK(BM_PlaneFileRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace brevoxa
