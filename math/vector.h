// CVector: the one numeric value type. A point, a direction or normal, a
// per-axis scale, or an RGB colour on the 0..255 scale per component.
#pragma once

#include <cstdint>
#include <string>

namespace brevoxa {

class CArchive;

// A plain value type of three doubles: the renderer keeps millions of them
// and copies them per ray, so it carries no virtual table. It is always
// written inline as a member of its owner, never as an object with a tag.
class CVector {
 public:
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  CVector() = default;
  CVector(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
  CVector(const CVector&) = default;
  CVector& operator=(const CVector&) = default;

  void Set(double x_, double y_, double z_) { x = x_; y = y_; z = z_; }

  CVector operator+(const CVector& b) const { return {x + b.x, y + b.y, z + b.z}; }
  CVector operator-(const CVector& b) const { return {x - b.x, y - b.y, z - b.z}; }
  CVector operator*(double s) const { return {x * s, y * s, z * s}; }
  CVector operator/(double s) const { return {x / s, y / s, z / s}; }
  CVector& operator+=(const CVector& b) { x += b.x; y += b.y; z += b.z; return *this; }
  CVector& operator-=(const CVector& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
  bool operator==(const CVector& b) const { return x == b.x && y == b.y && z == b.z; }

  CVector Cross(const CVector& b) const;
  double Dot(const CVector& b) const { return x * b.x + y * b.y + z * b.z; }
  double Length() const;
  double CosAngle(const CVector& b) const;
  void Normalize();
  bool IsNear(const CVector& b, double tolerance) const;

  // Colours on the 0..255 scale.
  void Clamp();
  CVector Clamped() const;
  CVector RGBToHSL() const;
  CVector HSLToRGB() const;

  // Three consecutive doubles: x, y, z. No tag, count or version.
  void Serialize(CArchive& ar);
};

// A vector's coordinate on an axis: 0 x, 1 y, 2 z.
inline double Axis(const CVector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// "(x, y, z)", as archive traces show a vector.
std::string TraceText(const CVector& v);

// Nearest 32-bit integer for pixel positions; exact halves round toward zero.
int32_t Round(double d);

}  // namespace brevoxa
