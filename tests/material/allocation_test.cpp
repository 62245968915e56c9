// Per-sample evaluations must not touch the heap; operator new counts this thread's allocations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "material/color_map.h"
#include "material/material_doc.h"
#include "material/noise.h"
#include "material/texture_bitmap.h"
#include "material/texture_bumps.h"
#include "material/texture_catalog.h"
#include "material/texture_solid.h"
#include "persist/object_store.h"
#include "scene/axis.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

// Both ends of the pair use malloc's heap.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
thread_local long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
// The library's nothrow forms (std::stable_sort's buffer) must use the same heap.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++allocations;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace brevoxa {
namespace {

// Every kind, a loaded image included, the material that combines them, and the noise and map they use.
TEST(Allocation, NoiseLookupsTexturesAndSurfaceEvaluationUseNoHeap) {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, CVector(1, 2, 3));
  map.SetSegment(20, ColorMapSegment::linear, CVector(255, 255, 255));
  CMaterialDoc doc;
  for (const TextureChoice& choice : add_texture_dialog::kChoices) doc.AddTexture(MakeTexture(choice.kind));
  doc.AddTexture(std::make_unique<IRollingBumpsTexture>());
  doc.AddTexture(std::make_unique<IWoodRangeTexture>());
  for (size_t i = 0; i < doc.GetTextureCount(); ++i) {
    if (auto* colours = dynamic_cast<IColorMapTexture*>(doc.GetTexture(i))) colours->SetValues({1.0, map});
    if (auto* range = dynamic_cast<IColorRangeTexture*>(doc.GetTexture(i)))
      range->SetValues({0.5, map, IColorRangeTexture::kRadialPlanesAroundZ});
  }
  auto* bitmap = static_cast<IBitmapTexture*>(doc.GetTexture(0));  // the list starts with it
  IBitmapTexture::Values values = bitmap->GetValues();
  values.bumpNormal = true;
  bitmap->SetValues(values);
  testing::TempDir dir;  // a 2 x 2 image under the default name
  ScopedObjectStore store(dir.path().string());
  RecordingUi ui;
  ScopedUserInterface scoped(ui);
  testing::ByteWriter w;
  w.Chars("BM").Dword(54 + 16).Dword(0).Dword(54);
  w.Dword(40).Dword(2).Dword(2).Word(1).Word(24).Dword(0).Dword(16).Dword(2835).Dword(2835).Dword(0).Dword(0);
  for (int i = 0; i < 16; ++i) w.Byte(static_cast<uint8_t>(40 * i));
  testing::WriteFile(dir.File("PLAIN.JPG"), w.bytes());
  doc.PrepareTextures();
  ASSERT_TRUE(bitmap->IsLoaded());
  IAxis frame;
  frame.SetRotation(CVector(15, 25, 35));
  const IGradientNoise& noise = GetNoise();

  const long before = allocations;
  double sink = 0.0;
  for (int i = 0; i < 100; ++i) {
    const CVector p(i * 0.37, -i * 0.11, i * 1.7);
    sink += noise.Noise(p) + noise.Turbulence(p) + noise.VectorNoise(p).x + noise.VectorTurbulence(p).z +
            map.Lookup(i * 0.01).y;
    SurfacePoint s{p * 0.1, CVector(0, 0.6, 0.8), {}, {}, {}, {}};
    doc.EvaluateSurface(frame, s);
    sink += s.color.x + s.filter.y + s.reflect.z + s.shadingNormal.z;
  }
  EXPECT_EQ(allocations, before);
  EXPECT_TRUE(sink == sink);
}

}  // namespace
}  // namespace brevoxa
