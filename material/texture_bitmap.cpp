// The image texture: its record, loading for a render, and texel lookups.
#include "material/texture_bitmap.h"

#include <algorithm>
#include <cmath>

#include "persist/archive.h"
#include "persist/object_store.h"
#include "scene/axis.h"
#include "ui/user_interface.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IBitmapTexture, ITexture, 0)

namespace {

CVector TexelColor(const Bitmap& bitmap, int i, int j) {
  const uint8_t* bgr = bitmap.Texel(i, j);
  return {double(bgr[2]), double(bgr[1]), double(bgr[0])};
}

double TexelHeight(const Bitmap& bitmap, int i, int j) { return bitmap.Texel(i, j)[2] / 255.0; }

// One step past an edge comes in at the other side.
int WrapIndex(int index, int size) {
  if (index < 0) return index + size;
  if (index >= size) return index - size;
  return index;
}

// The cell of a fraction in [0, 1). The product cannot reach size in exact
// arithmetic; the clamp keeps a rounding from ever reading past the image.
int CellIndex(double fraction, int size) {
  const double cell = std::trunc(size * fraction);
  return cell >= size ? size - 1 : (cell > 0.0 ? static_cast<int>(cell) : 0);
}

}  // namespace

std::string IBitmapTexture::GetName() const {
  std::string name = "Bitmap ";
  name += values_.fileName;
  return name;
}

std::string IBitmapTexture::BrowseDirectory() const {
  if (values_.fileName.empty()) return ObjectStoreDir();
  const std::string path = StoredNamePath(values_.fileName);
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void IBitmapTexture::Serialize(CArchive& ar) {
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  ar.Transfer("fileName", values_.fileName);
  TransferFlag(ar, "color", values_.color);
  TransferFlag(ar, "reflect", values_.reflect);
  TransferFlag(ar, "filter", values_.filter);
  TransferFlag(ar, "bumpNormal", values_.bumpNormal);
  ar.Transfer("mapping", values_.mapping);
  ar.Transfer("horizontalRepetitions", values_.horizontalRepetitions);
  ar.Transfer("verticalRepetitions", values_.verticalRepetitions);
  ar.Transfer("bumpHeight", values_.bumpHeight);
}

void IBitmapTexture::Prepare() {
  Release();
  const std::string path = StoredNamePath(values_.fileName);
  if (!path.empty()) {
    // The reader refuses files and headers beyond its limits before it
    // allocates, so a hostile image costs nothing here.
    ImageReadResult result = ReadImageFile(path);
    if (result.ok() && result.bitmap.width > 0 && result.bitmap.height > 0) {
      bitmap_ = std::move(result.bitmap);
      loaded_ = true;
      return;
    }
  }
  std::string message = "Unable to load bitmap ";
  message += path;
  message += " for texture.";
  CurrentUserInterface().Message(message);
}

void IBitmapTexture::Release() {
  bitmap_ = Bitmap();
  loaded_ = false;
}

void IBitmapTexture::Apply(const IAxis& frame, SurfacePoint& s) const {
  if (!loaded_) return;
  double u, v;
  if (!MapToUV(values_.mapping, frame.WorldToLocal(s.point), u, v)) return;
  if (!(u >= 0.0 && u < 1.0 && v >= 0.0 && v < 1.0)) return;
  const int width = bitmap_.width;
  const int height = bitmap_.height;
  const int i = CellIndex(Frac(values_.horizontalRepetitions * u), width);
  const int j = CellIndex(Frac(values_.verticalRepetitions * v), height);

  if (values_.bumpNormal) {
    const double b = values_.bumpHeight;
    const int below = WrapIndex(j + 1, height);
    const CVector a(0.0, 0.5, b * TexelHeight(bitmap_, i, j));
    const CVector p1(1.0, 0.0, b * TexelHeight(bitmap_, WrapIndex(i - 1, width), below));
    const CVector p2(1.0, 1.0, b * TexelHeight(bitmap_, WrapIndex(i + 1, width), below));
    CVector n = (p2 - p1).Cross(a - p1);
    n.Normalize();
    const SurfaceFrame f = BuildSurfaceFrame(frame, s.normal);
    CVector tilted = s.normal * n.z + f.t * n.y + f.b * n.x;
    tilted.Normalize();
    if (IsFinite(tilted)) s.shadingNormal = tilted;
  }
  if (values_.color || values_.filter || values_.reflect) {
    const CVector c = TexelColor(bitmap_, i, j);
    s.color = c;
    s.filter = c;
    s.reflect = c;
  }
}

}  // namespace brevoxa
