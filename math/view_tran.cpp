// IViewTran: projections, their inverses, handle hit tests, the drawing
// modes and the view transformation's record.
#include "math/view_tran.h"

#include <algorithm>
#include <cmath>

#include "persist/archive.h"
#include "scene/camera.h"
#include "scene/draw_tools.h"
#include "scene/point.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IViewTran, CObject, 0)

namespace {

constexpr uint16_t kViewTranVersion = 3;
constexpr double kHitPixels = 3.0;

// How a parallel view lays the world on its plane: the horizontal plane
// coordinate is the world component h (negated when flipH), the vertical
// one v (negated when flipV); the third component is the depth. A view type
// outside 1..4 (only a damaged file makes one) is treated as Front.
struct PlaneAxes {
  double CVector::*h;
  bool flipH;
  double CVector::*v;
  bool flipV;
};

PlaneAxes AxesOf(int viewType) {
  switch (viewType) {
    case IViewTran::top:
      return {&CVector::y, false, &CVector::x, false};
    case IViewTran::right:
      return {&CVector::x, true, &CVector::z, true};
    default:
      return {&CVector::y, false, &CVector::z, true};
  }
}

// Negation rather than a product with -1, so that the sign of every value
// (zeros and NaNs too) turns exactly.
double Flip(bool flip, double value) { return flip ? -value : value; }

void ToPlane(int viewType, const CVector& p, double& h, double& v) {
  const PlaneAxes axes = AxesOf(viewType);
  h = Flip(axes.flipH, p.*axes.h);
  v = Flip(axes.flipV, p.*axes.v);
}

int32_t TruncatePixel(double d) {
  if (std::isnan(d)) return 0;
  const double limit = IViewTran::kPixelLimit;
  if (d >= limit) return IViewTran::kPixelLimit;
  if (d <= -limit) return -IViewTran::kPixelLimit;
  return static_cast<int32_t>(d);
}

// The client rectangle is stored in 16 bits. Sizes are never negative, so
// values are held to 0..65535 instead of wrapping into a different size.
uint16_t ToWord(int32_t v) { return static_cast<uint16_t>(std::clamp<int32_t>(v, 0, 0xFFFF)); }

}  // namespace

IViewTran::IViewTran() : ownCamera_(std::make_unique<ICamera>()) {
  ownCamera_->SetName("No Camera");
  camera_ = ownCamera_.get();
}

IViewTran::~IViewTran() = default;

double IViewTran::GetCentreH() const { return IsCameraView() ? 0.0 : centreH_; }
double IViewTran::GetCentreV() const { return IsCameraView() ? 0.0 : centreV_; }
double IViewTran::GetWorldWidth() const { return IsCameraView() ? 0.0 : worldWidth_; }
double IViewTran::GetViewWidth() const { return IsCameraView() ? camera_->GetViewPlaneWidth() : viewWidth_; }

void IViewTran::SetClientRect(int32_t left, int32_t top, int32_t width, int32_t height) {
  clientLeft_ = left;
  clientTop_ = top;
  width_ = width;
  height_ = height;
}

void IViewTran::SetCamera(ICamera* camera) { camera_ = camera != nullptr ? camera : ownCamera_.get(); }

double IViewTran::Scale() const {
  // A zero view width would make every pixel infinitely far; such a view
  // collapses onto its centre instead.
  const double s = width_ / GetViewWidth();
  return std::isfinite(s) ? s : 0.0;
}

// --- Projections ---

void IViewTran::Project(const CVector& v, double& x, double& y) const {
  const int32_t halfWidth = width_ / 2;
  const int32_t halfHeight = height_ / 2;
  if (IsCameraView()) {
    if (v.z == 0.0) {
      x = 0.0;
      y = 0.0;
      return;
    }
    double f = Scale() * camera_->GetViewPlaneDistance();
    if (!std::isfinite(f)) f = 0.0;
    x = (v.x / v.z) * f + halfWidth;
    y = halfHeight - (v.y / v.z) * f;
    return;
  }
  double h = 0.0, p = 0.0;
  ToPlane(viewType_, v, h, p);
  const double s = Scale();
  x = (h - centreH_) * s + halfWidth;
  y = (p - centreV_) * s + halfHeight;
}

void IViewTran::ProjectPoint(const IPoint& point, double& x, double& y) const {
  Project(IsCameraView() ? point.normal : point.world, x, y);
}

