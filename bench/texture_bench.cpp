// Each texture kind's Apply and a material combining several: the
// per-sample cost of shading a textured surface.
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "material/material_doc.h"
#include "material/random_source.h"
#include "material/texture_bitmap.h"
#include "material/texture_bumps.h"
#include "material/texture_check.h"
#include "material/texture_solid.h"
#include "persist/object_store.h"
#include "scene/axis.h"

namespace brevoxa {
namespace {

// Points spread over a few units, so that images wrap and noise tables are
// not read from one cache line.
const std::array<CVector, 256>& Points() {
  static const std::array<CVector, 256> points = [] {
    std::array<CVector, 256> p;
    RandomSource source(4321);
    auto coordinate = [&] { return (source.Draw() - 16384) / 8192.0; };
    for (CVector& v : p) v.Set(coordinate(), coordinate(), coordinate());
    return p;
  }();
  return points;
}

const IAxis& Frame() {
  static const IAxis frame = [] {
    IAxis f;
    f.SetRotation(CVector(10, 20, 30));
    f.SetPosition(CVector(0.25, -0.5, 1));
    return f;
  }();
  return frame;
}

ColorMap Ramp() {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, CVector(20, 40, 60));
  map.SetSegment(10, ColorMapSegment::linear, CVector(200, 100, 50));
  map.SetSegment(20, ColorMapSegment::linear, CVector(255, 255, 255));
  return map;
}

void RunApply(benchmark::State& state, const ITexture& texture) {
  const auto& points = Points();
  const IAxis& frame = Frame();
  const CVector normal(0, 0.6, 0.8);
  size_t n = 0;
  for (auto _ : state) {
    SurfacePoint s{points[n], normal, {}, {}, {}, normal};
    texture.Apply(frame, s);
    benchmark::DoNotOptimize(s);
    n = (n + 1) & 255;
  }
}

template <class T>
void BM_Apply(benchmark::State& state) {
  T texture;
  texture.Prepare();
  RunApply(state, texture);
}
BENCHMARK_TEMPLATE(BM_Apply, IRollingBumpsTexture);
BENCHMARK_TEMPLATE(BM_Apply, IRadialWaveTexture);
BENCHMARK_TEMPLATE(BM_Apply, IWoodTexture);
BENCHMARK_TEMPLATE(BM_Apply, ICheckTexture);
BENCHMARK_TEMPLATE(BM_Apply, IGraniteTexture);

void BM_ApplyRoughness(benchmark::State& state) {
  IRoughnessTexture texture;
  texture.SetValues({0.5, static_cast<uint16_t>(state.range(0))});
  RunApply(state, texture);
}
BENCHMARK(BM_ApplyRoughness)->Arg(IRoughnessTexture::kUseNoise)->Arg(IRoughnessTexture::kUseTurbulence);

template <class T>
void BM_ApplyColorMap(benchmark::State& state) {
  T texture;
  texture.SetValues({1.0, Ramp()});
  RunApply(state, texture);
}
BENCHMARK_TEMPLATE(BM_ApplyColorMap, IMarbleTexture);
BENCHMARK_TEMPLATE(BM_ApplyColorMap, ICloudsTexture);
BENCHMARK_TEMPLATE(BM_ApplyColorMap, IWoodRangeTexture);

void BM_ApplyColorRange(benchmark::State& state) {
  IColorRangeTexture texture;
  texture.SetValues({0.5, Ramp(), static_cast<uint16_t>(state.range(0))});
  RunApply(state, texture);
}
BENCHMARK(BM_ApplyColorRange)->DenseRange(0, 3);

// A 256 x 256 image written to a scratch OBJSTORE, read as a texture with
// colour only (arg 0) or with the bump normal as well (arg 1).
void BM_ApplyBitmap(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "brevoxa-texture-bench";
  std::filesystem::create_directories(dir);
  {
    constexpr int kSide = 256;
    std::vector<uint8_t> file(54 + kSide * kSide * 3);
    auto put = [&](size_t at, uint32_t v, int bytes) {
      for (int k = 0; k < bytes; ++k) file[at + k] = static_cast<uint8_t>(v >> (8 * k));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<uint32_t>(file.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, kSide, 4);
    put(22, kSide, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (size_t i = 54; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7);
    std::ofstream(dir / "BENCH.BMP", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  ScopedObjectStore store(dir.string());
  IBitmapTexture texture;
  IBitmapTexture::Values v = texture.GetValues();
  v.fileName = "BENCH.BMP";
  v.horizontalRepetitions = 3;
  v.verticalRepetitions = 2;
  v.bumpNormal = state.range(0) != 0;
  texture.SetValues(v);
  texture.Prepare();
  if (!texture.IsLoaded()) state.SkipWithError("image did not load");
  RunApply(state, texture);
  texture.Release();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ApplyBitmap)->Arg(0)->Arg(1);

// A material with a colour, a bump and a reflect texture: what the renderer
// pays per shaded sample on top of the textures themselves.
void BM_EvaluateSurface(benchmark::State& state) {
  CMaterialDoc doc;
  auto marble = std::make_unique<IMarbleTexture>();
  marble->SetValues({1.0, Ramp()});
  doc.AddTexture(std::move(marble));
  doc.AddTexture(std::make_unique<IRoughnessTexture>());
  auto check = std::make_unique<ICheckTexture>();
  ICheckTexture::Values v = check->GetValues();
  v.color = false;
  v.reflect = true;
  check->SetValues(v);
  doc.AddTexture(std::move(check));
  doc.PrepareTextures();
  const auto& points = Points();
  const IAxis& frame = Frame();
  const CVector normal(0, 0.6, 0.8);
  size_t n = 0;
  for (auto _ : state) {
    SurfacePoint s{points[n], normal, {}, {}, {}, {}};
    doc.EvaluateSurface(frame, s);
    benchmark::DoNotOptimize(s);
    n = (n + 1) & 255;
  }
}
BENCHMARK(BM_EvaluateSurface);

}  // namespace
}  // namespace brevoxa
