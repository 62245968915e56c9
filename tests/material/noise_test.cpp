// Gradient noise: the tables, known values, range and continuity, the
// vector and turbulence forms, and the process-wide instance across threads;
// and the pseudo-random source the tables are drawn from.
#include "material/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "material/random_source.h"

namespace brevoxa {
namespace {

// FNV-1a over both tables, permutation entries then gradient components.
uint64_t Fingerprint(const IGradientNoise& noise) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](const void* data, size_t n) {
    const auto* b = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n; ++i) {
      h ^= b[i];
      h *= 1099511628211ull;
    }
  };
  for (int i = 0; i < IGradientNoise::kTableSize; ++i) {
    const int32_t v = noise.GetPermutation(i);
    mix(&v, sizeof v);
  }
  for (int i = 0; i < IGradientNoise::kTableSize; ++i) {
    const CVector& g = noise.GetGradient(i);
    const double c[3] = {g.x, g.y, g.z};
    mix(c, sizeof c);
  }
  return h;
}

IGradientNoise BuildFromStart() {
  RandomSource source;
  return IGradientNoise(source);
}

// The gradient of lattice corner (i, j, k), hashed by hand for small
// non-negative corners, where |h| & 0x7FF is just h & 0x7FF.
const CVector& CornerGradient(const IGradientNoise& n, int i, int j, int k) {
  int h = n.GetPermutation(k & 0x7FF) + j;
  h = n.GetPermutation(h & 0x7FF) + i;
  return n.GetGradient(n.GetPermutation(h & 0x7FF));
}

std::vector<CVector> SeededPoints(size_t count, double range, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(-range, range);
  std::vector<CVector> points(count);
  for (CVector& p : points) p.Set(d(rng), d(rng), d(rng));
  return points;
}

// The fingerprint pins both tables whole.
TEST(GradientNoiseTables, SameOnEveryBuildWithKnownEntries) {
  const IGradientNoise first = BuildFromStart();
  const IGradientNoise second = BuildFromStart();
  EXPECT_EQ(Fingerprint(first), Fingerprint(second));
  EXPECT_EQ(Fingerprint(GetNoise()), Fingerprint(first));
  EXPECT_EQ(Fingerprint(first), 0x59ddcac3531bf939ull);

  // 2048 swap draws and three draws per candidate gradient: 17068
  // candidates for 2048 gradients, near the eight per gradient expected
  // when one candidate in eight is accepted.
  EXPECT_EQ(first.GetDrawCount(), 53252u);
  EXPECT_EQ((first.GetDrawCount() - 2048) % 3, 0u);

  // The first draw is 41: slot 0 takes 41 and no later swap hits slot 0.
  // The second draw is 18467, and 18467 & 0x7FF = 35: slot 1 swaps with the
  // untouched slot 35.
  EXPECT_EQ(first.GetPermutation(0), 41);
  EXPECT_EQ(first.GetPermutation(1), 35);
  // The first accepted candidate, normalised.
  const CVector& g0 = first.GetGradient(0);
  EXPECT_NEAR(g0.x, 0.13596423795042353, 1e-15);
  EXPECT_NEAR(g0.Length(), 1.0, 1e-15);
}

TEST(GradientNoise, ExactlyHalfAtIntegerPointsWhereTheOctavesCanBeCounted) {
  // p / s stays on the lattice for s = 1/2^n, so every octave's noise is
  // exactly 0.5 and the sums show how many octaves there are:
  // 0.5 * (1 + 1/2 + 1/4 + 1/8) and 0.5 * (1 + ... + 1/64).
  const IGradientNoise& noise = GetNoise();
  for (const CVector& p : {CVector(0, 0, 0), CVector(3, -5, 7), CVector(-1, -4, 1000), CVector(4, 4, -4),
                           CVector(1e6, -2047, 2048), CVector(-123456, 65535, 2147483647.0)}) {
    SCOPED_TRACE(::testing::Message() << p.x << " " << p.y << " " << p.z);
    EXPECT_EQ(noise.Noise(p), 0.5);
    EXPECT_EQ(noise.Turbulence(p), 0.9375);
    EXPECT_EQ(noise.VectorTurbulence(p).y, 0.9921875);
  }
}