PixelPoint IViewTran::ToPixel(const CVector& v) const {
  double x = 0.0, y = 0.0;
  Project(v, x, y);
  return {TruncatePixel(x), TruncatePixel(y)};
}

PixelPoint IViewTran::ToPixel(const IPoint& point) const {
  double x = 0.0, y = 0.0;
  ProjectPoint(point, x, y);
  return {TruncatePixel(x), TruncatePixel(y)};
}

bool IViewTran::ProjectWorld(const CVector& world, PixelPoint& pixel) const {
  if (!IsCameraView()) {
    pixel = ToPixel(world);
    return true;
  }
  const CVector c = camera_->ToCamera(world);
  if (!(c.z > camera_->GetViewPlaneDistance())) return false;
  pixel = ToPixel(c);
  return true;
}

bool IViewTran::ProjectSegment(const CVector& a, const CVector& b, PixelPoint& pa, PixelPoint& pb) const {
  if (!IsCameraView()) {
    pa = ToPixel(a);
    pb = ToPixel(b);
    return true;
  }
  CVector ca = camera_->ToCamera(a);
  CVector cb = camera_->ToCamera(b);
  if (!ClipToFront(ca, cb)) return false;
  pa = ToPixel(ca);
  pb = ToPixel(cb);
  return true;
}

bool IViewTran::ClipToFront(CVector& a, CVector& b) const {
  const double plane = camera_->GetViewPlaneDistance();
  const bool aFront = a.z > plane;
  const bool bFront = b.z > plane;
  // Written as negations so that a NaN depth counts as not in front.
  if (!aFront && !bFront) return false;
  if (aFront && bFront) return true;
  CVector& back = aFront ? b : a;
  const CVector& front = aFront ? a : b;
  // front.z > plane >= back.z, so the denominator is positive.
  const double t = (plane - back.z) / (front.z - back.z);
  back = back + (front - back) * t;
  back.z = plane;
  return true;
}

// --- Inverses and hit tests ---

void IViewTran::ScreenToPlane(double x, double y, double& h, double& v) const {
  const double centreH = IsCameraView() ? 0.0 : centreH_;
  const double centreV = IsCameraView() ? 0.0 : centreV_;
  const double s = Scale();
  if (s == 0.0) {
    h = centreH;
    v = centreV;
    return;
  }
  h = (x - width_ / 2) / s + centreH;
  v = (y - height_ / 2) / s + centreV;
}

CVector IViewTran::ScreenToWorld(double x, double y) const {
  if (viewType_ == camera) return {};
  double h = 0.0, v = 0.0;
  ScreenToPlane(x, y, h, v);
  const PlaneAxes axes = AxesOf(viewType_);
  CVector world;
  world.*axes.h = Flip(axes.flipH, h);
  world.*axes.v = Flip(axes.flipV, v);
  return world;
}

double IViewTran::HitTest(const CVector& a, const CVector& b) const {
  constexpr double miss = -1.0;
  if (IsCameraView()) return miss;
  const double s = Scale();
  // No pixels (zero width) or no sensible scale: nothing can be clicked.
  if (!(s > 0.0)) return miss;
  const double t = kHitPixels / s;
  // Only the two shown coordinates count; depth never stops a click.
  const CVector d = a - b;
  const PlaneAxes axes = AxesOf(viewType_);
  return std::fabs(d.*axes.h) < t && std::fabs(d.*axes.v) < t ? 0.0 : miss;
}

// --- Drawing modes ---

