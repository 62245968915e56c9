// Whole renders through the real driver on the calling thread (and its
// tracing threads), from the questions to the JPEG: the demonstration
// workspace as the store ships it, and mirror spheres over a ground plane,
// coarsely to finely tessellated, with and without supersampling, on one and
// two threads. Besides the wall time per render, the counters give the
// octree build and the tracing time (taken from the driver's own phase
// messages, which the foreground path delivers synchronously) and the rays
// of each kind per second of tracing.
#include <benchmark/benchmark.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "bench/render_scenes.h"
#include "render/render_document.h"
#include "render/render_job.h"
#include "render/render_workspace.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/workspace.h"
#include "tools/demo_scene.h"
#include "ui/recording_ui.h"

namespace brevoxa::bench {
namespace {

using Clock = std::chrono::steady_clock;

size_t PolygonCount(const Workspace& ws) {
  size_t count = 0;
  for (const IDrawable* item : ws.GetItems())
    if (item->IsKindOf(RUNTIME_CLASS(IObject))) count += static_cast<const IObject*>(item)->GetPolygonCount();
  return count;
}

// --- One render ---

// The rendering thread's processor time: on a shared machine the wall time
// of a phase also counts other programs' turns, this does not.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct PhaseTime {
  double wall = 0;
  double cpu = 0;
};

// Keeps when each phase began; the foreground path delivers every message
// on the rendering thread before the driver goes on.
class PhaseClock : public IRenderReceiver {
 public:
  void Post(RenderMessage message) override {
    if (message.id == WM_RENDER_PHASE) phases_.push_back({message.wParam, Clock::now(), ThreadCpuSeconds()});
  }

  // From the start of the phase of the weight to the start of the next
  // phase; nothing when the render never got past it.
  std::optional<PhaseTime> Duration(int weight) const {
    for (size_t i = 0; i + 1 < phases_.size(); ++i) {
      if (phases_[i].weight != weight) continue;
      const Phase& next = phases_[i + 1];
      return PhaseTime{std::chrono::duration<double>(next.wall - phases_[i].wall).count(), next.cpu - phases_[i].cpu};
    }
    return std::nullopt;
  }

