// The bump textures: they only tilt the shading normal. Rolling Bumps is a
// pair of crossed sine waves over (u, v), Radial Wave rings spreading from
// the centre of the mapping, Roughness a noise offset.
#pragma once

#include <cstdint>

#include "material/texture.h"

namespace brevoxa {

struct RollingBumpsValues {
  double xPhase = 0.0;
  double yPhase = 0.0;
  double height = 0.01;
  double waveLength = 0.2;
  uint16_t mapping = kMapPlane;
  bool operator==(const RollingBumpsValues&) const = default;
};

struct RadialWaveValues {
  double phase = 0.0;
  double radius = 0.2;  // radius at A/2
  double height = 0.01;
  double waveLength = 0.2;
  uint16_t mapping = kMapPlane;
  bool operator==(const RadialWaveValues&) const = default;
};

// What the two wave kinds share: the dialog's values and the wave number k
// and amplitude m that Prepare derives from them for Apply.
template <class V>
class IWaveTexture : public ITexture {
 public:
  using Values = V;

  const Values& GetValues() const { return values_; }
  // The derived constants keep their values until the next Prepare.
  void SetValues(const Values& values) { values_ = values; }
  bool AffectsNormal() const override { return true; }

  double GetK() const { return k_; }
  double GetM() const { return m_; }

 protected:
  Values values_;
  double k_ = 0.0;
  double m_ = 0.0;
};

class IRollingBumpsTexture : public IWaveTexture<RollingBumpsValues> {
  DECLARE_SERIAL(IRollingBumpsTexture)
 public:
  static constexpr const char* kCaption = "Rolling Bumps Properties";
  static constexpr TextureDialogField kHeight{"H&eight:", {}, false};
  static constexpr TextureDialogField kWaveLength{"&Wave Length:", {}, false};
  static constexpr TextureDialogField kXPhase{"&X Phase:", {}, false};
  static constexpr TextureDialogField kYPhase{"&Y Phase:", {}, false};

  // record: version, height, X phase, Y phase, wave length (doubles),
  // mapping (WORD).
  void Serialize(CArchive& ar) override;
  std::string GetName() const override { return "Rolling Bumps"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditRollingBumps(*this); }
  // k = 2 pi / wave length, m = -k * height.
  void Prepare() override;
  void Apply(const IAxis& frame, SurfacePoint& s) const override;
};

class IRadialWaveTexture : public IWaveTexture<RadialWaveValues> {
  DECLARE_SERIAL(IRadialWaveTexture)
 public:
  static constexpr const char* kCaption = "Radial Wave";
  static constexpr TextureDialogField kHeight{"H&eight:", {}, false};
  static constexpr TextureDialogField kWaveLength{"&Wave Length:", {}, false};
  static constexpr TextureDialogField kPhase{"&Phase:", {}, false};
  static constexpr TextureDialogField kRadius{"&Radius at A/2:", {}, false};

  // record: version, height, phase, wave length (doubles), mapping (WORD),
  // radius at A/2 (double).
  void Serialize(CArchive& ar) override;
  std::string GetName() const override { return "Radial Wave"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditRadialWave(*this); }
  // k = 2 pi / (phase + wave length), m = height * radius / 2.
  void Prepare() override;
  // The centre of the rings (r = 0) and constants that are not finite
  // leave the normal as given.
  void Apply(const IAxis& frame, SurfacePoint& s) const override;
};

class IRoughnessTexture : public ITexture {
  DECLARE_SERIAL(IRoughnessTexture)
 public:
  // Stored codes, in the order of the "&Type:" radio group.
  enum Type : uint16_t { kUseNoise = 0, kUseTurbulence = 1 };

  static constexpr const char* kCaption = "Roughness Properties";
  static constexpr const char* kTypeLabel = "&Type:";
  static constexpr const char* kTypeChoices[] = {"Use Noise", "Use Turbulence"};
  static constexpr TextureDialogField kRoughness{"&Roughness:", {0.0, 1.0, false}};

  struct Values {
    double roughness = 0.5;
    uint16_t type = kUseNoise;
    bool operator==(const Values&) const = default;
  };

  const Values& GetValues() const { return values_; }
  void SetValues(const Values& values) { values_ = values; }

  // record: version, roughness (double), type (WORD).
  void Serialize(CArchive& ar) override;
  std::string GetName() const override { return "Roughness"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditRoughness(*this); }
  bool AffectsNormal() const override { return true; }
  // An offset shorter than 0.00001 leaves the normal exactly as given.
  void Apply(const IAxis& frame, SurfacePoint& s) const override;

 private:
  Values values_;
};

}  // namespace brevoxa