TEST(GradientNoise, BetweenHalfAndOneEverywhere) {
  const IGradientNoise& noise = GetNoise();
  double low = 1.0, high = 0.0;
  for (const CVector& p : SeededPoints(100000, 100.0, 1)) {
    const double n = noise.Noise(p);
    ASSERT_GE(n, 0.5) << p.x << " " << p.y << " " << p.z;
    ASSERT_LE(n, 1.0);
    low = std::min(low, n);
    high = std::max(high, n);
  }
  // Not stuck at either end: the values spread over the range.
  EXPECT_LT(low, 0.55);
  EXPECT_EQ(high, 1.0);  // sums above 0.5 are clamped, and they do occur
}

TEST(GradientNoise, KnownValues) {
  const IGradientNoise& noise = GetNoise();

  // On the x axis halfway between corners 0 and 1, only those two corners
  // have weight (j = 1 and k = 1 sit at offset 1, weight 0); each weighs
  // w(0.5) = 0.5 and sees the offset (0.5, 0, 0).
  const double g000 = CornerGradient(noise, 0, 0, 0).x;
  const double g100 = CornerGradient(noise, 1, 0, 0).x;
  EXPECT_NEAR(noise.Noise(CVector(0.5, 0, 0)), 0.5 + 0.25 * (g000 + g100), 1e-15);
  // Lattice coordinates truncate toward zero: at x = -0.5 the corners are 0
  // and 1, and corner 1 at offset 1.5 weighs nothing.
  EXPECT_NEAR(noise.Noise(CVector(-0.5, 0, 0)), 0.5 + 0.25 * g000, 1e-15);

  // Values computed once from this implementation, pinned against change.
  EXPECT_NEAR(noise.Noise(CVector(0.5, 0, 0)), 0.68990000636014359, 1e-15);
  EXPECT_NEAR(noise.Noise(CVector(1.3, -2.7, 5.1)), 0.67101070723251111, 1e-15);
  EXPECT_NEAR(noise.Noise(CVector(-0.3, -0.6, -0.9)), 0.5082947098032593, 1e-15);
  EXPECT_NEAR(noise.Noise(CVector(123.456, 78.9, -0.01)), 0.8919212139499717, 1e-15);
  EXPECT_EQ(noise.Noise(CVector(0.25, 0.5, 0.75)), 1.0);
  EXPECT_NEAR(noise.Turbulence(CVector(1.3, -2.7, 5.1)), 1.3697071306389086, 1e-14);
  const CVector vt = noise.VectorTurbulence(CVector(10.5, 20.25, 30.125));
  EXPECT_NEAR(vt.x, 1.1851990607025917, 1e-14);
  EXPECT_NEAR(vt.y, 1.740035968759357, 1e-14);
  EXPECT_NEAR(vt.z, 1.7786434020171491, 1e-14);
}

TEST(GradientNoise, ContinuousExceptAtNegativeLatticePlanes) {
  // A corner's weight falls to 0 at offset 1 and its dot product to 0 at
  // offset 0, so within a cell and across the planes x = 0, 1, 2, ... there
  // are no jumps.
  const IGradientNoise& noise = GetNoise();
  std::vector<CVector> points = SeededPoints(20000, 20.0, 2);
  for (double edge : {0.0, 1.0, 3.0}) {
    points.emplace_back(edge - 1e-9, 0.37, 0.61);
    points.emplace_back(0.37, edge - 1e-9, 0.61);
    points.emplace_back(0.37, 0.61, edge - 1e-9);
  }
  const double delta = 1e-7;
  for (const CVector& p : points) {
    const double n = noise.Noise(p);
    for (const CVector& step : {CVector(delta, 0, 0), CVector(0, delta, 0), CVector(0, 0, delta)}) {
      ASSERT_NEAR(noise.Noise(p + step), n, 2e-6) << p.x << " " << p.y << " " << p.z;
    }
  }

  // Truncation toward zero puts x in (-2, -1) in the cell of corners -1 and
  // 0, so the corner at -2 that just below the plane weighs almost 1 drops
  // out above it. Textures show these seams; they are kept, since every
  // stored scene renders with them.
  const double below = noise.Noise(CVector(-1.0 - 1e-9, 0.37, 0.61));
  const double above = noise.Noise(CVector(-1.0 + 1e-9, 0.37, 0.61));
  EXPECT_NEAR(above, 0.5, 1e-12);
  EXPECT_GT(below - above, 0.05);
}

