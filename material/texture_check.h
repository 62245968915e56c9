// ICheckTexture: a two-colour checkerboard over a surface mapping, whose
// cells can twist round the z axis; it can drive colour, filter and
// reflect colour alike.
#pragma once

#include <cstdint>

#include "material/texture.h"

namespace brevoxa {

class ICheckTexture : public ITexture {
  DECLARE_SERIAL(ICheckTexture)
 public:
  static constexpr const char* kCaption = "Checkerboard Properties";
  static constexpr const char* kFirstColorLabel = "&First Color:";
  static constexpr const char* kSecondColorLabel = "&Second Color:";
  static constexpr TextureDialogField kHorizontalRepetitions{"&Horizonal Repetitions:", {1.0, 30000.0, true}};
  static constexpr TextureDialogField kVerticalRepetitions{"&Vertical Repetitions:", {1.0, 30000.0, true}};
  static constexpr TextureDialogField kTwist{"&Twist per Radial Unit:", {}, false};
  static constexpr const char* kModificationGroup = "Object Modification";
  static constexpr const char* kColorFlagLabel = "&Color";
  static constexpr const char* kFilterFlagLabel = "Fi&lter";
  static constexpr const char* kReflectFlagLabel = "&Reflect";

  struct Values {
    uint16_t mapping = kMapSphere;
    uint16_t verticalRepetitions = 6;
    uint16_t horizontalRepetitions = 6;
    CVector firstColor{0, 0, 0};
    CVector secondColor{255, 255, 255};
    bool color = true;
    bool filter = false;
    bool reflect = false;
    double twist = 0.0;  // degrees per unit of radius
    bool operator==(const Values&) const = default;
  };

  const Values& GetValues() const { return values_; }
  void SetValues(const Values& values) { values_ = values; }

  // record: version, mapping, vertical repetitions, horizontal repetitions
  // (WORDs), colour, filter, reflect flags (BYTEs), twist (double), first
  // colour, second colour.
  void Serialize(CArchive& ar) override;
  std::string GetName() const override { return "Checkerboard"; }
  bool EditProperties(ITextureEditor& editor) override { return editor.EditCheck(*this); }
  bool AffectsColor() const override { return values_.color; }
  bool AffectsFilter() const override { return values_.filter; }
  bool AffectsReflect() const override { return values_.reflect; }
  // Writes the cell's colour to colour, filter and reflect; the material
  // takes only the channels whose flags are set.
  void Apply(const IAxis& frame, SurfacePoint& s) const override;

 private:
  Values values_;
};

}  // namespace brevoxa
