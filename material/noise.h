// The process-wide three-dimensional gradient noise behind the procedural
// textures, with its vector form and turbulence sums. The tables are built
// once from the pseudo-random sequence and only read afterwards, so any
// thread may evaluate it and every run gives the same noise.
#pragma once

#include <array>
#include <cstdint>

#include "material/random_source.h"
#include "math/vector.h"

namespace brevoxa {

// A noise function. The base gives 0 noise; the vector and turbulence forms
// are built here on whatever Noise a derived class gives.
class INoise {
 public:
  virtual ~INoise() = default;

  // A value in 0..1 at a point in texture coordinates.
  virtual double Noise(const CVector& p) const;
  // Three noise values, taken at p - (1000.2, 1000.5, 1000.8), p and p + that.
  virtual CVector VectorNoise(const CVector& p) const;
  // Four octaves of |Noise|, scales 1 down to 0.125.
  virtual double Turbulence(const CVector& p) const;
  // Seven octaves of VectorNoise, scales 1 down to 0.015625.
  virtual CVector VectorTurbulence(const CVector& p) const;
};

class IGradientNoise final : public INoise {
 public:
  static constexpr int kTableSize = 2048;

  // Builds the tables from the next draws of `source`.
  explicit IGradientNoise(RandomSource& source);

  double Noise(const CVector& p) const override;

  int32_t GetPermutation(int i) const { return permutation_[i & kIndexMask]; }
  const CVector& GetGradient(int i) const { return gradient_[i & kIndexMask]; }
  // How many draws building the tables took.
  uint32_t GetDrawCount() const { return drawCount_; }

 private:
  static constexpr uint32_t kIndexMask = kTableSize - 1;

  std::array<int32_t, kTableSize> permutation_;
  std::array<CVector, kTableSize> gradient_;
  uint32_t drawCount_ = 0;
};

// Builds the process-wide generator, if it is not built yet, from its own
// sequence starting at state 1. The first call in the process also advances
// the calling thread's source by the draws the tables took, so that the
// programs, calling it first thing on the interface thread, see that thread's
// later draws continue the sequence as if it had built the tables itself.
void InitializeNoise();

// The process-wide generator; built on first use, safely from any thread,
// when InitializeNoise was not called. Building it never draws from the
// calling thread's source.
const IGradientNoise& GetNoise();

}  // namespace brevoxa
