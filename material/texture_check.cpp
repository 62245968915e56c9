// The checkerboard: its record and its cells.
#include "material/texture_check.h"

#include <cmath>

#include "persist/archive.h"
#include "scene/axis.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ICheckTexture, ITexture, 0)

namespace {

// Parity of a truncated cell index kept as a double: cell numbers far
// outside the integer range (a plane mapping far from the origin) have no
// conversion to int, and fmod is exact.
bool IsOdd(double index) { return std::fmod(index, 2.0) != 0.0; }

}  // namespace

void ICheckTexture::Serialize(CArchive& ar) {
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  ar.Transfer("mapping", values_.mapping);
  ar.Transfer("verticalRepetitions", values_.verticalRepetitions);
  ar.Transfer("horizontalRepetitions", values_.horizontalRepetitions);
  TransferFlag(ar, "color", values_.color);
  TransferFlag(ar, "filter", values_.filter);
  TransferFlag(ar, "reflect", values_.reflect);
  ar.Transfer("twist", values_.twist);
  ar.Transfer("firstColor", values_.firstColor);
  ar.Transfer("secondColor", values_.secondColor);
}

void ICheckTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  CVector p = frame.WorldToLocal(s.point);
  const double r = std::sqrt(p.x * p.x + p.y * p.y);
  const double a = values_.twist * 0.017453292519944444 * r + AngleAroundZ(p.x, p.y);
  p.x = std::cos(a) * r;
  p.y = std::sin(a) * r;
  double u, v;
  if (!MapToUV(values_.mapping, p, u, v)) return;
  const double i = std::trunc(values_.horizontalRepetitions * u);
  const double j = std::trunc(values_.verticalRepetitions * v);
  const CVector& c = IsOdd(i) != IsOdd(j) ? values_.firstColor : values_.secondColor;
  s.color = c;
  s.filter = c;
  s.reflect = c;
}

}  // namespace brevoxa
