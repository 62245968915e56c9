// The property dialogs as the scene model sees them. The editor implements
// one method per dialog with its toolkit and tests answer with fakes, so no
// element ever needs a widget to offer its properties.
#pragma once

namespace brevoxa {

class ICamera;
class ILayer;
class ILight;
class IObject;
class IPoint;
class IPolygon;

class IPropertyEditor {
 public:
  virtual ~IPropertyEditor() = default;

  // "Camera Properties"; true when confirmed (CameraProperties has the
  // values and their ranges).
  virtual bool EditCamera(ICamera&) { return false; }
  // "Light Properties": name and colour; true when confirmed.
  virtual bool EditLight(ILight&) { return false; }
  // "Form Properties": General, External and information pages; the sheet
  // sets what the user confirmed and returns true.
  virtual bool EditForm(IObject&) { return false; }
  // "Layer Properties": name and material file name; true when confirmed.
  virtual bool EditLayer(ILayer&) { return false; }
  // "Polygon Properties": the information line "Points".
  virtual bool EditPolygon(IPolygon&) { return false; }
  // "Point Properties": the information lines "Polygons In" and "Layers In".
  virtual bool EditPoint(IPoint&, int /*polygonsIn*/, int /*layersIn*/) { return false; }
};

}  // namespace brevoxa
