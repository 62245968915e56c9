// The pseudo-random source: a 32-bit linear congruential generator. Every
// thread has its own state, 1 when the thread starts and never reseeded, so
// the noise tables, the star field and array jitter come out the same on
// every run. RandomSource is the same generator as a value, for code that
// must save and restore a sequence of its own.
#pragma once

#include <cstdint>

namespace brevoxa {

class RandomSource {
 public:
  static constexpr uint32_t kStartState = 1;
  static constexpr uint32_t kMultiplier = 214013;
  static constexpr uint32_t kIncrement = 2531011;
  static constexpr int kMaxDraw = 0x7FFF;

  constexpr RandomSource() = default;
  constexpr explicit RandomSource(uint32_t state) : state_(state) {}

  // The next value, 0..32767. Unsigned arithmetic gives the wrap mod 2^32.
  constexpr int Draw() {
    state_ = state_ * kMultiplier + kIncrement;
    return static_cast<int>((state_ >> 16) & kMaxDraw);
  }

  // Moves the state as `draws` calls of Draw would, in logarithmic time.
  constexpr void Advance(uint64_t draws) {
    // Compose the affine step s -> a*s + c with itself by repeated squaring.
    uint32_t stepMul = kMultiplier, stepAdd = kIncrement;
    uint32_t totalMul = 1, totalAdd = 0;
    while (draws != 0) {
      if (draws & 1) {
        totalMul = totalMul * stepMul;
        totalAdd = totalAdd * stepMul + stepAdd;
      }
      stepAdd = stepAdd * (stepMul + 1);
      stepMul = stepMul * stepMul;
      draws >>= 1;
    }
    state_ = state_ * totalMul + totalAdd;
  }

  constexpr uint32_t GetState() const { return state_; }
  constexpr void SetState(uint32_t state) { state_ = state; }

  bool operator==(const RandomSource&) const = default;

 private:
  uint32_t state_ = kStartState;
};

// The calling thread's source.
RandomSource& ThreadRandomSource();

// One draw from the calling thread's source, 0..32767.
inline int DrawRandom() { return ThreadRandomSource().Draw(); }

}  // namespace brevoxa
