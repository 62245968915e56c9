// The tracing phase of a render: one primary ray per sample, row by row
// from the top, on one thread or several. Rows reach the caller in order,
// on the calling thread, so the sample file, the progress messages and the
// stop check see the same sequence at every thread count, and at most a
// window of rows of bounded size is held in memory at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "math/vector.h"
#include "render/render_counters.h"
#include "render/shading.h"

namespace brevoxa {

class RandomSource;
class RenderJob;
class RenderThreads;
struct CameraSampling;
struct Ray;

// More tracing threads than this would only wait on each other.
inline constexpr int kMaxTracingThreads = 256;

struct RowTraceSetup {
  // Octree, environment, lights and depth limit; each thread brings its
  // own counters, and the random source is the one below.
  TraceContext context;
  const CameraSampling* sampling = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  // The render's threads to trace on; without them, or with only the
  // calling one, the calling thread traces every sample itself.
  RenderThreads* threads = nullptr;
  // The calling thread's source. The stars take their draws from it in
  // sample order whatever the thread count, and leave it as a render on
  // one thread would for the rows handed over.
  RandomSource* random = nullptr;
  // Replaces TraceRay for the primary rays when set.
  std::function<CVector(const TraceContext&, const Ray&)> primaryTracer;
  // Its pause holds every tracing thread; may be null.
  RenderJob* job = nullptr;
  // On several threads: at most about this many bytes of rows are held
  // at once (but always one row a thread and one more).
  size_t windowBytes = size_t{16} << 20;
};

// Gets each finished row (width x 3 bytes) with the counters its samples
// added, on the calling thread, top row first; returns whether to go on.
// When it returns false no further row is handed over, and the threads
// stop once the rows they are tracing are done.
using RowHandler = std::function<bool(int32_t row, std::span<const uint8_t> rgb, const RenderCounters& counters)>;

// Traces rows until the last one or until the handler says stop. Passes on
// the first failure of any thread, once every thread has ended.
void TraceRows(const RowTraceSetup& setup, const RowHandler& takeRow);

}  // namespace brevoxa
