// The arithmetic of a render's progress display: the phases a render
// announces, combined into one fraction of the whole, and the texts the
// progress bar shows. The editor's progress window and the command-line
// bar share it, so both show the same numbers.
#pragma once

#include <cstdint>
#include <string>

namespace brevoxa {

// Each phase carries its weight in thousandths of the whole render and
// reports positions 0 ... 1000 within itself. Written by whoever shows the
// progress (the interface thread), never by the render thread.
struct RenderProgress {
  double phaseWeight = 0.0;
  double phasePosition = 0.0;
  double phaseBase = 0.0;
  int64_t progressStart = 0;  // seconds since 1970

  // The render registered: everything back to 0, the clock starts now.
  void Begin(int64_t now);
  // A new phase of the given weight (thousandths); the finished phase's
  // weight moves into the base.
  void Phase(int weight);
  void Position(int position);
  // Of the whole render, 0 ... 1.
  double Fraction() const { return phasePosition * phaseWeight + phaseBase; }
};

double SecondsToMinutes(int64_t seconds);

// "50.0%".
std::string ProgressPercentText(double fraction);
// Minutes since the start, "1.00m".
std::string ProgressElapsedText(int64_t elapsedSeconds);
// The estimated minutes left, "1.00m"; empty while the fraction is 0,
// when nothing can be estimated yet.
std::string ProgressRemainingText(double fraction, int64_t elapsedSeconds);

}  // namespace brevoxa
