// RenderCounters: the eight statistics counters of a render. Each thread
// bumps a struct of its own, passed by reference, and the driver sums them
// when the threads are done; no counter is ever shared between threads.
#pragma once

#include <cstdint>

namespace brevoxa {

struct RenderCounters {
  uint64_t primaryRays = 0;
  uint64_t reflectedRays = 0;
  uint64_t transmittedRays = 0;
  uint64_t shadowRays = 0;
  uint64_t polygonHitTests = 0;
  uint64_t polygonHits = 0;
  // Root-box tests and leaves visited by the octree queries.
  uint64_t octreeHits = 0;
  // Cells the octree build allocated (8 per subdivision).
  uint64_t octreeSize = 0;

  RenderCounters& operator+=(const RenderCounters& b) {
    primaryRays += b.primaryRays;
    reflectedRays += b.reflectedRays;
    transmittedRays += b.transmittedRays;
    shadowRays += b.shadowRays;
    polygonHitTests += b.polygonHitTests;
    polygonHits += b.polygonHits;
    octreeHits += b.octreeHits;
    octreeSize += b.octreeSize;
    return *this;
  }
  bool operator==(const RenderCounters&) const = default;
};

}  // namespace brevoxa
