// ILayer: a group of polygons of a form with one material. Its data begins
// with a complete frame and it reuses the frame's operations, so in C++ it is
// an IAxis; its class record names IDrawable as its base, as stored files
// expect, so IsKindOf(IAxis) is false for a layer. The frame's local values
// are relative to the form's frame.
#pragma once

#include <string>

#include "persist/link.h"
#include "scene/axis.h"
#include "scene/ob_list.h"

namespace brevoxa {

class ILayer : public IAxis {
  DECLARE_SERIAL(ILayer)
 public:
  ILayer();
  // Destroys the polygons; the points they use belong to the form.
  ~ILayer() override;
  ILayer(const ILayer&) = delete;
  ILayer& operator=(const ILayer&) = delete;

  // record: version 1, name, the frame record, the IDrawable record, the
  // polygons, the material file name.
  void Serialize(CArchive& ar) override;

  std::string GetName() const override { return name_; }
  virtual void SetName(const std::string& name) { name_ = name; }

  // Owned; IPolygon elements only.
  IObList& GetPolygons() { return polygons_; }
  const IObList& GetPolygons() const { return polygons_; }
  IMaterialLink& GetMaterial() { return material_; }
  const IMaterialLink& GetMaterial() const { return material_; }

  void ComputeNormals() override;

  // Draw shows the polygons; DrawHandle the frame and then the handle square.
  virtual void DrawPolygons(IDrawSurface& device, const IViewTran& view, int mode, int flags);
  virtual void DrawFrame(IDrawSurface& device, const IViewTran& view, int mode, int flags);
  void Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;
  void DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;

  // Open and close the material for a render.
  void OpenLinks() override { material_.Open(); }
  void CloseLinks() override { material_.Close(); }

  bool CanScale() const override { return true; }
  bool CanRotate() const override { return true; }
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }
  bool EditProperties(IPropertyEditor& editor) override;
  double GetWeight() const override { return 1.0; }

 private:
  IObList polygons_;
  IMaterialLink material_;
  std::string name_ = "Layer";
};

}  // namespace brevoxa
