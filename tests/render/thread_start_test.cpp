// A helper thread started elsewhere: it runs its work, and once running
// it may use every processor its creator may, whatever the creator had.
#include "render/thread_start.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <vector>

namespace brevoxa {
namespace {

cpu_set_t Allowed() {
  cpu_set_t set;
  CPU_ZERO(&set);
  EXPECT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  return set;
}

// Runs on a thread of its own, with the given processors allowed, and
// starts helpers from there; each must end up with the same processors.
void ExpectHelpersKeepTheCreatorsProcessors(const cpu_set_t& creator) {
  std::thread creatorThread([&] {
    ASSERT_EQ(sched_setaffinity(0, sizeof creator, &creator), 0);
    std::atomic<int> ran{0};
    std::vector<cpu_set_t> seen(4);
    std::vector<std::thread> helpers;
    for (size_t i = 0; i < seen.size(); ++i) {
      helpers.push_back(StartThreadElsewhere([&, i] {
        sched_getaffinity(0, sizeof seen[i], &seen[i]);
        ++ran;
      }));
    }
    for (std::thread& helper : helpers) helper.join();
    EXPECT_EQ(ran.load(), 4);
    for (const cpu_set_t& set : seen) EXPECT_TRUE(CPU_EQUAL(&set, &creator));
  });
  creatorThread.join();
}

TEST(StartThreadElsewhere, RunsTheWorkAndLeavesTheThreadTheCreatorsProcessors) {
  const cpu_set_t all = Allowed();
  ExpectHelpersKeepTheCreatorsProcessors(all);

  // A creator held to one processor has nowhere else to send them.
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  ExpectHelpersKeepTheCreatorsProcessors(one);
}

}  // namespace
}  // namespace brevoxa