DrawState IViewTran::SelectDrawMode(IDrawSurface& device, int mode, int style) const {
  using namespace draw_tools;
  const DrawState previous = device.GetState();
  DrawState state = previous;

  if (mode == 3) style = kStyleWhite;
  else if (mode == 8) style = kStyleSelected;
  else if (mode == 9) style = kStyleGrey;

  // Each style's pen and, for the filled ones, its brush; other styles
  // leave the device's tools as they are.
  struct StyleTools {
    int style;
    Pen pen;
    const Brush* brush;
  };
  static constexpr StyleTools kStyles[] = {
      {kStyleBlack, kBlackPen, &kBlackBrush},   {kStyleGrey, kGreyPen, nullptr},
      {kStyleWhite, kWhitePen, &kWhiteBrush},   {kStyleDashedGrey, kDashedGreyPen, nullptr},
      {kStyleSelected, kRedPen, &kRedBrush},    {kStyleOlive, kOlivePen, nullptr},
  };
  for (const StyleTools& tools : kStyles) {
    if (tools.style != style) continue;
    state.pen = tools.pen;
    if (tools.brush != nullptr) state.brush = *tools.brush;
  }

  switch (mode) {
    case 1:
    case 7:
    case 8:
      state.rasterOp = RasterOp::copy;
      state.background = kBlack;
      break;
    case 3:
      state.rasterOp = RasterOp::copy;
      state.background = kWhite;
      break;
    case 2:
    case 5:
      state.rasterOp = RasterOp::invert;
      state.background = kWhite;
      state.brush = kHollowBrush;
      break;
    case 9:
      state.brush = kHollowBrush;
      break;
    default:
      break;
  }

  device.SetState(state);
  return previous;
}

// --- Record ---

void IViewTran::HoldCamera(CArchive& ar, ICamera* camera) {
  if (camera == nullptr || camera == ownCamera_.get()) return;
  const bool held = ar.HoldUntilClaimed(camera, [this, camera] {
    auto it = std::find_if(heldCameras_.begin(), heldCameras_.end(),
                           [camera](const std::unique_ptr<ICamera>& c) { return c.get() == camera; });
    if (it != heldCameras_.end()) {
      it->release();
      heldCameras_.erase(it);
    }
  });
  if (held) heldCameras_.emplace_back(camera);
}

void IViewTran::Serialize(CArchive& ar) {
  CArchive::Group group(ar, "IViewTran");
  uint16_t version = kViewTranVersion;
  ar.Transfer("version", version);

  if (ar.IsStoring()) {
    ar.Transfer("viewType", viewType_);
    ar.Label("camera");
    ar.WriteObject(HasOwnCamera() ? nullptr : camera_);
    ar.Transfer("centreH", centreH_);
    ar.Transfer("centreV", centreV_);
    ar.Transfer("viewWidth", viewWidth_);
    ar.Transfer("worldWidth", worldWidth_);
    ar.Transfer("displayEditingObjects", displayEditingObjects_);
    uint16_t left = ToWord(clientLeft_), topEdge = ToWord(clientTop_);
    uint16_t width = ToWord(width_), height = ToWord(height_);
    ar.Transfer("clientLeft", left);
    ar.Transfer("clientTop", topEdge);
    ar.Transfer("width", width);
    ar.Transfer("height", height);
    ar.Transfer("removeBackFaces", removeBackFaces_);
    return;
  }

  ICamera* loaded = nullptr;
  if (version >= 1 && version <= kViewTranVersion) {
    ar.Transfer("viewType", viewType_);
    if (viewType_ < top || viewType_ > camera) viewType_ = front;
    ar.Label("camera");
    loaded = static_cast<ICamera*>(ar.ReadObject(RUNTIME_CLASS(ICamera)));
    HoldCamera(ar, loaded);
    // Attached at once, so that a failure further on leaves no stale camera.
    SetCamera(loaded);
    if (version == 1) {
      uint16_t words[4] = {};
      ar.Transfer("centreH", words[0]);
      ar.Transfer("centreV", words[1]);
      ar.Transfer("viewWidth", words[2]);
      ar.Transfer("worldWidth", words[3]);
      centreH_ = words[0];
      centreV_ = words[1];
      viewWidth_ = words[2];
      worldWidth_ = words[3];
    } else {
      ar.Transfer("centreH", centreH_);
      ar.Transfer("centreV", centreV_);
      ar.Transfer("viewWidth", viewWidth_);
      ar.Transfer("worldWidth", worldWidth_);
    }
    ar.Transfer("displayEditingObjects", displayEditingObjects_);
    uint16_t rect[4] = {};
    ar.Transfer("clientLeft", rect[0]);
    ar.Transfer("clientTop", rect[1]);
    ar.Transfer("width", rect[2]);
    ar.Transfer("height", rect[3]);
    SetClientRect(rect[0], rect[1], rect[2], rect[3]);
    removeBackFaces_ = 0;
    if (version == 3) ar.Transfer("removeBackFaces", removeBackFaces_);
  }
  SetCamera(loaded);
}

}  // namespace brevoxa
