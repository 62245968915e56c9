// Arrays that grow from the heap into mapped huge pages and back keep their
// contents, and every block goes back where it came from (the sanitizer
// build catches a block returned the wrong way).
#include <gtest/gtest.h>

#include <cstdint>

#include "render/large_array.h"

namespace brevoxa {
namespace {

TEST(LargeArray, KeepsItsValuesAcrossTheHugePageThreshold) {
  LargeVector<uint64_t> values;
  constexpr uint64_t kCount = 3u << 20;  // 24 MiB: several mapped blocks on the way
  for (uint64_t i = 0; i < kCount; ++i) values.push_back(i * 7);
  for (uint64_t i = 0; i < kCount; i += 4099) ASSERT_EQ(values[i], i * 7);

  LargeVector<uint64_t> copy = values;
  EXPECT_EQ(copy, values);
  values.resize(100);
  values.shrink_to_fit();
  EXPECT_EQ(values.back(), 99u * 7);
  copy.clear();
  copy.shrink_to_fit();
  EXPECT_EQ(copy.capacity(), 0u);
}

}  // namespace
}  // namespace brevoxa
