// ITexture: a per-point modifier of a material's colour, filter, reflect
// colour and shading normal, evaluated in the frame of the shaded layer.
// Also what every kind shares: the surface mappings, the tangent frame of
// the bump kinds, the dialog field data and the editor seam.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "material/surface_point.h"
#include "math/vector.h"
#include "persist/object.h"
#include "ui/field_range.h"

namespace brevoxa {

class IAxis;
class IBitmapTexture;
class ICheckTexture;
class ICloudsTexture;
class IColorRangeTexture;
class IGraniteTexture;
class IMarbleTexture;
class IRadialWaveTexture;
class IRollingBumpsTexture;
class IRoughnessTexture;
class IWoodRangeTexture;
class IWoodTexture;

// The properties dialogs as the core sees them: the editor implements one
// method per kind with its toolkit. Each fills its dialog from the texture
// and, on OK, sets the values back and returns true; Cancel returns false
// and leaves the texture alone.
class ITextureEditor {
 public:
  virtual ~ITextureEditor() = default;
  virtual bool EditBitmap(IBitmapTexture&) { return false; }
  virtual bool EditRollingBumps(IRollingBumpsTexture&) { return false; }
  virtual bool EditRadialWave(IRadialWaveTexture&) { return false; }
  virtual bool EditWood(IWoodTexture&) { return false; }
  virtual bool EditCheck(ICheckTexture&) { return false; }
  virtual bool EditMarble(IMarbleTexture&) { return false; }
  virtual bool EditClouds(ICloudsTexture&) { return false; }
  virtual bool EditGranite(IGraniteTexture&) { return false; }
  virtual bool EditWoodRange(IWoodRangeTexture&) { return false; }
  virtual bool EditRoughness(IRoughnessTexture&) { return false; }
  virtual bool EditColorRange(IColorRangeTexture&) { return false; }
};

// A numeric field of a texture dialog. Fields without a range accept any
// number.
struct TextureDialogField {
  const char* label;
  NumberRange range;
  bool rangeChecked = true;
};

// Stored mapping codes, in the order of the "&Mapping:" radio group.
enum TextureMapping : uint16_t { kMapSphere = 0, kMapCylinder = 1, kMapPlane = 2 };
inline constexpr const char* kMappingLabel = "&Mapping:";
inline constexpr const char* kMappingChoices[] = {"Sphere", "Cylinder", "Plane"};

// (u, v) of a local point under a mapping code. Unknown codes give false
// and leave u and v alone; the textures then leave their outputs as given.
bool MapToUV(uint16_t mapping, const CVector& p, double& u, double& v);

// The tangent t and bitangent b that bump textures tilt the normal along:
// t follows the frame's z axis crossed with the normal (its y axis where
// the two are parallel), b = t x N.
struct SurfaceFrame {
  CVector t;
  CVector b;
};
SurfaceFrame BuildSurfaceFrame(const IAxis& frame, const CVector& normal);

// a minus its integer part; keeps the sign of a.
double Frac(double a);
// fmod(a, 1) moved into [0, 1).
double Wrap01(double a);
// The angle round the z axis that Wood and Checkerboard use: atan2(x, y)
// + pi, or exactly pi / 2 when y is zero of either sign.
double AngleAroundZ(double x, double y);
// A flag stored as a BYTE; any non-zero value is on, as a check box shows
// it, and it is written back as 1.
void TransferFlag(CArchive& ar, std::string_view name, bool& flag);
// Whether every component is a finite number.
bool IsFinite(const CVector& v);

// Persistent like every kind, so that lists can ask the stream for an
// ITexture; a bare one stores nothing and does nothing.
class ITexture : public CObject {
  DECLARE_SERIAL(ITexture)
 public:
  // Every kind writes this version first and reads its fields only when
  // the stored version equals it.
  static constexpr uint16_t kVersion = 1;

  // The name the material's texture list shows.
  virtual std::string GetName() const;
  // Opens the kind's dialog through the editor; true when it was confirmed.
  virtual bool EditProperties(ITextureEditor& editor);
  // Before and after a render, on the thread that starts and ends it.
  virtual void Prepare();
  virtual void Release();

  virtual bool AffectsColor() const;
  virtual bool AffectsFilter() const;
  virtual bool AffectsReflect() const;
  virtual bool AffectsNormal() const;

  // Evaluates the texture at s.point with normal s.normal, writing the
  // outputs of the channels it affects. Reads only the texture, the frame
  // and the noise tables and allocates nothing, so any number of render
  // threads may call it at once.
  virtual void Apply(const IAxis& frame, SurfacePoint& s) const;
};

}  // namespace brevoxa
