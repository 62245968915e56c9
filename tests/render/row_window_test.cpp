// Rows traced on several threads through windows smaller than the picture:
// the threads' bands start, end and are helped from their far ends, and
// the rows still arrive once each, in order, as one thread gives them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "material/environment.h"
#include "material/random_source.h"
#include "render/camera_sampling.h"
#include "render/octree.h"
#include "render/render_threads.h"
#include "render/row_tracer.h"
#include "scene/workspace.h"
#include "support/render_scene.h"

namespace brevoxa {
namespace {

constexpr int32_t kWidth = 16;
constexpr int32_t kHeight = 37;

struct Traced {
  std::vector<int32_t> order;
  std::vector<uint8_t> rgb;
  RenderCounters counters;
  uint32_t randomState = 0;
  int calls = 0;  // of the primary tracer
};

std::vector<int32_t> RowsUpTo(int32_t last) {
  std::vector<int32_t> rows;
  for (int32_t row = 0; row <= last; ++row) rows.push_back(row);
  return rows;
}

class RowWindowTest : public ::testing::Test {
 protected:
  RowWindowTest() {
    camera_ = testing::AddAimedCamera(workspace_, {4, 0, 0.5}, {0, 0, 0});
    sampling_ = std::make_unique<CameraSampling>(*camera_, kWidth, kHeight, 1.0);
    sky_.horizon = {60, 70, 90};
    slowAbove_ = sampling_->PrimaryRay(kWidth / 2, kHeight / 4).direction.z;
  }

  // Through a window of `windowRows` rows' bytes; up to the row stopAfter
  // when it is not negative. With the primary tracer, or with the shading
  // (and the sky's stars) over an empty scene.
  Traced Trace(int threads, int32_t windowRows, bool primaryTracer, int32_t stopAfter = -1) {
    std::atomic<int> calls{0};
    RenderThreads renderThreads(threads);
    RandomSource random;
    RowTraceSetup setup;
    setup.context.octree = &empty_;
    setup.context.environment = &sky_;
    setup.sampling = sampling_.get();
    setup.width = kWidth;
    setup.height = kHeight;
    setup.threads = &renderThreads;
    setup.random = &random;
    const size_t bytesPerRow = static_cast<size_t>(kWidth) * (3 + (DrawsStars(sky_) ? 4 : 0));
    setup.windowBytes = bytesPerRow * static_cast<size_t>(windowRows);
    if (primaryTracer) {
      setup.primaryTracer = [&](const TraceContext&, const Ray& ray) {
        ++calls;
        return Colour(ray);
      };
    }
    Traced traced;
    TraceRows(setup, [&](int32_t row, std::span<const uint8_t> rgb, const RenderCounters& counters) {
      traced.order.push_back(row);
      traced.rgb.insert(traced.rgb.end(), rgb.begin(), rgb.end());
      traced.counters += counters;
      return row != stopAfter;
    });
    traced.randomState = random.GetState();
    traced.calls = calls;
    return traced;
  }

  // A colour of the ray alone. The top quarter of the picture takes
  // longer, so that threads whose bands lie below it finish first and
  // help with the band that holds up the hand-over.
  CVector Colour(const Ray& ray) const {
    if (ray.direction.z > slowAbove_) std::this_thread::sleep_for(std::chrono::microseconds(20));
    return {std::fabs(ray.direction.x) * 200, std::fabs(ray.direction.y) * 200, std::fabs(ray.direction.z) * 200};
  }

  Workspace workspace_;
  ICamera* camera_ = nullptr;
  std::unique_ptr<CameraSampling> sampling_;
  EnvironmentSettings sky_;
  Octree empty_;
  double slowAbove_ = 0.0;
};

// Each sample is traced once: a row taken twice, or skipped, shows in the
// calls, the order or the bytes.
TEST_F(RowWindowTest, EveryRowOnceAndInOrderWhateverTheWindowAndThreadCount) {
  const Traced one = Trace(1, kHeight, true);
  ASSERT_EQ(one.order, RowsUpTo(kHeight - 1));
  for (int32_t window : {1, 2, 3, 5, 8, kHeight}) {
    for (int threads : {2, 3, 8}) {
      SCOPED_TRACE(::testing::Message() << "window " << window << ", threads " << threads);
      const Traced many = Trace(threads, window, true);
      EXPECT_EQ(many.order, one.order);
      EXPECT_TRUE(many.rgb == one.rgb);
      EXPECT_EQ(many.counters, one.counters);
      EXPECT_EQ(many.calls, kWidth * kHeight);
    }
  }
}

// The stars' draws are replayed in sample order however the bands fell.
TEST_F(RowWindowTest, StarsAndTheRandomSourceAsOneThreadLeavesThem) {
  sky_.stars = 30;
  const Traced one = Trace(1, kHeight, false);
  for (int32_t window : {2, 5, kHeight}) {
    for (int threads : {2, 3, 8}) {
      SCOPED_TRACE(::testing::Message() << "window " << window << ", threads " << threads);
      const Traced many = Trace(threads, window, false);
      EXPECT_TRUE(many.rgb == one.rgb);
      EXPECT_EQ(many.counters, one.counters);
      EXPECT_EQ(many.randomState, one.randomState);
    }
  }
}

// No row after the stop is handed over, though other threads may have
// traced rows further down.
TEST_F(RowWindowTest, AStopHandsOverTheRowsUpToItAndNoMore) {
  constexpr int32_t kStopRow = 11;
  sky_.stars = 30;
  const Traced one = Trace(1, kHeight, false, kStopRow);
  ASSERT_EQ(one.order, RowsUpTo(kStopRow));
  for (int32_t window : {3, kHeight}) {
    for (int threads : {2, 8}) {
      SCOPED_TRACE(::testing::Message() << "window " << window << ", threads " << threads);
      const Traced many = Trace(threads, window, false, kStopRow);
      EXPECT_EQ(many.order, one.order);
      EXPECT_TRUE(many.rgb == one.rgb);
      EXPECT_EQ(many.counters, one.counters);
      EXPECT_EQ(many.randomState, one.randomState);
    }
  }
}

}  // namespace
}  // namespace brevoxa
