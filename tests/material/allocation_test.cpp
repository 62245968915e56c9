// Per-sample evaluations run millions of times per render and must not
// touch the heap. The global operator new of this test program counts
// allocations made on the calling thread.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "material/color_map.h"
#include "material/noise.h"

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

namespace brevoxa {
namespace {

TEST(Allocation, NoiseAndLookupsUseNoHeap) {
  const IGradientNoise& noise = GetNoise();
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, CVector(1, 2, 3));
  map.SetSegment(20, ColorMapSegment::linear, CVector(255, 255, 255));

  const long before = allocations;
  double sink = 0.0;
  for (int i = 0; i < 100; ++i) {
    const CVector p(i * 0.37, -i * 0.11, i * 1.7);
    sink += noise.Noise(p) + noise.Turbulence(p) + noise.VectorNoise(p).x +
            noise.VectorTurbulence(p).z + map.Lookup(i * 0.01).y;
  }
  EXPECT_EQ(allocations, before);
  EXPECT_GT(sink, 0.0);
}

}  // namespace
}  // namespace brevoxa
