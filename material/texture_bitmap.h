// IBitmapTexture: an image wrapped round the surface by a mapping, giving
// colour, filter and reflect colour from its texels and, from their red
// channel, a bump height. The image is loaded for a render and freed after.
#pragma once

#include <cstdint>
#include <string>

#include "material/image_reader.h"
#include "material/texture.h"

namespace brevoxa {

class IBitmapTexture : public ITexture {
  DECLARE_SERIAL(IBitmapTexture)
 public:
  static constexpr const char* kCaption = "Bitmap Texture Properties";
  static constexpr const char* kImageLabel = "Bitmap Image:";
  static constexpr const char* kBrowseLabel = "&Browse...";
  static constexpr const char* kBrowseFilter =
      "Image Files (*.bmp;*.jpg;*.pcd;*.pcx;*.tga;*.tif)|*.bmp;*.jpg;*.pcd;*.pcx;*.tga;*.tif||";
  static constexpr TextureDialogField kHorizontalRepetitions{"H&orizonal Repetitions:", {1.0, 1000.0, true}};
  static constexpr TextureDialogField kVerticalRepetitions{"&Vertical Repetitions:", {1.0, 1000.0, true}};
  static constexpr TextureDialogField kBumpHeight{"Bump H&eight:", {0.0, 30000.0, false}};
  static constexpr const char* kModificationGroup = "Object Modification:";
  static constexpr const char* kColorFlagLabel = "&Color";
  static constexpr const char* kFilterFlagLabel = "&Filter";
  static constexpr const char* kReflectFlagLabel = "&Reflect";
  static constexpr const char* kBumpFlagLabel = "Bump &Normal";

  struct Values {
    std::string fileName = "PLAIN.JPG";
    uint16_t mapping = kMapSphere;
    uint16_t verticalRepetitions = 1;
    uint16_t horizontalRepetitions = 1;
    double bumpHeight = 15.0;
    bool color = true;
    bool filter = false;
    bool reflect = false;
    bool bumpNormal = false;
    bool operator==(const Values&) const = default;
  };

  IBitmapTexture() = default;
  IBitmapTexture(const IBitmapTexture&) = delete;
  IBitmapTexture& operator=(const IBitmapTexture&) = delete;

  const Values& GetValues() const { return values_; }
  // A new file name takes effect at the next Prepare.
  void SetValues(const Values& values) { values_ = values; }

  // The folder the "&Browse..." dialog starts in: that of the current image,
  // or OBJSTORE when there is no name.
  std::string BrowseDirectory() const;

  // record: version, file name (string), colour, reflect, filter and
  // bump-normal flags (BYTEs), mapping, horizontal repetitions, vertical
  // repetitions (WORDs), bump height (double).
  void Serialize(CArchive& ar) override;
  std::string GetName() const override;
  bool EditProperties(ITextureEditor& editor) override { return editor.EditBitmap(*this); }
  // Loads the image named by the file name, resolved against OBJSTORE.
  // When it cannot, shows "Unable to load bitmap <path> for texture." and
  // the texture does nothing until it is prepared again.
  void Prepare() override;
  void Release() override;
  bool AffectsColor() const override { return values_.color; }
  bool AffectsFilter() const override { return values_.filter; }
  bool AffectsReflect() const override { return values_.reflect; }
  bool AffectsNormal() const override { return values_.bumpNormal; }
  void Apply(const IAxis& frame, SurfacePoint& s) const override;

  bool IsLoaded() const { return loaded_; }
  const Bitmap& GetBitmap() const { return bitmap_; }

 private:
  Values values_;
  bool loaded_ = false;
  Bitmap bitmap_;
};

}  // namespace brevoxa
