// Colour maps: 21 segments at fixed positions that turn a number between 0
// and 1 into a colour, for the textures that compute such a number from
// noise or geometry. Also the ramp picture of a map, drawn into a plain RGB
// buffer that the editor copies to the screen.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "math/vector.h"
#include "persist/object.h"

namespace brevoxa {

// Pixels as rows from top to bottom, three bytes (red, green, blue) per
// pixel, no padding between rows.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;

  RgbImage() = default;
  RgbImage(int w, int h, uint8_t fill = 0)
      : width(w), height(h), bytes(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, fill) {}

  uint8_t* Pixel(int x, int y) { return &bytes[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* Pixel(int x, int y) const { return &bytes[(static_cast<size_t>(y) * width + x) * 3]; }
};

class ColorMapSegment : public CObject {
  DECLARE_SERIAL(ColorMapSegment)
 public:
  // Stored codes.
  enum Type : uint16_t { solid = 0, linear = 1, empty = 2 };

  uint16_t type = empty;
  CVector color;

  ColorMapSegment() = default;
  ColorMapSegment(uint16_t type_, const CVector& color_) : type(type_), color(color_) {}

  bool operator==(const ColorMapSegment& b) const { return type == b.type && color == b.color; }

  // Inline: WORD version, WORD type, the colour.
  void Serialize(CArchive& ar) override;
};

class ColorMap : public CObject {
  DECLARE_SERIAL(ColorMap)
 public:
  static constexpr int kSegmentCount = 21;

  // Where segment i stands: 0.05 added i times to 0.0, so the last one is
  // 1.0000000000000002 rather than 1.
  static double SegmentPosition(int i);

  // The colour at t. A segment that is not empty takes every t from the
  // previous non-empty segment (exclusive) up to its own position: solid in
  // its own colour, linear blended from the previous non-empty colour (black
  // at 0.0 when there is none). Anything past the last non-empty segment is
  // black. A type code other than linear or empty counts as solid.
  CVector Lookup(double t) const;

  // Out-of-range indices give an empty black segment and are not set.
  const ColorMapSegment& GetSegment(int i) const;
  CVector GetSegmentColor(int i) const { return GetSegment(i).color; }
  void SetSegment(int i, uint16_t type, const CVector& color);

  bool operator==(const ColorMap& b) const { return segments_ == b.segments_; }

  // Paints the map as a horizontal ramp over the columns left..right-1 and
  // rows top..bottom-1: column n shows Lookup(n / (right - left)), each
  // component truncated and reduced to its low 8 bits. Pixels outside the
  // image are skipped.
  void Draw(RgbImage& image, int left, int top, int right, int bottom) const;

  // Inline: WORD version, then the 21 segments. Owners call this directly,
  // not through a named transfer; it marks itself as a group in traces.
  void Serialize(CArchive& ar) override;

 private:
  std::array<ColorMapSegment, kSegmentCount> segments_;
};

}  // namespace brevoxa
