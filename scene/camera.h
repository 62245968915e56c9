// ICamera: the viewpoint of a perspective view and of the renderer, edited
// through three handle points (eye, target, up point) at its one level.
#pragma once

#include <optional>
#include <string>

#include "scene/ob_list.h"
#include "scene/point.h"
#include "scene/root.h"
#include "ui/field_range.h"

namespace brevoxa {

// The values of the "Camera Properties" sheet and the ranges its page
// checks when OK is pressed.
struct CameraProperties {
  static constexpr NumberRange kViewPlaneRange{0.1, 30000.0};

  std::string name;
  double viewPlaneWidth = 10.0;
  double viewPlaneDistance = 10.0;

  // The range message for the first field out of range (width, then
  // distance, in the order of the page), or nothing when all are accepted.
  std::optional<std::string> Check() const;
};

class ICamera : public IRoot {
  DECLARE_SERIAL(ICamera)
 public:
  ICamera();
  ~ICamera() override;

  // record: version 1, name, the IRoot record, eye, target, up point (world
  // positions), view-plane distance, view-plane width; the frame is rebuilt.
  void Serialize(CArchive& ar) override;

  std::string GetName() const override { return name_; }
  void SetName(const std::string& name) override { name_ = name; }

  void Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;
  void DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;

  void SetPosition(const CVector& position) override;
  CVector GetPosition() const override { return eye_.world; }
  int Select(bool select) override;
  int IsSelected() const override;
  void AddToBounds(CBoundingBox& box) override;

  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }
  bool EditProperties(IPropertyEditor& editor) override;

  void PlaceAt(const CVector& position, double size) override;
  bool HasSelection(int level) const override;
  bool CanPaste(int level, int kind) const override;
  bool SerializeSelection(int level, CArchive& ar, int& kind) override;
  void MoveElement(int level, IDrawable& element, const CVector& position, int mode) override;
  void EndMoveElement(int level, IDrawable& element, const CVector& position, int mode) override;
  int GetLevelCount() const override { return 1; }
  IObList* GetLevelList(int level) override;
  std::string GetLevelName(int level) const override;
  std::string GetElementName(int level, const IDrawable& element) const override;

  CVector GetDirectionVector() const { return target_.world - eye_.world; }
  CVector GetUpVector() const { return upPoint_.world - eye_.world; }
  CVector GetTarget() const { return target_.world; }
  CVector GetUpPoint() const { return upPoint_.world; }
  void SetTarget(const CVector& p) { target_.world = p; UpdateFrame(); }
  void SetUpPoint(const CVector& p) { upPoint_.world = p; UpdateFrame(); }

  // Recomputes right, up, direction and origin from the three points.
  void UpdateFrame();
  // Camera coordinates of a world point: x right, y up, z along the view.
  CVector ToCamera(const CVector& p) const {
    CVector d = p - origin_;
    return {d.Dot(right_), d.Dot(up_), d.Dot(direction_)};
  }
  // Copies eye (through SetPosition), target, up point and the frame.
  void CopyFrom(const ICamera& other);

  const CVector& GetRight() const { return right_; }
  const CVector& GetUp() const { return up_; }
  const CVector& GetDirection() const { return direction_; }
  double GetViewPlaneDistance() const { return viewPlaneDistance_; }
  double GetViewPlaneWidth() const { return viewPlaneWidth_; }
  void SetViewPlaneDistance(double d) { viewPlaneDistance_ = d; }
  void SetViewPlaneWidth(double w) { viewPlaneWidth_ = w; }

  // The sheet's values, and taking them over on OK: the name through
  // SetName and both view-plane values. Values out of range change nothing
  // and answer false.
  CameraProperties GetProperties() const;
  bool SetProperties(const CameraProperties& properties);

  IPoint& Eye() { return eye_; }
  IPoint& TargetPoint() { return target_; }
  IPoint& UpHandle() { return upPoint_; }

 private:
  IObList handles_{true};
  IPoint eye_, target_, upPoint_;
  CVector right_, up_, direction_, origin_;
  double viewPlaneDistance_ = 10.0;
  double viewPlaneWidth_ = 10.0;
  std::string name_ = "CAMERAX";
};

}  // namespace brevoxa
