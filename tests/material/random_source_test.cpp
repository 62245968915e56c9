// The pseudo-random source: its known first values, jumping ahead, and the
// independence of the per-thread states.
#include "material/random_source.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace brevoxa {
namespace {

TEST(RandomSource, FirstDrawsFromStateOne) {
  // By hand from the formula:
  //   1 * 214013 + 2531011 = 2745024; >> 16 = 41.
  //   2745024 * 214013 + 2531011 = 587473352323 = 3357800067 mod 2^32;
  //     >> 16 = 51235, & 0x7FFF = 18467 (bit 15 is dropped).
  //   3357800067 * 214013 + 2531011 = 415139642 mod 2^32; >> 16 = 6334.
  RandomSource source;
  EXPECT_EQ(source.GetState(), 1u);
  EXPECT_EQ(source.Draw(), 41);
  EXPECT_EQ(source.GetState(), 2745024u);
  EXPECT_EQ(source.Draw(), 18467);
  EXPECT_EQ(source.GetState(), 3357800067u);
  EXPECT_EQ(source.Draw(), 6334);
  EXPECT_EQ(source.GetState(), 415139642u);
}

TEST(RandomSource, AdvanceMatchesSingleDraws) {
  for (uint64_t n : {0ull, 1ull, 2ull, 3ull, 1000ull, 53252ull, 1234567ull}) {
    RandomSource stepped(7), jumped(7);
    for (uint64_t i = 0; i < n; ++i) stepped.Draw();
    jumped.Advance(n);
    EXPECT_EQ(jumped.GetState(), stepped.GetState()) << n << " draws";
  }
  // The generator has full period 2^32 (increment odd, multiplier - 1 a
  // multiple of 4): a whole period returns to the start, half of one not.
  RandomSource source(12345);
  source.Advance(1ull << 32);
  EXPECT_EQ(source.GetState(), 12345u);
  source.Advance(1ull << 31);
  EXPECT_NE(source.GetState(), 12345u);
}

TEST(ThreadRandomSource, EveryThreadStartsAtOneAndKeepsItsOwnState) {
  // Disturb this thread first: a new thread must not see it.
  for (int i = 0; i < 5; ++i) DrawRandom();
  const uint32_t mine = ThreadRandomSource().GetState();

  std::vector<std::vector<int>> drawn(4);
  std::vector<uint32_t> startStates(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < drawn.size(); ++t) {
    threads.emplace_back([&, t] {
      startStates[t] = ThreadRandomSource().GetState();
      for (int i = 0; i < 1000; ++i) drawn[t].push_back(DrawRandom());
    });
  }
  for (std::thread& t : threads) t.join();

  RandomSource reference;
  std::vector<int> expected;
  for (int i = 0; i < 1000; ++i) expected.push_back(reference.Draw());
  for (size_t t = 0; t < drawn.size(); ++t) {
    EXPECT_EQ(startStates[t], 1u);
    EXPECT_EQ(drawn[t], expected) << "thread " << t;
  }
  EXPECT_EQ(ThreadRandomSource().GetState(), mine);
}

}  // namespace
}  // namespace brevoxa
