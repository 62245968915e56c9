// The background of rays that leave the scene: stars, and the sky shell
// blended from the horizon towards its two poles.
#include <algorithm>
#include <cmath>
#include <optional>

#include "material/environment.h"
#include "material/random_source.h"
#include "render/shading.h"

namespace brevoxa {

namespace {

// Elevation in radians to 0 (horizon) .. 1 (pole). The renderer has always
// used this value, which falls 4e-14 short of 2 / pi, so a pole blends to
// within a rounding of its colour rather than exactly.
constexpr double kElevationScale = 0.6366197723675394;

// Stars at 100 % put a star on every ray. A draw of exactly 32767 would
// otherwise fail r / 32767 < 1 and show the sky once in 32768 rays.
bool ShowsStar(double starsPercent, int draw) {
  return starsPercent >= 100.0 || draw / double(RandomSource::kMaxDraw) < starsPercent * 0.01;
}

CVector ShellColor(const EnvironmentSettings& environment, const Ray& ray) {
  const CVector& o = ray.origin;
  const CVector& d = ray.direction;
  const double a = d.Dot(d);
  const double b = 2.0 * d.Dot(o);
  const double c = o.Dot(o) - environment.shellSize * environment.shellSize;
  // A ray from beyond the shell (a camera outside the shell size) sees the
  // sky from outside, where the crossing has no meaning and, for rays that
  // point away, no value: it shows the horizon colour. So do rays whose
  // direction is zero or not a number.
  if (!(c <= 0.0)) return environment.horizon;
  const double t = (std::sqrt(b * b - 4.0 * a * c) - b) / (2.0 * a);
  if (!std::isfinite(t)) return environment.horizon;

  const CVector q = o + d * t;
  // Rounding can put the cosine a hair above 1, where acos has no value.
  const double cosine = std::min(q.CosAngle(CVector(q.x, q.y, 0.0)), 1.0);
  const double f = std::pow(std::acos(cosine) * kElevationScale, environment.poleTension);
  const CVector& pole = q.z > 0.0 ? environment.positivePole : environment.negativePole;
  return pole * f + environment.horizon * (1.0 - f);
}

// The draws of one ray that meets nothing: the first decides whether it
// shows a star, and only a star takes a second, its brightness (returned).
std::optional<int> StarDraws(const EnvironmentSettings& environment, RandomSource& random) {
  if (environment.stars == 0.0 || !ShowsStar(environment.stars, random.Draw())) return std::nullopt;
  return random.Draw();
}

}  // namespace

CVector BackgroundColor(const EnvironmentSettings& environment, const Ray& ray, RandomSource& random) {
  if (const std::optional<int> draw = StarDraws(environment, random)) {
    const double brightness = *draw / double(RandomSource::kMaxDraw) * 0.75 + 0.25;
    return CVector(255.0, 255.0, 255.0) * brightness;
  }
  return SkyColor(environment, ray);
}

CVector SkyColor(const EnvironmentSettings& environment, const Ray& ray) {
  if (!environment.enablePoles) return environment.horizon;
  return ShellColor(environment, ray);
}

bool DrawsStars(const EnvironmentSettings& environment) {
  // The same tests TraceRay and BackgroundColor make, NaN included.
  return environment.fogOccludedPerUnit == 0.0 && environment.stars != 0.0;
}

bool TakeStarDraws(const EnvironmentSettings& environment, RandomSource& random) {
  return StarDraws(environment, random).has_value();
}

}  // namespace brevoxa