 private:
  struct Phase {
    int weight;
    Clock::time_point wall;
    double cpu;
  };
  std::vector<Phase> phases_;
};

// The driver's phases of the octree build and of the primary rays.
constexpr int kOctreePhase = 20;
constexpr int kTracingPhase = 940;

struct RenderTotals {
  RenderCounters counters;
  PhaseTime octree;
  PhaseTime tracing;
};

// Renders the camera's picture once; the error text when it failed.
std::optional<std::string> RenderOnce(Workspace& ws, const ICamera& camera, const std::string& title, int threads,
                                      RenderTotals& totals) {
  RenderDocument document(ws, title);
  document.SetRenderCamera(camera);
  PhaseClock clock;
  RenderJob job(clock);
  job.document = &document;
  job.threads = threads;
  RecordingUi ui;
  RenderWorkspace(document, job, ui);
  if (!ui.Messages().empty()) return ui.Messages().front();
  if (!job.imageWritten) return std::string("no picture was written");
  const std::optional<PhaseTime> octree = clock.Duration(kOctreePhase);
  const std::optional<PhaseTime> tracing = clock.Duration(kTracingPhase);
  if (!octree || !tracing) return std::string("the render did not go through its phases");
  totals.counters += job.statistics.counters;
  totals.octree.wall += octree->wall;
  totals.octree.cpu += octree->cpu;
  totals.tracing.wall += tracing->wall;
  totals.tracing.cpu += tracing->cpu;
  return std::nullopt;
}

// Times are per render; the rates of each kind are per second of tracing
// wall time, which a single-thread render on an idle machine spends wholly
// on the processor. On a loaded machine the *_cpu_ms times and rays/cpu_s
// (all rays per second of the rendering thread's processor time) stay near
// the idle machine's figures; they mean nothing with more than one thread,
// whose tracing runs on other threads.
void ReportTotals(benchmark::State& state, const RenderTotals& totals, size_t polygons) {
  const RenderCounters& c = totals.counters;
  const double perRender = 1000.0 / static_cast<double>(state.iterations());
  const double tracing = totals.tracing.wall;
  const uint64_t rays = c.primaryRays + c.shadowRays + c.reflectedRays + c.transmittedRays;
  state.counters["polygons"] = static_cast<double>(polygons);
  state.counters["octree_ms"] = totals.octree.wall * perRender;
  state.counters["octree_cpu_ms"] = totals.octree.cpu * perRender;
  state.counters["octree_cells"] = static_cast<double>(c.octreeSize) * perRender / 1000.0;
  state.counters["tracing_ms"] = tracing * perRender;
  state.counters["tracing_cpu_ms"] = totals.tracing.cpu * perRender;
  state.counters["primary/s"] = static_cast<double>(c.primaryRays) / tracing;
  state.counters["shadow/s"] = static_cast<double>(c.shadowRays) / tracing;
  state.counters["reflected/s"] = static_cast<double>(c.reflectedRays) / tracing;
  state.counters["transmitted/s"] = static_cast<double>(c.transmittedRays) / tracing;
  state.counters["rays/s"] = static_cast<double>(rays) / tracing;
  state.counters["rays/cpu_s"] = static_cast<double>(rays) / totals.tracing.cpu;
  state.counters["tests/ray"] = static_cast<double>(c.polygonHitTests) / static_cast<double>(rays);
  state.counters["cells/ray"] = static_cast<double>(c.octreeHits) / static_cast<double>(rays);
}

// Writes the store and makes the scene; its camera, or null when that
// failed and the benchmark was told why.
template <class Prepare>
const ICamera* PrepareScene(benchmark::State& state, const BenchStore& store, Workspace& ws, std::string& title,
                            Prepare prepare) {
  if (!store.Ok()) {
    state.SkipWithError("the store could not be written");
    return nullptr;
  }
  if (!prepare(store, ws, title)) {
    state.SkipWithError("the scene could not be made");
    return nullptr;
  }
  const ICamera* camera = FirstCamera(ws);
  if (camera == nullptr) state.SkipWithError("the scene has no camera");
  return camera;
}

template <class Prepare>
void RenderBenchmark(benchmark::State& state, int threads, Prepare prepare) {
  BenchStore store;
  Workspace ws;
  std::string title;
  const ICamera* camera = PrepareScene(state, store, ws, title, prepare);
  if (camera == nullptr) return;
  RenderTotals totals;
  std::optional<std::string> failure;
  for (auto _ : state) {
    failure = RenderOnce(ws, *camera, title, threads, totals);
    if (failure) {
      state.SkipWithError(failure->c_str());
      break;
    }
  }
  if (!failure) ReportTotals(state, totals, PolygonCount(ws));
}

// 640 x 480 with the demo's own settings: Low supersampling, so 1280 x 960
// primary rays, depth limit 4. Argument: the tracing threads.
void BM_RenderDemo(benchmark::State& state) {
  RenderBenchmark(state, static_cast<int>(state.range(0)), [](const BenchStore& store, Workspace& ws, std::string& title) {
    title = store.File(store::kDemoWorkspaceFile);
    RecordingUi ui;
    return ws.Load(title, ui) && ui.Messages().empty();
  });
}
BENCHMARK(BM_RenderDemo)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: the sphere's divisions each way (12, 48 and 192 give about
// 244, 2,400 and 37,000 polygons with the plane), whether the second sphere
// stands beside it, the supersampling level (0 none, 2 "Medium") and the
// tracing threads.
void BM_RenderSpheres(benchmark::State& state) {
  const int divisions = static_cast<int>(state.range(0));
  const bool second = state.range(1) != 0;
  const auto supersampling = static_cast<Supersampling>(state.range(2));
  RenderBenchmark(state, static_cast<int>(state.range(3)),
                  [=](const BenchStore& store, Workspace& ws, std::string& title) {
                    title = "SPHERE.WSP";
                    return BuildSphereScene(store, ws, divisions, kSphereOctreeLimit, supersampling, second);
                  });
}
BENCHMARK(BM_RenderSpheres)
    ->ArgNames({"divisions", "second", "sampling", "threads"})
    ->ArgsProduct({{12, 48, 192}, {0, 1}, {0, 2}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// What the stars cost: the 2,400-polygon scene under a sky with stars on
// 3 % of its samples. On several threads the samples that show a star are
// traced twice. Argument: the tracing threads.
void BM_RenderStarrySpheres(benchmark::State& state) {
  RenderBenchmark(state, static_cast<int>(state.range(0)), [](const BenchStore& store, Workspace& ws, std::string& title) {
    title = "SPHERE.WSP";
    return BuildSphereScene(store, ws, 48, kSphereOctreeLimit, Supersampling::none, false, true);
  });
}
BENCHMARK(BM_RenderStarrySpheres)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The finest sphere at a new settings document's octree limit, 6, and at
// the scenes' own. Arguments: the octree limit and the tracing threads.
void BM_RenderFineSphereOctree(benchmark::State& state) {
  const int octreeLimit = static_cast<int>(state.range(0));
  RenderBenchmark(state, static_cast<int>(state.range(1)),
                  [=](const BenchStore& store, Workspace& ws, std::string& title) {
                    title = "SPHERE.WSP";
                    return BuildSphereScene(store, ws, 192, octreeLimit);
                  });
}
BENCHMARK(BM_RenderFineSphereOctree)
    ->ArgNames({"octree", "threads"})
    ->Args({6, 1})
    ->Args({kSphereOctreeLimit, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// --- One thread against two, in pairs ---
//
// The machine these figures come from is a virtual one whose speed drifts
// by a tenth and more within a minute, so that medians of one-thread and
// two-thread runs taken at different moments give ratios anywhere from 1.5
// to 3.0. Here each iteration renders the same picture on one thread and on
// two, back to back (in alternating order), and the ratio of the pair's
// wall times is taken; `2/1` is the median of those ratios, `t1_ms` and
// `t2_ms` the median times. The machine's disturbances only ever add time,
// and they strike a render on two threads (which needs both processors
// undisturbed) more often than one on one: `best_2/1` is the least time on
// one thread over the least on two, the machine's undisturbed speeds. A
// pair before the timed ones warms the caches and the heap: the first
// renders of a process run up to a third slower.
//
// The processors need not be equally fast: on the virtual machine of
// these figures the second took 4–9 % longer over a render of the finest
// sphere than the first, both otherwise idle (it also takes the disk's
// interrupts and a kernel thread of the host's memory management). Two
// threads can then at best do what the two processors do apart. Each
// iteration therefore also renders on one thread held to each of the
// first two processors the benchmark may use; `cpu0_ms` and `cpu1_ms` are
// their median times, `ceiling_2/1` the median of the pair's one-thread
// time times the two processors' speeds together (t1 / cpu0 + t1 / cpu1),
// and `of_ceiling` the median share of it that two threads reached.
double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The processors the calling thread may run on; empty when unknown.
std::vector<int> AllowedProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  std::vector<int> processors;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return processors;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &set)) processors.push_back(cpu);
  return processors;
}

// Holds the calling thread to one processor while it lives.
class HeldToProcessor {
 public:
  explicit HeldToProcessor(int cpu) {
    CPU_ZERO(&saved_);
    restore_ = sched_getaffinity(0, sizeof saved_, &saved_) == 0;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    sched_setaffinity(0, sizeof one, &one);
  }
  ~HeldToProcessor() {
    if (restore_) sched_setaffinity(0, sizeof saved_, &saved_);
  }
  HeldToProcessor(const HeldToProcessor&) = delete;
  HeldToProcessor& operator=(const HeldToProcessor&) = delete;

 private:
  cpu_set_t saved_;
  bool restore_ = false;
};

template <class Prepare>
void PairedBenchmark(benchmark::State& state, Prepare prepare) {
  BenchStore store;
  Workspace ws;
  std::string title;
  const ICamera* camera = PrepareScene(state, store, ws, title, prepare);
  if (camera == nullptr) return;
  std::vector<double> one, two, ratios, held[2], ceilings, shares;
  const std::vector<int> processors = AllowedProcessors();
  std::optional<std::string> failure;
  auto timed = [&](int threads) {
    RenderTotals ignored;
    const Clock::time_point start = Clock::now();
    failure = RenderOnce(ws, *camera, title, threads, ignored);
    return std::chrono::duration<double>(Clock::now() - start).count() * 1000.0;
  };
  for (int threads : {1, 2}) {
    timed(threads);
    if (failure) {
      state.SkipWithError(failure->c_str());
      return;
    }
  }
  for (auto _ : state) {
    const bool oneFirst = one.size() % 2 == 0;
    const double first = timed(oneFirst ? 1 : 2);
    const double second = failure ? 0.0 : timed(oneFirst ? 2 : 1);
    if (failure) {
      state.SkipWithError(failure->c_str());
      return;
    }
    one.push_back(oneFirst ? first : second);
    two.push_back(oneFirst ? second : first);
    ratios.push_back(one.back() / two.back());
    if (processors.size() < 2) continue;
    for (int k = 0; k < 2; ++k) {
      const HeldToProcessor hold(processors[static_cast<size_t>(k)]);
      held[k].push_back(timed(1));
    }
    if (failure) {
      state.SkipWithError(failure->c_str());
      return;
    }
    ceilings.push_back(one.back() / held[0].back() + one.back() / held[1].back());
    shares.push_back(ratios.back() / ceilings.back());
  }
  state.counters["t1_ms"] = Median(one);
  state.counters["t2_ms"] = Median(two);
  state.counters["2/1"] = Median(ratios);
  state.counters["best_2/1"] = *std::min_element(one.begin(), one.end()) / *std::min_element(two.begin(), two.end());
  if (!ceilings.empty()) {
    state.counters["cpu0_ms"] = Median(held[0]);
    state.counters["cpu1_ms"] = Median(held[1]);
    state.counters["ceiling_2/1"] = Median(ceilings);
    state.counters["of_ceiling"] = Median(shares);
  }
}

void BM_TwoThreadsDemo(benchmark::State& state) {
  PairedBenchmark(state, [](const BenchStore& store, Workspace& ws, std::string& title) {
    title = store.File(store::kDemoWorkspaceFile);
    RecordingUi ui;
    return ws.Load(title, ui) && ui.Messages().empty();
  });
}
BENCHMARK(BM_TwoThreadsDemo)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments as BM_RenderSpheres's, without the threads.
void BM_TwoThreadsSpheres(benchmark::State& state) {
  const int divisions = static_cast<int>(state.range(0));
  const bool second = state.range(1) != 0;
  const auto supersampling = static_cast<Supersampling>(state.range(2));
  PairedBenchmark(state, [=](const BenchStore& store, Workspace& ws, std::string& title) {
    title = "SPHERE.WSP";
    return BuildSphereScene(store, ws, divisions, kSphereOctreeLimit, supersampling, second);
  });
}
BENCHMARK(BM_TwoThreadsSpheres)
    ->ArgNames({"divisions", "second", "sampling"})
    ->ArgsProduct({{12, 48, 192}, {0, 1}, {0, 2}})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_TwoThreadsStarrySpheres(benchmark::State& state) {
  PairedBenchmark(state, [](const BenchStore& store, Workspace& ws, std::string& title) {
    title = "SPHERE.WSP";
    return BuildSphereScene(store, ws, 48, kSphereOctreeLimit, Supersampling::none, false, true);
  });
}
BENCHMARK(BM_TwoThreadsStarrySpheres)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace brevoxa::bench
