// The reduction of a supersampled picture, one row of samples at a time:
// each pixel is the weighted sum of its f x f samples divided by the sum of
// the weights, truncated.
//   f = 2: 1 1 / 1 1, divisor 4
//   f = 3: 1 2 1 / 2 4 2 / 1 2 1, divisor 16
//   f = 5: rows and columns weighted 1 2 3 2 1, divisor 81
// It holds three rows of w accumulators and one row of pixels, whatever the
// picture's height.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brevoxa {

class RowReducer {
 public:
  // sampleWidth samples a row, factor 2, 3 or 5.
  RowReducer(int32_t sampleWidth, int factor);

  // Adds the next row of samples; true when it completes a row of pixels,
  // which Pixels() then holds until the next call.
  bool AddSampleRow(const uint8_t* samples);
  const uint8_t* Pixels() const { return pixels_.data(); }

 private:
  int factor_;
  int taps_[5] = {};
  int divisor_ = 1;
  // The sample row of the pixel row being summed, 0 … f - 1.
  int row_ = 0;
  std::vector<uint16_t> red_, green_, blue_;
  std::vector<uint8_t> pixels_;
};

}  // namespace brevoxa
