// Progress fractions and texts.
#include "render/render_progress.h"

#include <cmath>
#include <cstdio>

namespace brevoxa {

void RenderProgress::Begin(int64_t now) {
  phaseWeight = 0.0;
  phasePosition = 0.0;
  phaseBase = 0.0;
  progressStart = now;
}

void RenderProgress::Phase(int weight) {
  phaseBase = phaseBase + phaseWeight;
  phaseWeight = weight * 0.001;
  phasePosition = 0.0;
}

void RenderProgress::Position(int position) { phasePosition = position * 0.001; }

// Written as a product rather than a division by 60, so that the minutes
// shown are the same to the last digit wherever they are computed.
double SecondsToMinutes(int64_t seconds) { return static_cast<double>(seconds) * 0.016666666666666666; }

namespace {

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

std::string ProgressPercentText(double fraction) { return Format("%.1f%%", fraction * 100.0); }

std::string ProgressElapsedText(int64_t elapsedSeconds) { return Format("%.2fm", SecondsToMinutes(elapsedSeconds)); }

std::string ProgressRemainingText(double fraction, int64_t elapsedSeconds) {
  if (fraction == 0.0) return {};
  const double seconds = std::trunc((1.0 / fraction - 1.0) * static_cast<double>(elapsedSeconds));
  // A fraction barely above 0 can promise more seconds than 64 bits hold.
  if (!(std::fabs(seconds) < 9.0e18)) return {};
  return Format("%.2fm", SecondsToMinutes(static_cast<int64_t>(seconds)));
}

}  // namespace brevoxa
