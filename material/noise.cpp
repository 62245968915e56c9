// Gradient noise: table construction, evaluation, the base class's vector
// and turbulence forms, and the process-wide instance.
#include "material/noise.h"

#include <climits>
#include <cmath>
#include <mutex>
#include <utility>

namespace brevoxa {

namespace {

const CVector kVectorNoiseOffset(1000.2, 1000.5, 1000.8);

// A gradient component from one draw. Bit 14 is copied into bit 15 and the
// value stays non-negative, so components are 0..0.5 or 1.5..2.0: gradients
// all point into the positive octant and Noise never falls below 0.5.
double GradientComponent(int draw) {
  uint32_t bits = static_cast<uint32_t>(draw);
  if (bits & 0x4000) bits |= 0x8000;
  return static_cast<double>(bits) * 3.051850947599719e-05;
}

// Truncation toward zero. NaN and values outside the 32-bit range give
// INT32_MIN, as the processor's own conversion does, rather than undefined
// behaviour; such points are far from every lattice corner anyway.
uint32_t LatticeCoordinate(double v) {
  const int32_t t = (v > -2147483649.0 && v < 2147483648.0) ? static_cast<int32_t>(v) : INT32_MIN;
  return static_cast<uint32_t>(t);
}

// |h| & 0x7FF for a two's-complement value held unsigned; lattice sums wrap
// instead of overflowing, and |INT32_MIN| masks to 0 as it does in hardware.
uint32_t TableIndex(uint32_t h) {
  const uint32_t magnitude = (h & 0x80000000u) ? 0u - h : h;
  return magnitude & 0x7FF;
}

// Left to right, ((2t - 3) * t) * t + 1: the order decides the last bit.
double Weight(double t) { return t < 1.0 ? (2.0 * t - 3.0) * t * t + 1.0 : 0.0; }

// Absolute offsets from the two lattice planes of one axis and their weights.
struct AxisCorners {
  uint32_t lattice[2];
  double offset[2];
  double weight[2];

  explicit AxisCorners(double v) {
    lattice[0] = LatticeCoordinate(v);
    lattice[1] = lattice[0] + 1u;
    for (int n = 0; n < 2; ++n) {
      offset[n] = std::fabs(v - static_cast<double>(static_cast<int32_t>(lattice[n])));
      weight[n] = Weight(offset[n]);
    }
  }
};

}  // namespace

// INoise

double INoise::Noise(const CVector&) const { return 0.0; }

CVector INoise::VectorNoise(const CVector& p) const {
  return {Noise(p - kVectorNoiseOffset), Noise(p), Noise(p + kVectorNoiseOffset)};
}

double INoise::Turbulence(const CVector& p) const {
  double sum = 0.0;
  double s = 1.0;
  do {
    sum += std::fabs(Noise(p / s)) * s;
    s *= 0.5;
  } while (s > 0.1);
  return sum;
}

CVector INoise::VectorTurbulence(const CVector& p) const {
  CVector sum;
  double s = 1.0;
  do {
    sum += VectorNoise(p / s) * s;
    s *= 0.5;
  } while (s >= 0.01);
  return sum;
}

// IGradientNoise

IGradientNoise::IGradientNoise(RandomSource& source) {
  auto draw = [&] {
    ++drawCount_;
    return source.Draw();
  };
  for (int i = 0; i < kTableSize; ++i) permutation_[i] = i;
  for (int i = 0; i < kTableSize; ++i) {
    std::swap(permutation_[i], permutation_[draw() & kIndexMask]);
  }
  for (CVector& g : gradient_) {
    // Only about one candidate in eight is short enough; the loop is entered
    // at least once because (1, 1, 1) is too long.
    g.Set(1.0, 1.0, 1.0);
    while (g.Length() > 1.0) {
      g.x = GradientComponent(draw());
      g.y = GradientComponent(draw());
      g.z = GradientComponent(draw());
    }
    g.Normalize();
  }
}

double IGradientNoise::Noise(const CVector& p) const {
  const AxisCorners cx(p.x), cy(p.y), cz(p.z);

  // The first two hash steps depend only on j and k.
  uint32_t hashJK[2][2];
  for (int c = 0; c < 2; ++c) {
    const uint32_t hk = static_cast<uint32_t>(permutation_[TableIndex(cz.lattice[c])]);
    for (int b = 0; b < 2; ++b) {
      hashJK[b][c] = static_cast<uint32_t>(permutation_[TableIndex(hk + cy.lattice[b])]);
    }
  }

  // Corners in the order i, j, k. A corner of weight 0 adds exactly +0 for
  // finite points, so skipping it changes no result; it also keeps NaN and
  // infinite points at 0.5 instead of 0 · infinity.
  double sum = 0.0;
  for (int a = 0; a < 2; ++a) {
    for (int b = 0; b < 2; ++b) {
      for (int c = 0; c < 2; ++c) {
        const double weight = cx.weight[a] * cy.weight[b] * cz.weight[c];
        if (weight == 0.0) continue;
        const CVector& g = gradient_[permutation_[TableIndex(hashJK[b][c] + cx.lattice[a])]];
        sum += weight * (g.x * cx.offset[a] + g.y * cy.offset[b] + g.z * cz.offset[c]);
      }
    }
  }
  const double n = sum + 0.5;
  if (n < 0.0) return 0.0;
  if (n > 1.0) return 1.0;
  return n;
}

// The process-wide generator

namespace {
std::once_flag advanceOnce;
}  // namespace

const IGradientNoise& GetNoise() {
  // Its own sequence from state 1: the same tables whichever thread builds
  // them and whatever it drew before.
  static const IGradientNoise noise = [] {
    RandomSource source;
    return IGradientNoise(source);
  }();
  return noise;
}

void InitializeNoise() {
  const IGradientNoise& noise = GetNoise();
  std::call_once(advanceOnce, [&] { ThreadRandomSource().Advance(noise.GetDrawCount()); });
}

}  // namespace brevoxa
