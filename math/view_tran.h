// IViewTran: the mapping between world space and the pixels of one editing
// view: three parallel projections (Top, Front, Right) and the perspective
// of a camera. Elements draw through it; the editor maps mouse positions
// back through it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "math/vector.h"
#include "persist/object.h"
#include "scene/draw_surface.h"

namespace brevoxa {

class ICamera;
class IPoint;

struct PixelPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const PixelPoint&) const = default;
};

class IViewTran : public CObject {
  DECLARE_SERIAL(IViewTran)
 public:
  enum ViewType : uint8_t { top = 1, front = 2, right = 3, camera = 4 };

  IViewTran();
  ~IViewTran() override;
  IViewTran(const IViewTran&) = delete;
  IViewTran& operator=(const IViewTran&) = delete;

  int GetViewType() const { return viewType_; }
  void SetViewType(int type) { viewType_ = static_cast<uint8_t>(type); }
  bool IsCameraView() const { return viewType_ == camera; }

  // Pan and zoom of the parallel views (0 in a camera view, except the
  // view width, which is the camera's view-plane width there).
  double GetCentreH() const;
  double GetCentreV() const;
  double GetWorldWidth() const;
  double GetViewWidth() const;
  void SetCentre(double h, double v) { centreH_ = h; centreV_ = v; }
  void SetViewWidth(double width) { viewWidth_ = width; }
  void SetWorldWidth(double width) { worldWidth_ = width; }

  // The client rectangle; width and height are its size in pixels.
  void SetClientRect(int32_t left, int32_t top, int32_t width, int32_t height);
  int32_t GetWidth() const { return width_; }
  int32_t GetHeight() const { return height_; }

  bool GetDisplayEditingObjects() const { return displayEditingObjects_ != 0; }
  void SetDisplayEditingObjects(bool on) { displayEditingObjects_ = on ? 1 : 0; }
  bool GetRemoveBackFaces() const { return removeBackFaces_ != 0; }
  void SetRemoveBackFaces(bool on) { removeBackFaces_ = on ? 1 : 0; }

  // Attaches a scene camera (not owned); null attaches the view's own
  // "No Camera" camera.
  void SetCamera(ICamera* camera);
  ICamera* GetCamera() const { return camera_; }
  bool HasOwnCamera() const { return camera_ == ownCamera_.get(); }

  // Parallel views: v is a world point. Camera view: v is already in camera
  // coordinates (ICamera::ToCamera).
  void Project(const CVector& v, double& x, double& y) const;
  // The point's world position in a parallel view, its scratch camera
  // coordinates in a camera view.
  void ProjectPoint(const IPoint& point, double& x, double& y) const;
  // The same, truncated toward zero. Coordinates beyond +-kPixelLimit are
  // held there and a non-finite one becomes 0, so that no conversion is
  // undefined and the sum or difference of two pixels still fits 32 bits.
  static constexpr int32_t kPixelLimit = 1 << 30;
  PixelPoint ToPixel(const CVector& v) const;
  PixelPoint ToPixel(const IPoint& point) const;

  // Drawing helpers that take world points in every view type. A camera
  // view maps them through the attached camera and keeps only what lies
  // beyond its view plane: ProjectWorld answers false for a point that does
  // not, ProjectSegment cuts a segment at the plane and answers false when
  // nothing of it is left.
  bool ProjectWorld(const CVector& world, PixelPoint& pixel) const;
  bool ProjectSegment(const CVector& a, const CVector& b, PixelPoint& pa, PixelPoint& pb) const;
  // Camera coordinates: cuts the segment where z equals the attached
  // camera's view-plane distance and keeps the part in front (z beyond it).
  bool ClipToFront(CVector& a, CVector& b) const;

  void ScreenToPlane(double x, double y, double& h, double& v) const;
  // The world point under (x, y) on the plane through the origin.
  CVector ScreenToWorld(double x, double y) const;
  // 0.0 when b lies within 3 pixels of a in both screen directions of a
  // parallel view, else -1.0 (always -1.0 in a camera view).
  double HitTest(const CVector& a, const CVector& b) const;

  // Selects pen, brush, raster operation and background for a drawing mode
  // and pen style; returns the state before, for the caller to restore.
  DrawState SelectDrawMode(IDrawSurface& device, int mode, int style) const;

  // record version 3; loads versions 1 to 3. The camera is written as an
  // object reference (none while the own camera is attached). A workspace
  // writes its views before its items, so the reference is usually the
  // first appearance of a scene camera, which the item list claims later in
  // the same stream. Should no owner ever claim it (a damaged file), the
  // view keeps it alive itself and destroys it with the view; see
  // CArchive::HoldUntilClaimed.
  void Serialize(CArchive& ar) override;

 private:
  // Pixels per world unit: width over the view width (the camera's view-
  // plane width in a camera view); 0 when that is not a finite number.
  double Scale() const;
  void HoldCamera(CArchive& ar, ICamera* camera);

  uint8_t viewType_ = front;
  std::unique_ptr<ICamera> ownCamera_;
  ICamera* camera_ = nullptr;
  // Cameras read from a stream that no scene list claimed.
  std::vector<std::unique_ptr<ICamera>> heldCameras_;
  int32_t clientLeft_ = 0, clientTop_ = 0, width_ = 0, height_ = 0;
  double centreH_ = 0.0, centreV_ = 0.0;
  double viewWidth_ = 100.0;
  double worldWidth_ = 1000.0;
  uint8_t displayEditingObjects_ = 1;
  uint8_t removeBackFaces_ = 0;
};

}  // namespace brevoxa