TEST(GradientNoise, NonFiniteAndHugePointsGiveHalf) {
  const IGradientNoise& noise = GetNoise();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const CVector& p : {CVector(nan, 0.5, 0.5), CVector(0.5, inf, 0.5), CVector(1e300, -1e300, 3e9)})
    EXPECT_EQ(noise.Noise(p), 0.5) << p.x << " " << p.y << " " << p.z;
  EXPECT_EQ(noise.Turbulence(CVector(nan, nan, nan)), 0.9375);
}

// Noise = -x: negative, so the absolute value in Turbulence shows, and
// linear, so the sums are known in closed form.
class LinearNoise : public INoise {
 public:
  double Noise(const CVector& p) const override { return -p.x; }
};

TEST(NoiseBase, VectorAndTurbulenceFormsBuildOnNoise) {
  const INoise zero;
  EXPECT_EQ(zero.VectorTurbulence(CVector(0.3, 0.4, 0.5)), CVector(0, 0, 0));

  const LinearNoise noise;
  const CVector p(3.0, -2.0, 1.0);
  const CVector v = noise.VectorNoise(p);
  EXPECT_NEAR(v.x, -3.0 + 1000.2, 1e-12);
  EXPECT_EQ(v.y, -3.0);
  EXPECT_NEAR(v.z, -3.0 - 1000.2, 1e-12);
  // Octave s samples p / s at weight s, so each of the four |-x / s| * s
  // terms is |x|; sampling p * s instead would give 1.328125 |x|.
  EXPECT_NEAR(noise.Turbulence(p), 4 * 3.0, 1e-12);
  // Seven signed octaves: -7x in the middle, and 1000.2 times the sum of
  // the scales, 1 + 1/2 + ... + 1/64 = 1.984375, on either side.
  const CVector vt = noise.VectorTurbulence(p);
  EXPECT_NEAR(vt.y, -7 * 3.0, 1e-12);
  EXPECT_NEAR(vt.x, -7 * 3.0 + 1000.2 * 1.984375, 1e-9);
  EXPECT_NEAR(vt.z, -7 * 3.0 - 1000.2 * 1.984375, 1e-9);
}

// Under ctest each test runs in its own process, so these threads are the
// first to ask for the generator and race to build it. Whatever a thread drew
// before, the tables come out the same, and building or using them takes
// nothing from the thread's sequence.
TEST(ProcessNoise, OneTableForEveryThread) {
  const uint64_t expected = Fingerprint(BuildFromStart());
  std::vector<const IGradientNoise*> seen(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < seen.size(); ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = 0; i < t; ++i) DrawRandom();
      const uint32_t state = ThreadRandomSource().GetState();
      seen[t] = &GetNoise();
      EXPECT_EQ(Fingerprint(*seen[t]), expected);
      seen[t]->Turbulence(CVector(1.5, 2.5, 3.5));
      EXPECT_EQ(ThreadRandomSource().GetState(), state);
    });
  }
  for (std::thread& t : threads) t.join();
  for (const IGradientNoise* noise : seen) EXPECT_EQ(noise, &GetNoise());
}

// The only test that calls InitializeNoise: its first call in a process is
// the one that advances the caller.
TEST(ProcessNoise, InitializeLeavesTheCallerAsIfItHadBuiltTheTables) {
  RandomSource builder;
  const IGradientNoise reference(builder);

  // A fresh thread stands for the interface thread at start-up.
  std::thread([&] {
    InitializeNoise();
    EXPECT_EQ(ThreadRandomSource().GetState(), builder.GetState());
    EXPECT_EQ(Fingerprint(GetNoise()), Fingerprint(reference));
    EXPECT_EQ(DrawRandom(), RandomSource(builder).Draw());

    // The tables are built once, so a second call takes nothing more.
    const uint32_t state = ThreadRandomSource().GetState();
    InitializeNoise();
    EXPECT_EQ(ThreadRandomSource().GetState(), state);
  }).join();
}

// --- The random source the tables are drawn from ---

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
  std::vector<int> drawn;
  std::thread([&] {
    EXPECT_EQ(ThreadRandomSource().GetState(), 1u);
    for (int i = 0; i < 1000; ++i) drawn.push_back(DrawRandom());
  }).join();
  RandomSource reference;
  for (size_t i = 0; i < drawn.size(); ++i) ASSERT_EQ(drawn[i], reference.Draw()) << i;
  EXPECT_EQ(ThreadRandomSource().GetState(), mine);
}

}  // namespace
}  // namespace brevoxa
