// IDrawSurface: what scene elements draw on. The editor paints it into a
// view's back buffer; tests record what was drawn.
#pragma once

#include <cstdint>
#include <string>

namespace brevoxa {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct Pen {
  enum Style : uint8_t { solid = 1, dashed = 2, none = 3 };
  Style style = solid;
  Rgb colour;
  int width = 1;
  bool operator==(const Pen&) const = default;
};

struct Brush {
  enum Style : uint8_t { solid = 1, hollow = 2 };
  Style style = solid;
  Rgb colour;
  bool operator==(const Brush&) const = default;
};

enum class RasterOp : uint8_t {
  copy = 1,    // pixels take the pen or brush colour
  invert = 2,  // pixels are inverted, so drawing a figure twice removes it
};

// Everything a drawing mode selects; SelectDrawMode returns the previous
// state so that the caller can restore it.
struct DrawState {
  Pen pen;
  Brush brush;
  RasterOp rasterOp = RasterOp::copy;
  Rgb background{255, 255, 255};  // fills the gaps of a dashed pen
  bool operator==(const DrawState&) const = default;
};

class IDrawSurface {
 public:
  virtual ~IDrawSurface() = default;

  virtual DrawState GetState() const = 0;
  virtual void SetState(const DrawState& state) = 0;

  // A line with the pen from (x1, y1) to (x2, y2), both ends included.
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  // The rectangle from (left, top) up to but not including (right, bottom):
  // outlined with the pen and filled with the brush (not filled when hollow).
  virtual void Rectangle(int left, int top, int right, int bottom) = 0;
  // Text centred horizontally on x, with y on the text's base line.
  virtual void Text(int x, int y, const std::string& text) = 0;
};

}  // namespace brevoxa
