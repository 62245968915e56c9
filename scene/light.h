// ILight: a point light, a top-level item moved by its one handle point and
// drawn in the editing views as a small three-axis star.
#pragma once

#include <array>
#include <string>

#include "scene/axis.h"
#include "scene/ob_list.h"
#include "scene/point.h"
#include "scene/root.h"

namespace brevoxa {

class ILight : public IRoot {
  DECLARE_SERIAL(ILight)
 public:
  static constexpr int kMarkerPointCount = 12;
  static constexpr int kArmCount = 6;

  ILight();
  ~ILight() override;
  ILight(const ILight&) = delete;
  ILight& operator=(const ILight&) = delete;

  // record: version 1, name, colour, the IRoot record, position.
  void Serialize(CArchive& ar) override;

  std::string GetName() const override { return name_; }
  void SetName(const std::string& name) override { name_ = name; }

  // Light colour on the 0..255 scale.
  const CVector& GetColour() const { return colour_; }
  void SetColour(const CVector& colour) { colour_ = colour; }

  // The star's arms; in a camera view only while the view displays editing
  // objects.
  void Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;

  // The position is the handle's world position.
  void SetPosition(const CVector& position) override { handle_.SetPosition(position); }
  CVector GetPosition() const override { return handle_.GetPosition(); }
  // Selection lives on the handle, as the editor picks the handle.
  int Select(bool select) override;
  int IsSelected() const override { return handle_.IsSelected(); }

  // A light is dragged by its handle and has a properties sheet, so it
  // answers as a camera does.
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }
  bool EditProperties(IPropertyEditor& editor) override;

  // The whole light, clipboard kind 1.
  bool SerializeSelection(int level, CArchive& ar, int& kind) override;
  void MoveElement(int level, IDrawable& element, const CVector& position, int mode) override;
  int GetLevelCount() const override { return 1; }
  IObList* GetLevelList(int level) override;
  std::string GetLevelName(int level) const override;
  std::string GetElementName(int level, const IDrawable& element) const override;

  IPoint& Handle() { return handle_; }
  // The marker's end points: local positions fixed in the light's frame,
  // world positions as of the last PlaceMarker (Draw places it first).
  const IPoint& MarkerPoint(int index) const { return marker_[index]; }
  const IAxis& Frame() const { return frame_; }
  // Moves the frame to the light's position and the marker with it.
  void PlaceMarker();

 private:
  CVector colour_{255, 255, 255};
  IPoint handle_;
  IObList handleList_;
  std::array<IPoint, kMarkerPointCount> marker_;
  IAxis frame_;
  std::string name_;
};

}  // namespace brevoxa
