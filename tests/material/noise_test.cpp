// Gradient noise and the pseudo-random source its tables are drawn from.
#include "material/noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "material/random_source.h"
#include "support/vector_near.h"

namespace brevoxa {
namespace {

// FNV-1a over both tables, permutation entries then gradient components.
uint64_t Fingerprint(const IGradientNoise& noise) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](auto value) {
    for (size_t i = 0; i < sizeof value; ++i) h = (h ^ reinterpret_cast<uint8_t*>(&value)[i]) * 1099511628211ull;
  };
  for (int i = 0; i < IGradientNoise::kTableSize; ++i) mix(int32_t{noise.GetPermutation(i)});
  for (int i = 0; i < IGradientNoise::kTableSize; ++i)
    for (double c : {noise.GetGradient(i).x, noise.GetGradient(i).y, noise.GetGradient(i).z}) mix(c);
  return h;
}

IGradientNoise BuildFromStart() {
  RandomSource source;
  return IGradientNoise(source);
}

std::vector<CVector> SeededPoints(size_t count, double range, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(-range, range);
  std::vector<CVector> points(count);
  for (CVector& p : points) p.Set(d(rng), d(rng), d(rng));
  return points;
}

// The fingerprint pins both tables whole, and so the first draws of the source.
TEST(GradientNoiseTables, SameOnEveryBuildWithKnownEntries) {
  const IGradientNoise first = BuildFromStart();
  EXPECT_EQ(Fingerprint(BuildFromStart()), Fingerprint(first));
  EXPECT_EQ(Fingerprint(GetNoise()), Fingerprint(first));
  EXPECT_EQ(Fingerprint(first), 0x59ddcac3531bf939ull);
  EXPECT_EQ(first.GetDrawCount(), 53252u);  // 2048 swaps, then three draws per candidate gradient
}

TEST(GradientNoise, ExactlyHalfOnTheLatticeAndAtNonFiniteOrHugePoints) {
  // Every octave samples the lattice, so the sums count the octaves: four, and seven.
  const IGradientNoise& noise = GetNoise();
  for (const CVector& p : {CVector(0, 0, 0), CVector(3, -5, 7), CVector(-1, -4, 1000), CVector(4, 4, -4),
                           CVector(1e6, -2047, 2048), CVector(-123456, 65535, 2147483647.0)}) {
    SCOPED_TRACE(p.z);
    EXPECT_EQ(noise.Noise(p), 0.5);
    EXPECT_EQ(noise.Turbulence(p), 0.9375);
    EXPECT_EQ(noise.VectorTurbulence(p).y, 0.9921875);
  }
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  for (const CVector& p : {CVector(nan, 0.5, 0.5), CVector(0.5, inf, 0.5), CVector(1e300, -1e300, 3e9)})
    EXPECT_EQ(noise.Noise(p), 0.5) << p.x;
  EXPECT_EQ(noise.Turbulence(CVector(nan, nan, nan)), 0.9375);
}

TEST(GradientNoise, BetweenHalfAndOneEverywhere) {
  const IGradientNoise& noise = GetNoise();
  double low = 1.0, high = 0.0;
  for (const CVector& p : SeededPoints(100000, 100.0, 1)) {
    const double n = noise.Noise(p);
    ASSERT_TRUE(n >= 0.5 && n <= 1.0) << p.x;
    low = std::min(low, n);
    high = std::max(high, n);
  }
  EXPECT_LT(low, 0.55);
  EXPECT_EQ(high, 1.0);  // sums above 0.5 are clamped, and they do occur
}

TEST(GradientNoise, KnownValues) {
  const IGradientNoise& noise = GetNoise();
  // Computed once from this implementation, pinned against change.
  EXPECT_NEAR(noise.Noise(CVector(0.5, 0, 0)), 0.68990000636014359, 1e-15);
  EXPECT_NEAR(noise.Noise(CVector(1.3, -2.7, 5.1)), 0.67101070723251111, 1e-15);
  EXPECT_NEAR(noise.Noise(CVector(-0.3, -0.6, -0.9)), 0.5082947098032593, 1e-15);
  EXPECT_NEAR(noise.Noise(CVector(123.456, 78.9, -0.01)), 0.8919212139499717, 1e-15);
  EXPECT_EQ(noise.Noise(CVector(0.25, 0.5, 0.75)), 1.0);
  EXPECT_NEAR(noise.Turbulence(CVector(1.3, -2.7, 5.1)), 1.3697071306389086, 1e-14);
  testing::ExpectNear(noise.VectorTurbulence(CVector(10.5, 20.25, 30.125)),
                     CVector(1.1851990607025917, 1.740035968759357, 1.7786434020171491), 1e-14);
}

