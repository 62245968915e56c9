// The solid colour textures: records and colour functions.
#include "material/texture_solid.h"

#include <cmath>

#include "material/noise.h"
#include "persist/archive.h"
#include "scene/axis.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IWoodTexture, ITexture, 0)
IMPLEMENT_SERIAL(IGraniteTexture, ITexture, 0)
IMPLEMENT_DYNAMIC(IColorMapTexture, ITexture)
IMPLEMENT_SERIAL(IMarbleTexture, IColorMapTexture, 0)
IMPLEMENT_SERIAL(ICloudsTexture, IColorMapTexture, 0)
IMPLEMENT_SERIAL(IWoodRangeTexture, IColorMapTexture, 0)
IMPLEMENT_SERIAL(IColorRangeTexture, ITexture, 0)

namespace {
constexpr double kTwoPi = 6.28318530718;

// A fraction in [0, 1) folded to run up to 0.5 and back.
double Fold(double f) { return f > 0.5 ? 1.0 - f : f; }
}  // namespace

// --- Wood ---

void IWoodTexture::Serialize(CArchive& ar) {
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  ar.Transfer("radialWaves", values_.radialWaves);
  ar.Transfer("lengthPerTwist", values_.lengthPerTwist);
  ar.Transfer("percentBase", values_.percentBase);
  ar.Transfer("radialRingSize", values_.radialRingSize);
  ar.Transfer("baseColor", values_.baseColor);
  ar.Transfer("grainColor", values_.grainColor);
}

void IWoodTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  const CVector p = frame.WorldToLocal(s.point);
  const double r = std::sqrt(p.x * p.x + p.y * p.y);
  const double theta = AngleAroundZ(p.x, p.y);
  const double wave = std::sin(p.z / values_.lengthPerTwist + values_.radialWaves * theta);
  const double f = Frac((2.0 * wave + r) / values_.radialRingSize);
  s.color = f < values_.percentBase ? values_.baseColor : values_.grainColor;
}

// --- Granite ---

void IGraniteTexture::Serialize(CArchive& ar) {
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  ar.Transfer("color", values_.color);
}

void IGraniteTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  const CVector p = frame.WorldToLocal(s.point);
  const IGradientNoise& noise = GetNoise();
  double sum = 0.0;
  double scale = 1.0;
  for (int octave = 0; octave < 6; ++octave) {
    sum += std::fabs(0.5 - noise.Noise(p * 4.0 * scale)) / scale;
    scale *= 2.0;
  }
  s.color = values_.color * sum;
}

// --- Marble, Clouds, Wood - Range ---

void IColorMapTexture::Serialize(CArchive& ar) {
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  ar.Transfer("turbulence", values_.turbulence);
  values_.colorMap.Serialize(ar);
}

void IMarbleTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  const CVector p = frame.WorldToLocal(s.point);
  const double t = GetNoise().Turbulence(p) * values_.turbulence + p.x;
  s.color = values_.colorMap.Lookup(2.0 * Fold(Wrap01(t)));
}

void ICloudsTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  CVector p = frame.WorldToLocal(s.point);
  const IGradientNoise& noise = GetNoise();
  if (values_.turbulence != 0.0) p += noise.VectorTurbulence(p) * values_.turbulence;
  s.color = values_.colorMap.Lookup(noise.Noise(p));
}

void IWoodRangeTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  CVector p = frame.WorldToLocal(s.point);
  const CVector n = GetNoise().VectorTurbulence(p);
  const double a = Wrap01(n.y + p.y);
  const double c = Wrap01(n.x + p.x);
  p += CVector(std::sin(c * kTwoPi), std::sin(a * kTwoPi), 0.0) * values_.turbulence;
  s.color = values_.colorMap.Lookup(2.0 * Fold(Wrap01(p.Length())));
}

// --- Color Range ---

void IColorRangeTexture::Serialize(CArchive& ar) {
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  ar.Transfer("turbulence", values_.turbulence);
  ar.Transfer("type", values_.type);
  values_.colorMap.Serialize(ar);
}

void IColorRangeTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  const CVector p = frame.WorldToLocal(s.point);
  double tb = 0.0;
  if (values_.turbulence != 0.0) tb = GetNoise().Turbulence(p * 10.0) * values_.turbulence;
  double t;
  switch (values_.type) {
    case kXYPlanes:
      t = tb + p.z;
      break;
    case kCylindersAroundZ:
      t = std::sqrt(p.x * p.x + p.y * p.y) + tb;
      break;
    case kSpheresAtOrigin:
      t = std::sqrt(p.z * p.z + p.x * p.x + p.y * p.y) + tb;
      break;
    case kRadialPlanesAroundZ:
      t = (std::atan2(p.x, p.y) + 3.14159265359) * 0.15915494309188485 + tb;
      break;
    default:
      return;
  }
  s.color = values_.colorMap.Lookup(Wrap01(t));
}

}  // namespace brevoxa
