// Noise and colour-map lookups, the per-sample costs of procedural textures.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>

#include "material/color_map.h"
#include "material/noise.h"

namespace brevoxa {
namespace {

// A fixed spread of points, positive and negative, so that table reads are
// not all from one cache line.
const std::array<CVector, 256>& Points() {
  static const std::array<CVector, 256> points = [] {
    std::array<CVector, 256> p;
    RandomSource source(12345);
    auto coordinate = [&] { return (source.Draw() - 16384) / 1024.0; };
    for (CVector& v : p) v.Set(coordinate(), coordinate(), coordinate());
    return p;
  }();
  return points;
}

template <class F>
void RunOverPoints(benchmark::State& state, F&& f) {
  const auto& points = Points();
  size_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(f(points[n]));
    n = (n + 1) & 255;
  }
}

void BM_Noise(benchmark::State& state) {
  const IGradientNoise& noise = GetNoise();
  RunOverPoints(state, [&](const CVector& p) { return noise.Noise(p); });
}
BENCHMARK(BM_Noise);

// Through the base class, as textures holding an INoise call it.
void BM_NoiseVirtual(benchmark::State& state) {
  const INoise& noise = GetNoise();
  RunOverPoints(state, [&](const CVector& p) { return noise.Noise(p); });
}
BENCHMARK(BM_NoiseVirtual);

void BM_VectorNoise(benchmark::State& state) {
  const IGradientNoise& noise = GetNoise();
  RunOverPoints(state, [&](const CVector& p) { return noise.VectorNoise(p); });
}
BENCHMARK(BM_VectorNoise);

void BM_Turbulence(benchmark::State& state) {
  const IGradientNoise& noise = GetNoise();
  RunOverPoints(state, [&](const CVector& p) { return noise.Turbulence(p); });
}
BENCHMARK(BM_Turbulence);

void BM_VectorTurbulence(benchmark::State& state) {
  const IGradientNoise& noise = GetNoise();
  RunOverPoints(state, [&](const CVector& p) { return noise.VectorTurbulence(p); });
}
BENCHMARK(BM_VectorTurbulence);

// A full map and a sparse one: the walk stops at the first non-empty
// segment at or after t, so sparse maps cost the most.
void BM_ColorMapLookup(benchmark::State& state) {
  ColorMap map;
  const int stride = static_cast<int>(state.range(0));
  for (int i = 0; i < ColorMap::kSegmentCount; i += stride) {
    map.SetSegment(i, i % 2 ? ColorMapSegment::linear : ColorMapSegment::solid,
                   CVector(i * 12.0, 255 - i * 12.0, 128));
  }
  double t = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.Lookup(t));
    t += 0.0137;
    if (t > 1.0) t -= 1.0;
  }
}
BENCHMARK(BM_ColorMapLookup)->Arg(1)->Arg(20);

}  // namespace
}  // namespace brevoxa
