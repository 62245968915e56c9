// Colour map lookup, ramp drawing and inline persistence.
#include "material/color_map.h"

#include <algorithm>

#include "persist/archive.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ColorMapSegment, CObject, 0)
IMPLEMENT_SERIAL(ColorMap, CObject, 0)

namespace {

constexpr uint16_t kSegmentVersion = 1;
constexpr uint16_t kColorMapVersion = 1;

// The running sum is part of the behaviour (segment 10 is just below 0.5,
// segment 20 just above 1), so positions are accumulated, never multiplied.
constexpr std::array<double, ColorMap::kSegmentCount> kPositions = [] {
  std::array<double, ColorMap::kSegmentCount> positions{};
  double pos = 0.0;
  for (double& p : positions) {
    p = pos;
    pos += 0.05;
  }
  return positions;
}();

const ColorMapSegment kNoSegment;

// Truncation toward zero, then the low 8 bits. NaN and values beyond the
// 32-bit range give 0, as the processor's own conversion (INT32_MIN) would.
uint8_t LowByte(double c) {
  if (!(c > -2147483649.0 && c < 2147483648.0)) return 0;
  return static_cast<uint8_t>(static_cast<int32_t>(c) & 0xFF);
}

}  // namespace

void ColorMapSegment::Serialize(CArchive& ar) {
  uint16_t version = kSegmentVersion;
  CArchive::Group group(ar, "ColorMapSegment");
  ar.Transfer("version", version);
  if (version != kSegmentVersion) return;
  ar.Transfer("type", type);
  ar.Transfer("color", color);
}

double ColorMap::SegmentPosition(int i) {
  return (i >= 0 && i < kSegmentCount) ? kPositions[i] : 0.0;
}

CVector ColorMap::Lookup(double t) const {
  CVector prev;
  double prevPos = 0.0;
  bool found = false;
  for (int i = 0; i < kSegmentCount; ++i) {
    const double pos = kPositions[i];
    const ColorMapSegment& s = segments_[i];
    if (t <= pos) found = true;
    if (s.type == ColorMapSegment::empty) continue;
    if (found) {
      if (s.type == ColorMapSegment::linear && pos != 0.0) {
        const double f = (t - prevPos) / (pos - prevPos);
        return s.color * f + prev * (1.0 - f);
      }
      return s.color;
    }
    prev = s.color;
    prevPos = pos;
  }
  return {};
}

const ColorMapSegment& ColorMap::GetSegment(int i) const {
  return (i >= 0 && i < kSegmentCount) ? segments_[i] : kNoSegment;
}

void ColorMap::SetSegment(int i, uint16_t type, const CVector& color) {
  if (i < 0 || i >= kSegmentCount) return;
  segments_[i].type = type;
  segments_[i].color = color;
}

void ColorMap::Draw(RgbImage& image, int left, int top, int right, int bottom) const {
  if (right <= left) return;
  const int y0 = std::max(top, 0);
  const int y1 = std::min(bottom, image.height);
  const double step = 1.0 / (static_cast<double>(right) - static_cast<double>(left));
  double t = 0.0;
  // The running t advances for clipped columns too, so a partly visible
  // ramp shows the same colours where it is visible.
  for (int x = left; x < right; ++x, t += step) {
    if (x >= image.width || y0 >= y1) break;
    if (x < 0) continue;
    const CVector c = Lookup(t);
    const uint8_t rgb[3] = {LowByte(c.x), LowByte(c.y), LowByte(c.z)};
    for (int y = y0; y < y1; ++y) std::copy(rgb, rgb + 3, image.Pixel(x, y));
  }
}

void ColorMap::Serialize(CArchive& ar) {
  uint16_t version = kColorMapVersion;
  CArchive::Group group(ar, "ColorMap");
  ar.Transfer("version", version);
  if (version != kColorMapVersion) return;
  for (ColorMapSegment& s : segments_) s.Serialize(ar);
}

}  // namespace brevoxa
