// CEnvironment: the environment document (.env files): the sky shell that
// escaping rays see, its stars, the ambient light, fog and shadows. A
// workspace names one through its environment link.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "material/form_document.h"
#include "math/vector.h"
#include "persist/object.h"

namespace brevoxa {

using EnvironmentFormField = FormField;

// The environment's values with the defaults of a new document, in
// declaration order. Colours are on the 0..255 scale.
struct EnvironmentSettings {
  static constexpr EnvironmentFormField kShellSize{"Shell Si&ze:", {1.0, 30000.0, false}};
  static constexpr EnvironmentFormField kStars{"&Stars (%):", {0.0, 100.0, false}};
  static constexpr EnvironmentFormField kPoleTension{"Pole &Tension:", {0.01, 100.0, false}};
  static constexpr EnvironmentFormField kFogOccluded{"Fog &Occluded/Unit (%):", {0.0, 100.0, false}};
  // What a colour chooser can give, per component.
  static constexpr NumberRange kColorRange{0.0, 255.0, false};

  CVector positivePole;
  CVector horizon;  // the whole sky when the poles are disabled
  CVector negativePole;
  CVector fogColor;
  CVector ambientLight;
  bool shadows = false;
  bool enablePoles = false;
  double fogOccludedPerUnit = 0.0;  // percent of light lost per unit of distance
  double stars = 0.0;               // percent of sky samples showing a star
  double poleTension = 1.0;         // exponent of the horizon-to-pole gradient
  double shellSize = 30000.0;       // radius of the sky shell
  std::string name;

  // The range message of the first value the form would refuse (the four
  // numeric fields in the order above, then the colours), or nothing.
  std::optional<std::string> Check() const;

  bool operator==(const EnvironmentSettings&) const = default;
};

// The texts of the environment form that are not numeric fields.
namespace environment_form {
inline constexpr const char* kNameLabel = "&Name:";
inline constexpr const char* kShellEffectsGroup = "Shell Effects";
inline constexpr const char* kSpaceEffectsGroup = "Space Effects";
inline constexpr const char* kPositivePoleLabel = "&Positive Pole";
inline constexpr const char* kPositivePoleButton = "P";
inline constexpr const char* kHorizonLabel = "&Horizon";
inline constexpr const char* kHorizonButton = "H";
inline constexpr const char* kNegativePoleLabel = "&Negative Pole";
inline constexpr const char* kNegativePoleButton = "N";
inline constexpr const char* kEnablePolesLabel = "&Enable Poles";
inline constexpr const char* kAmbientLightLabel = "&Ambient Light";
inline constexpr const char* kAmbientLightButton = "A";
inline constexpr const char* kFogColorLabel = "Fog &Color";
inline constexpr const char* kFogColorButton = "F";
inline constexpr const char* kShadowsLabel = "Shado&ws";
}  // namespace environment_form

class CEnvironment : public CObject, public FormDocument<EnvironmentSettings> {
  DECLARE_SERIAL(CEnvironment)
 public:
  static constexpr uint16_t kVersion = 1;

  CEnvironment() = default;

  // record: WORD version (1), shadows (WORD), fog occluded per unit, stars
  // (doubles), enable poles (WORD), pole tension, shell size (doubles), name
  // (string), then the colours positive pole, negative pole, horizon, fog,
  // ambient (three doubles each): not the order the form shows them in.
  // Another version reads nothing more and keeps the values. A record is
  // taken over whole or not at all: one that ends early, or holds a value
  // the form would refuse, fails with CArchiveException and leaves the
  // document as it was.
  void Serialize(CArchive& ar) override;
};

}  // namespace brevoxa
