// CVector's geometric, colour and persistence operations, and Round.
#include "math/vector.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "persist/archive.h"

namespace brevoxa {

CVector CVector::Cross(const CVector& b) const {
  return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x};
}

double CVector::Length() const { return std::sqrt(x * x + y * y + z * z); }

double CVector::CosAngle(const CVector& b) const {
  const double lengths = Length() * b.Length();
  if (lengths == 0.0) return 0.0;
  return Dot(b) / lengths;
}

void CVector::Normalize() {
  const double length = Length();
  if (length == 0.0) return;
  x /= length;
  y /= length;
  z /= length;
}

bool CVector::IsNear(const CVector& b, double tolerance) const {
  return std::fabs(x - b.x) < tolerance && std::fabs(y - b.y) < tolerance &&
         std::fabs(z - b.z) < tolerance;
}

namespace {
double ClampComponent(double c) {
  if (c <= 0.0) return 0.0;
  if (c >= 255.0) return 255.0;
  return c;
}
}  // namespace

void CVector::Clamp() {
  x = ClampComponent(x);
  y = ClampComponent(y);
  z = ClampComponent(z);
}

CVector CVector::Clamped() const {
  CVector c = *this;
  c.Clamp();
  return c;
}

// The published transform multiplies by this rounded decimal; dividing by
// 255 differs in the last bit, and reference renders are compared exactly.
static constexpr double kInv255 = 0.00392156862745098;

CVector CVector::RGBToHSL() const {
  const double r = x * kInv255;
  const double g = y * kInv255;
  const double b = z * kInv255;
  const double v = std::fmax(std::fmax(r, g), b);
  const double m = std::fmin(std::fmin(r, g), b);
  const double l = (m + v) / 2.0;
  if (l <= 0.0) return {0.0, 0.0, 0.0};

  const double vm = v - m;
  if (vm <= 0.0) return {0.0, 0.0, v * 255.0};
  const double s = l < 0.5 ? vm / (v + m) : vm / (2.0 - v - m);

  const double r2 = (v - r) / vm;
  const double g2 = (v - g) / vm;
  const double b2 = (v - b) / vm;
  double h;
  // Pure red lands on h = 6, i.e. hue 255 rather than 0; HSLToRGB maps 255
  // back to 0, so the round trip holds.
  if (r == v) {
    h = g == m ? 5.0 + b2 : 1.0 - g2;
  } else if (g == v) {
    h = b == m ? 1.0 + r2 : 3.0 - b2;
  } else {
    h = r == m ? 3.0 + g2 : 5.0 - r2;
  }
  return {h / 6.0 * 255.0, s * 255.0, l * 255.0};
}

CVector CVector::HSLToRGB() const {
  const double h = x == 255.0 ? 0.0 : x / 255.0;
  const double s = y / 255.0;
  const double l = z / 255.0;
  const double v = l <= 0.5 ? l * (1.0 + s) : l + s - l * s;
  if (v <= 0.0) return {0.0, 0.0, 0.0};

  const double m = 2.0 * l - v;
  double h6 = h * 6.0;
  int sextant = static_cast<int>(h6);
  // Hues outside 0..255 never come from RGBToHSL; wrapping them keeps the
  // sextant defined instead of leaving the colour unset.
  if (sextant < 0 || sextant > 5) {
    h6 -= 6.0 * std::floor(h6 / 6.0);
    sextant = std::min(static_cast<int>(h6), 5);
  }
  const double fract = h6 - sextant;
  // Kept as v * ((v - m) / v) rather than v - m, as the published transform
  // has it: the two round differently in the last bit.
  const double vsf = v * ((v - m) / v) * fract;
  const double mid1 = m + vsf;
  const double mid2 = v - vsf;

  double r = 0.0, g = 0.0, b = 0.0;
  switch (sextant) {
    case 0: r = v; g = mid1; b = m; break;
    case 1: r = mid2; g = v; b = m; break;
    case 2: r = m; g = v; b = mid1; break;
    case 3: r = m; g = mid2; b = v; break;
    case 4: r = mid1; g = m; b = v; break;
    default: r = v; g = m; b = mid2; break;
  }
  return {r * 255.0, g * 255.0, b * 255.0};
}

void CVector::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << x << y << z;
  } else {
    ar >> x >> y >> z;
  }
}

std::string TraceText(const CVector& v) {
  std::string text = "(";
  text += TraceText(v.x);
  text += ", ";
  text += TraceText(v.y);
  text += ", ";
  text += TraceText(v.z);
  text += ")";
  return text;
}

int32_t Round(double d) {
  // Converting a double outside the int32 range is undefined behaviour, and
  // a projected point far outside a view can get there: saturate instead.
  if (std::isnan(d)) return 0;
  if (d >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (d <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  const double t = std::trunc(d);
  const double f = d - t;
  auto result = static_cast<int32_t>(t);
  if (f < -0.5) --result;
  else if (f > 0.5) ++result;
  return result;
}

}  // namespace brevoxa
