// The solid colour textures: colour as a function of the local point,
// filling space rather than wrapping a surface. Wood is a two-colour ring
// pattern, Granite scales one colour by layered noise; Marble, Clouds,
// Wood - Range and Color Range turn noise or geometry into a number that
// they look up in a colour map.
#pragma once

#include <cstdint>

#include "material/color_map.h"
#include "material/texture.h"

namespace brevoxa {

class IWoodTexture : public ITexture {
  DECLARE_SERIAL(IWoodTexture)
 public:
  static constexpr const char* kCaption = "Wood Properties";
  static constexpr const char* kBaseColorLabel = "&Base Color";
  static constexpr const char* kGrainColorLabel = "&Grain Color";
  static constexpr TextureDialogField kRadialWaves{"&Radial Waves:", {0.0, 30000.0, false}};
  static constexpr TextureDialogField kLengthPerTwist{"&Length per Twist:", {0.01, 30000.0, false}};
  static constexpr TextureDialogField kPercentBase{"&Percent Base:", {0.01, 1.0, false}};
  static constexpr TextureDialogField kRadialRingSize{"Radial Ring &Size:", {0.01, 30000.0, false}};

  struct Values {
    CVector baseColor{255, 128, 64};
    CVector grainColor{128, 64, 32};
    double radialWaves = 0.0;
    double lengthPerTwist = 1.0;
    double percentBase = 0.7;
    double radialRingSize = 0.2;
    bool operator==(const Values&) const = default;
  };

  const Values& GetValues() const { return values_; }
  void SetValues(const Values& values) { values_ = values; }

  // record: version, radial waves, length per twist, percent base, radial
  // ring size (doubles), base colour, grain colour.
  void Serialize(CArchive& ar) override;
  std::string GetName() const override { return "Wood"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditWood(*this); }
  bool AffectsColor() const override { return true; }
  void Apply(const IAxis& frame, SurfacePoint& s) const override;

 private:
  Values values_;
};

class IGraniteTexture : public ITexture {
  DECLARE_SERIAL(IGraniteTexture)
 public:
  static constexpr const char* kCaption = "Granite Properties";
  static constexpr const char* kColorLabel = "&Color";

  struct Values {
    CVector color{0, 0, 0};
    bool operator==(const Values&) const = default;
  };

  const Values& GetValues() const { return values_; }
  void SetValues(const Values& values) { values_ = values; }

  // record: version, colour.
  void Serialize(CArchive& ar) override;
  std::string GetName() const override { return "Granite"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditGranite(*this); }
  bool AffectsColor() const override { return true; }
  void Apply(const IAxis& frame, SurfacePoint& s) const override;

 private:
  Values values_;
};

// Marble, Clouds and Wood - Range: a turbulence amount and a colour map,
// stored alike.
class IColorMapTexture : public ITexture {
  DECLARE_DYNAMIC(IColorMapTexture)
 public:
  static constexpr const char* kColorMapLabel = "&Color Map:";
  static constexpr TextureDialogField kTurbulence{"&Turbulence:", {}, false};

  struct Values {
    double turbulence = 1.0;
    ColorMap colorMap;  // all segments empty: black everywhere
    bool operator==(const Values&) const = default;
  };

  const Values& GetValues() const { return values_; }
  void SetValues(const Values& values) { values_ = values; }

  // record: version, turbulence (double), the colour map.
  void Serialize(CArchive& ar) override;
  bool AffectsColor() const override { return true; }

 protected:
  Values values_;
};

class IMarbleTexture : public IColorMapTexture {
  DECLARE_SERIAL(IMarbleTexture)
 public:
  static constexpr const char* kCaption = "Marble Properties";
  std::string GetName() const override { return "Marble"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditMarble(*this); }
  void Apply(const IAxis& frame, SurfacePoint& s) const override;
};

class ICloudsTexture : public IColorMapTexture {
  DECLARE_SERIAL(ICloudsTexture)
 public:
  static constexpr const char* kCaption = "Clouds Properties";
  std::string GetName() const override { return "Clouds"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditClouds(*this); }
  void Apply(const IAxis& frame, SurfacePoint& s) const override;
};

class IWoodRangeTexture : public IColorMapTexture {
  DECLARE_SERIAL(IWoodRangeTexture)
 public:
  static constexpr const char* kCaption = "Wood - Range Properties";
  std::string GetName() const override { return "Wood - Range"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditWoodRange(*this); }
  void Apply(const IAxis& frame, SurfacePoint& s) const override;
};

class IColorRangeTexture : public ITexture {
  DECLARE_SERIAL(IColorRangeTexture)
 public:
  // Stored codes of the areas of equal colour, in the radio group's order.
  enum Type : uint16_t { kXYPlanes = 0, kCylindersAroundZ = 1, kSpheresAtOrigin = 2, kRadialPlanesAroundZ = 3 };

  static constexpr const char* kCaption = "Color Range Properties";
  static constexpr const char* kColorMapLabel = "&Color Map:";
  static constexpr const char* kTypeLabel = "&Areas Of Equal Color:";
  static constexpr const char* kTypeChoices[] = {"XY Planes", "Cylinders Around Z", "Spheres at Origin",
                                                 "Radial Planes Around Z"};
  static constexpr TextureDialogField kTurbulence{"&Turbulence:", {}, false};

  struct Values {
    double turbulence = 0.0;
    ColorMap colorMap;
    uint16_t type = kXYPlanes;
    bool operator==(const Values&) const = default;
  };

  const Values& GetValues() const { return values_; }
  void SetValues(const Values& values) { values_ = values; }

  // record: version, turbulence (double), type (WORD), the colour map.
  void Serialize(CArchive& ar) override;
  std::string GetName() const override { return "Color Range"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditColorRange(*this); }
  bool AffectsColor() const override { return true; }
  // A type outside the four codes leaves the colour as given.
  void Apply(const IAxis& frame, SurfacePoint& s) const override;

 private:
  Values values_;
};

}  // namespace brevoxa
