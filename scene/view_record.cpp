// The view record of a workspace file and the placement's unit conversion.
#include "scene/view_record.h"

#include <cmath>
#include <limits>

#include "math/view_tran.h"
#include "persist/archive.h"

namespace brevoxa {

namespace {

// One stored unit is a ten-thousandth of the client area.
constexpr double kUnit = 0.0001;

// Toward zero, as the stored form has always been made; values a corrupt
// file or a tiny client area push beyond 32 bits are held at the limits
// instead of overflowing.
int32_t Truncated(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483648.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483649.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int32_t ToStoredUnits(int32_t pixels, int32_t clientSize) {
  if (clientSize <= 0) return 0;
  return Truncated(pixels / (clientSize * kUnit));
}

int32_t ToPixelUnits(int32_t stored, int32_t clientSize) {
  if (clientSize <= 0) return 0;
  return Truncated(stored * (clientSize * kUnit));
}

// A 16-bit field of a version-1 placement, shown to the trace as the value
// it becomes.
int32_t ReadWord(CArchive& ar, const char* name, bool isSigned) {
  uint16_t w = 0;
  ar >> w;
  int32_t value = isSigned ? static_cast<int16_t>(w) : w;
  if (IArchiveTrace* trace = ar.GetTrace()) trace->Value(name, TraceText(value));
  return value;
}

}  // namespace

PixelRect CWindowPlacement::ToStored(const PixelRect& pixels, int32_t clientWidth, int32_t clientHeight) {
  return {ToStoredUnits(pixels.left, clientWidth), ToStoredUnits(pixels.top, clientHeight),
          ToStoredUnits(pixels.right, clientWidth), ToStoredUnits(pixels.bottom, clientHeight)};
}

PixelRect CWindowPlacement::ToPixels(const PixelRect& stored, int32_t clientWidth, int32_t clientHeight) {
  return {ToPixelUnits(stored.left, clientWidth), ToPixelUnits(stored.top, clientHeight),
          ToPixelUnits(stored.right, clientWidth), ToPixelUnits(stored.bottom, clientHeight)};
}

CViewRecord::CViewRecord() : viewTran_(std::make_unique<IViewTran>()) {}

CViewRecord::~CViewRecord() = default;

void CViewRecord::SerializePlacement32(CArchive& ar) {
  CArchive::Group group(ar, "placement");
  CWindowPlacement& p = placement_;
  // The writer always states the record's own size.
  if (ar.IsStoring()) p.length = CWindowPlacement::kLength;
  ar.Transfer("length", p.length);
  ar.Transfer("flags", p.flags);
  ar.Transfer("showCommand", p.showCommand);
  ar.Transfer("minX", p.minX);
  ar.Transfer("minY", p.minY);
  ar.Transfer("maxX", p.maxX);
  ar.Transfer("maxY", p.maxY);
  ar.Transfer("left", p.normal.left);
  ar.Transfer("top", p.normal.top);
  ar.Transfer("right", p.normal.right);
  ar.Transfer("bottom", p.normal.bottom);
}

void CViewRecord::ReadPlacement16(CArchive& ar) {
  // The oldest files hold the same eleven fields in 16 bits: the three
  // counts unsigned, the positions signed.
  CArchive::Group group(ar, "placement");
  CWindowPlacement& p = placement_;
  p.length = ReadWord(ar, "length", false);
  p.flags = ReadWord(ar, "flags", false);
  p.showCommand = ReadWord(ar, "showCommand", false);
  p.minX = ReadWord(ar, "minX", true);
  p.minY = ReadWord(ar, "minY", true);
  p.maxX = ReadWord(ar, "maxX", true);
  p.maxY = ReadWord(ar, "maxY", true);
  p.normal.left = ReadWord(ar, "left", true);
  p.normal.top = ReadWord(ar, "top", true);
  p.normal.right = ReadWord(ar, "right", true);
  p.normal.bottom = ReadWord(ar, "bottom", true);
}

void CViewRecord::Serialize(CArchive& ar) {
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version < 1 || version > kVersion) return;

  viewTran_->Serialize(ar);
  ar.Transfer("gridSize", gridSize_);
  if (version >= 2) ar.Transfer("name", name_);
  if (version == 1) {
    ReadPlacement16(ar);
  } else {
    SerializePlacement32(ar);
  }
}

}  // namespace brevoxa
