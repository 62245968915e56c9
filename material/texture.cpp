// The texture base, the surface mappings and the tangent frame.
#include "material/texture.h"

#include <cmath>

#include "persist/archive.h"
#include "scene/axis.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ITexture, CObject, 0)

namespace {
// The rounded constants of the stored formulas; results are compared
// exactly against the reference renders, so they are not replaced by the
// exact values of 1/pi and 2/pi.
constexpr double kInvPi = 0.3183098861837697;
constexpr double kTwoOverPi = 0.6366197723675394;
}  // namespace

bool MapToUV(uint16_t mapping, const CVector& p, double& u, double& v) {
  switch (mapping) {
    case kMapSphere: {
      u = (std::atan2(p.y, p.x) * kInvPi + 1.0) * 0.5;
      const double r = p.Length();
      const double phi = r == 0.0 ? 0.0 : std::asin(p.z / r);
      v = (phi * -kTwoOverPi + 1.0) * 0.5;
      return true;
    }
    case kMapCylinder:
      u = (std::atan2(p.y, p.x) * kInvPi + 1.0) * 0.5;
      v = (1.0 - p.z) * 0.5;
      return true;
    case kMapPlane:
      u = (p.y + 1.0) * 0.5;
      v = (p.x + 1.0) * 0.5;
      return true;
    default:
      return false;
  }
}

SurfaceFrame BuildSurfaceFrame(const IAxis& frame, const CVector& normal) {
  const CVector origin = frame.LocalToWorld(CVector(0, 0, 0));
  CVector w = frame.LocalToWorld(CVector(0, 0, 1)) - origin;
  w.Normalize();
  SurfaceFrame f;
  f.t = w.Cross(normal);
  if (f.t.Length() < 1e-9) f.t = frame.LocalToWorld(CVector(0, 1, 0)) - origin;
  f.t.Normalize();
  f.b = f.t.Cross(normal);
  f.b.Normalize();
  return f;
}

double AngleAroundZ(double x, double y) {
  if (y == 0.0) return 1.570796326795;
  return std::atan2(x, y) + 3.14159265359;
}

double Frac(double a) { return a - std::trunc(a); }

double Wrap01(double a) {
  double f = std::fmod(a, 1.0);
  if (f < 0.0) f += 1.0;
  return f;
}

void TransferFlag(CArchive& ar, std::string_view name, bool& flag) {
  uint8_t byte = flag ? 1 : 0;
  ar.Transfer(name, byte);
  flag = byte != 0;
}

bool IsFinite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

std::string ITexture::GetName() const { return {}; }
bool ITexture::EditProperties(ITextureEditor&) { return false; }
void ITexture::Prepare() {}
void ITexture::Release() {}
bool ITexture::AffectsColor() const { return false; }
bool ITexture::AffectsFilter() const { return false; }
bool ITexture::AffectsReflect() const { return false; }
bool ITexture::AffectsNormal() const { return false; }
void ITexture::Apply(const IAxis&, SurfacePoint&) const {}

}  // namespace brevoxa