TEST(GradientNoise, ContinuousExceptAtNegativeLatticePlanes) {
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
      ASSERT_NEAR(noise.Noise(p + step), n, 2e-6) << p.x;
    }
  }
  // Lattice cells truncate toward zero, so negative planes are seams; every
  // stored scene renders with them, so they stay.
  const double below = noise.Noise(CVector(-1.0 - 1e-9, 0.37, 0.61));
  const double above = noise.Noise(CVector(-1.0 + 1e-9, 0.37, 0.61));
  EXPECT_NEAR(above, 0.5, 1e-12);
  EXPECT_GT(below - above, 0.05);
}

// Negative, so Turbulence's absolute value shows; linear, so the sums are known.
class LinearNoise : public INoise {
 public:
  double Noise(const CVector& p) const override { return -p.x; }
};

TEST(NoiseBase, VectorAndTurbulenceFormsBuildOnNoise) {
  const INoise zero;
  EXPECT_EQ(zero.VectorTurbulence(CVector(0.3, 0.4, 0.5)), CVector(0, 0, 0));
  const LinearNoise noise;
  const CVector p(3.0, -2.0, 1.0);
  testing::ExpectNear(noise.VectorNoise(p), CVector(-3.0 + 1000.2, -3.0, -3.0 - 1000.2), 1e-12);
  // Octave s samples p / s at weight s: four terms of |x|.
  EXPECT_NEAR(noise.Turbulence(p), 4 * 3.0, 1e-12);
  // Seven signed octaves, offset by 1000.2 times 1 + 1/2 + ... + 1/64.
  testing::ExpectNear(noise.VectorTurbulence(p), CVector(-21 + 1000.2 * 1.984375, -21, -21 - 1000.2 * 1.984375), 1e-9);
}

// Under ctest these threads race to build the tables first; whatever each
// drew before, the tables are the same and take nothing from its sequence.
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
  for (std::thread& t : threads) t.join();  // nor does this thread's earlier use reach them
  for (const IGradientNoise* noise : seen) EXPECT_EQ(noise, &GetNoise());
}

// The only caller of InitializeNoise, whose first call advances the caller.
TEST(ProcessNoise, InitializeLeavesTheCallerAsIfItHadBuiltTheTables) {
  RandomSource builder;
  const IGradientNoise reference(builder);
  std::thread([&] {
    InitializeNoise();
    EXPECT_EQ(ThreadRandomSource().GetState(), builder.GetState());
    EXPECT_EQ(Fingerprint(GetNoise()), Fingerprint(reference));
    EXPECT_EQ(DrawRandom(), RandomSource(builder).Draw());
    const uint32_t state = ThreadRandomSource().GetState();
    InitializeNoise();
    EXPECT_EQ(ThreadRandomSource().GetState(), state);
  }).join();
}

TEST(RandomSource, AdvanceMatchesSingleDraws) {
  for (uint64_t n : {0ull, 1ull, 2ull, 3ull, 1000ull, 53252ull, 1234567ull}) {
    RandomSource stepped(7), jumped(7);
    for (uint64_t i = 0; i < n; ++i) stepped.Draw();
    jumped.Advance(n);
    EXPECT_EQ(jumped.GetState(), stepped.GetState()) << n;
  }
  // A full period of 2^32 returns to the start, half of one not.
  RandomSource source(12345);
  source.Advance(1ull << 32);
  EXPECT_EQ(source.GetState(), 12345u);
  source.Advance(1ull << 31);
  EXPECT_NE(source.GetState(), 12345u);
}

}  // namespace
}  // namespace brevoxa
