#include "render/row_reducer.h"

#include <algorithm>
#include <stdexcept>

namespace brevoxa {

// The accumulators are 16-bit, as the largest sum allows.
static_assert(255 * 81 <= UINT16_MAX);

RowReducer::RowReducer(int32_t sampleWidth, int factor) : factor_(factor) {
  // Per-axis weights; the kernel is their outer product, and its sum (the
  // divisor) the square of theirs.
  switch (factor) {
    case 2: taps_[0] = taps_[1] = 1; divisor_ = 4; break;
    case 3: taps_[0] = 1; taps_[1] = 2; taps_[2] = 1; divisor_ = 16; break;
    case 5: taps_[0] = 1; taps_[1] = 2; taps_[2] = 3; taps_[3] = 2; taps_[4] = 1; divisor_ = 81; break;
    default: throw std::invalid_argument("no reduction for this supersampling factor");
  }
  const auto w = static_cast<size_t>(sampleWidth / factor);
  red_.assign(w, 0);
  green_.assign(w, 0);
  blue_.assign(w, 0);
  pixels_.assign(w * 3, 0);
}

bool RowReducer::AddSampleRow(const uint8_t* samples) {
  if (row_ == 0) {
    std::fill(red_.begin(), red_.end(), 0);
    std::fill(green_.begin(), green_.end(), 0);
    std::fill(blue_.begin(), blue_.end(), 0);
  }
  const uint8_t* s = samples;
  const int j = row_;
  for (size_t x = 0; x < red_.size(); ++x) {
    for (int i = 0; i < factor_; ++i, s += 3) {
      const int weight = taps_[i] * taps_[j];
      red_[x] = static_cast<uint16_t>(red_[x] + s[0] * weight);
      green_[x] = static_cast<uint16_t>(green_[x] + s[1] * weight);
      blue_[x] = static_cast<uint16_t>(blue_[x] + s[2] * weight);
    }
  }
  if (++row_ < factor_) return false;
  row_ = 0;
  for (size_t x = 0; x < red_.size(); ++x) {
    pixels_[3 * x] = static_cast<uint8_t>(red_[x] / divisor_);
    pixels_[3 * x + 1] = static_cast<uint8_t>(green_[x] / divisor_);
    pixels_[3 * x + 2] = static_cast<uint8_t>(blue_[x] / divisor_);
  }
  return true;
}

}  // namespace brevoxa
