// CMaterialDoc: the material document (.mat files): how a surface looks,
// as colours, a hardness, an index of refraction, a Phong flag and an
// ordered list of textures that change colour, filter, reflect colour and
// normal point by point. Layers name one through their material link; the
// renderer asks it for the surface values at every shaded point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "material/form_document.h"
#include "material/surface_point.h"
#include "material/texture.h"
#include "math/vector.h"
#include "persist/link.h"
#include "persist/object.h"

namespace brevoxa {

class IAxis;

using MaterialFormField = FormField;

// The material's values with the defaults of a new document, in
// declaration order. Colours are on the 0..255 scale.
struct MaterialSettings {
  static constexpr MaterialFormField kHardness{"&Hardness:", {0.01, 30000.0, false}};
  static constexpr MaterialFormField kIndexOfRefraction{"&Index Of Refraction:", {0.01, 100.0, false}};
  // What a colour chooser can give, per component.
  static constexpr NumberRange kColorRange{0.0, 255.0, false};

  double hardness = 10.0;  // exponent of the specular highlight
  double indexOfRefraction = 1.0;
  bool phong = true;  // interpolate the vertex normals
  CVector specular;
  CVector reflect;  // mirror weights
  CVector filter;   // transmission weights
  CVector color;    // diffuse colour
  std::string name;

  // The range message of the first value the form would refuse (hardness,
  // index of refraction, then the colours), or nothing.
  std::optional<std::string> Check() const;

  bool operator==(const MaterialSettings&) const = default;
};

// The texts of the material form that are not numeric fields.
namespace material_form {
inline constexpr const char* kNameLabel = "&Name:";
inline constexpr const char* kColorLabel = "&Color";
inline constexpr const char* kColorButton = "C";
inline constexpr const char* kSpecularLabel = "&Specular";
inline constexpr const char* kSpecularButton = "S";
inline constexpr const char* kReflectLabel = "&Reflect";
inline constexpr const char* kReflectButton = "R";
inline constexpr const char* kFilterLabel = "&Filter";
inline constexpr const char* kFilterButton = "F";
inline constexpr const char* kPhongLabel = "Phon&g";
inline constexpr const char* kTexturesLabel = "&Textures:";
inline constexpr const char* kAddButton = "&Add";
inline constexpr const char* kDropButton = "&Drop";
inline constexpr const char* kPropertiesButton = "&Properties";
}  // namespace material_form

class CMaterialDoc : public CObject, public ILinkedDocument, public FormDocument<MaterialSettings> {
  DECLARE_SERIAL(CMaterialDoc)
 public:
  static constexpr uint16_t kVersion = 1;

  // The preview render's background; kept in memory only.
  enum PreviewBackground : uint8_t { kPreviewBlack = 1, kPreviewWhite = 2, kPreviewGradient = 3 };

  CMaterialDoc();
  ~CMaterialDoc() override;
  CMaterialDoc(const CMaterialDoc&) = delete;
  CMaterialDoc& operator=(const CMaterialDoc&) = delete;

  // record: WORD version (1), Phong (WORD), index of refraction, hardness
  // (doubles), name (string), specular, reflect, filter, colour (three
  // doubles each), then the textures as an object list: a count and one
  // object per texture with its class. Another version reads nothing more
  // and keeps the values. Storing first takes the form's values (see
  // SetViewExchange; the view also hands over its list order through
  // ReorderTextures) and puts the textures in name order, so a saved
  // material always lists them alphabetically. A record is taken over whole
  // or not at all: one that ends early, holds a texture that fails to read,
  // or a value the form would refuse, fails with CArchiveException and
  // leaves the document as it was.
  void Serialize(CArchive& ar) override;

  CVector GetColor() const { return settings_.color; }
  CVector GetFilter() const { return settings_.filter; }
  CVector GetReflect() const { return settings_.reflect; }
  CVector GetSpecular() const { return settings_.specular; }
  double GetHardness() const { return settings_.hardness; }
  double GetIndexOfRefraction() const { return settings_.indexOfRefraction; }
  bool GetPhong() const { return settings_.phong; }

  uint8_t GetPreviewBackground() const { return previewBackground_; }
  void SetPreviewBackground(uint8_t background) { previewBackground_ = background; }

  // --- Textures, owned and applied in list order ---

  size_t GetTextureCount() const { return textures_.size(); }
  // Null past the end.
  ITexture* GetTexture(size_t index) const;
  // Appends; null is ignored.
  ITexture* AddTexture(std::unique_ptr<ITexture> texture);
  // Destroys a texture of this material; false when it is not one.
  bool DropTexture(const ITexture* texture);
  // Puts the textures in the given order, as the view's list shows them.
  // False, and nothing changes, unless the order names every texture of
  // the material exactly once.
  bool ReorderTextures(const std::vector<const ITexture*>& order);
  // Stable sort by TextureNameLess.
  void SortTexturesByName();
  // The order of the view's sorted list: names compared without regard to
  // letter case.
  static bool TextureNameLess(const std::string& a, const std::string& b);

  // Before and after a render; a link that opens the material calls them.
  void PrepareTextures();
  void ReleaseTextures();
  void LinkOpened() override { PrepareTextures(); }
  void LinkClosing() override { ReleaseTextures(); }

  // --- Shading ---

  // The surface values at s.point with normal s.normal (world space) in the
  // texture frame of the shaded layer: every texture in turn gets the
  // material's colours and the normal, and the channels it affects add up.
  // A channel no texture affects keeps the material's value (the normal:
  // the one given); summed colours are clamped to 0..255 and a summed
  // normal is normalised. Reads only; safe on any number of render threads.
  void EvaluateSurface(const IAxis& frame, SurfacePoint& s) const;
  // True when a texture affects the filter or the filter colour is not black.
  bool IsTransparent() const;

 private:
  void Store(CArchive& ar);
  void Load(CArchive& ar);

  uint8_t previewBackground_ = kPreviewBlack;
  std::vector<std::unique_ptr<ITexture>> textures_;
};

}  // namespace brevoxa
