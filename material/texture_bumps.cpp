// The bump textures: their records, constants and normal tilts.
#include "material/texture_bumps.h"

#include <cmath>

#include "material/noise.h"
#include "persist/archive.h"
#include "scene/axis.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IRollingBumpsTexture, ITexture, 0)
IMPLEMENT_SERIAL(IRadialWaveTexture, ITexture, 0)
IMPLEMENT_SERIAL(IRoughnessTexture, ITexture, 0)

namespace {
constexpr double kTwoPi = 6.28318530718;

// Sphere and cylinder u runs once round the axis; doubling it gives the
// waves the same spacing round as along.
bool WrapsAround(uint16_t mapping) { return mapping == kMapSphere || mapping == kMapCylinder; }

// Every kind writes the version first and reads on only when it knows it.
bool TransferVersion(CArchive& ar) {
  uint16_t version = ITexture::kVersion;
  ar.Transfer("version", version);
  return version == ITexture::kVersion;
}

// A tilt computed from a zero wave length or an extreme height is not a
// direction; the surface then stays as it was rather than going black.
void SetTiltedNormal(SurfacePoint& s, CVector n) {
  n.Normalize();
  if (IsFinite(n)) s.shadingNormal = n;
}
}  // namespace

// --- Rolling Bumps ---

void IRollingBumpsTexture::Serialize(CArchive& ar) {
  if (!TransferVersion(ar)) return;
  ar.Transfer("height", values_.height);
  ar.Transfer("xPhase", values_.xPhase);
  ar.Transfer("yPhase", values_.yPhase);
  ar.Transfer("waveLength", values_.waveLength);
  ar.Transfer("mapping", values_.mapping);
}

void IRollingBumpsTexture::Prepare() {
  k_ = kTwoPi / values_.waveLength;
  m_ = -(k_ * values_.height);
}

void IRollingBumpsTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  double u, v;
  if (!MapToUV(values_.mapping, frame.WorldToLocal(s.point), u, v)) return;
  if (WrapsAround(values_.mapping)) u *= 2.0;
  const SurfaceFrame f = BuildSurfaceFrame(frame, s.normal);
  SetTiltedNormal(s, s.normal + f.t * (m_ * std::sin(k_ * v + values_.yPhase)) +
                         f.b * (m_ * std::sin(k_ * u + values_.xPhase)));
}

// --- Radial Wave ---

void IRadialWaveTexture::Serialize(CArchive& ar) {
  if (!TransferVersion(ar)) return;
  ar.Transfer("height", values_.height);
  ar.Transfer("phase", values_.phase);
  ar.Transfer("waveLength", values_.waveLength);
  ar.Transfer("mapping", values_.mapping);
  ar.Transfer("radius", values_.radius);
}

void IRadialWaveTexture::Prepare() {
  k_ = kTwoPi / (values_.phase + values_.waveLength);
  m_ = values_.height * values_.radius * 0.5;
}

void IRadialWaveTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  double u, v;
  if (!MapToUV(values_.mapping, frame.WorldToLocal(s.point), u, v)) return;
  u -= 0.5;
  v -= 0.5;
  if (WrapsAround(values_.mapping)) u *= 2.0;
  const double r2 = u * u + v * v;
  // The rings are symmetric about their centre, so the surface is flat there.
  if (r2 == 0.0) return;
  const double r = std::sqrt(r2);
  const double a = k_ * r;
  const double g = m_ * (std::cos(a) / r + k_ * std::sin(a)) / r2;
  CVector l(g * u, g * v, 1.0);
  l.Normalize();
  const SurfaceFrame f = BuildSurfaceFrame(frame, s.normal);
  SetTiltedNormal(s, f.b * l.x + f.t * l.y + s.normal * l.z);
}

// --- Roughness ---

void IRoughnessTexture::Serialize(CArchive& ar) {
  if (!TransferVersion(ar)) return;
  ar.Transfer("roughness", values_.roughness);
  ar.Transfer("type", values_.type);
}

void IRoughnessTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  const CVector q = frame.WorldToLocal(s.point) * 10.0;
  const IGradientNoise& noise = GetNoise();
  CVector d = values_.type == kUseNoise ? noise.VectorNoise(q) : noise.VectorTurbulence(q);
  d = d * values_.roughness;
  if (!(d.Length() > 0.00001)) return;
  const SurfaceFrame f = BuildSurfaceFrame(frame, s.normal);
  SetTiltedNormal(s, s.normal + f.t * d.y + f.b * d.x);
}

}  // namespace brevoxa
