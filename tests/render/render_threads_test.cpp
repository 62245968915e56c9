// The render's threads: every step reaches each of them once, in turn,
// and a failure on any of them ends the step and nothing after it.
#include "render/render_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace brevoxa {
namespace {

TEST(RenderThreads, RunEachStepOnceOnEveryThreadAndOnlyThatStep) {
  for (int count : {0, 1, 2, 5}) {
    RenderThreads threads(count);
    ASSERT_EQ(threads.Count(), std::max(count, 1));
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<std::atomic<int>> calls(static_cast<size_t>(threads.Count()));
    for (int step = 1; step <= 50; ++step) {
      // Steps back to back find the helpers still looking for work; after
      // a pause they have gone to sleep.
      if (step % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      threads.Run([&](int worker) {
        EXPECT_EQ(worker == 0, std::this_thread::get_id() == caller);
        ++calls[static_cast<size_t>(worker)];
      });
      // Every call of the step has returned, none of the next has begun.
      for (const auto& made : calls) ASSERT_EQ(made.load(), step) << count << " threads";
    }
  }
}

TEST(RenderThreads, PassOnAFailureOnceEveryThreadHasFinishedTheStep) {
  RenderThreads threads(3);
  for (int failing : {0, 2}) {
    std::atomic<int> finished{0};
    EXPECT_THROW(threads.Run([&](int worker) {
                   if (worker == failing) throw std::runtime_error("failed");
                   std::this_thread::sleep_for(std::chrono::milliseconds(10));
                   ++finished;
                 }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 2) << "thread " << failing << " failing";
  }
  // The threads are still there for the steps after.
  std::atomic<int> ran{0};
  threads.Run([&](int) { ++ran; });
  EXPECT_EQ(ran.load(), 3);
}

}  // namespace
}  // namespace brevoxa
