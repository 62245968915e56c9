// Building blocks of the store's workspaces: cameras aimed at a point,
// lights, editing views, forms with their material, and two shapes the
// primitive generators do not make directly (a box with sharp edges and a
// ring of circular section).
#pragma once

#include <memory>
#include <string>

#include "math/vector.h"
#include "scene/view_record.h"

namespace brevoxa {
class ICamera;
class ILayer;
class ILight;
class IObject;
class Workspace;
}  // namespace brevoxa

namespace brevoxa::store {

// A camera at eye looking at target with world Z up on its picture.
ICamera* AddCamera(Workspace& ws, const std::string& name, const CVector& eye, const CVector& target,
                   double viewPlaneWidth, double viewPlaneDistance);

ILight* AddLight(Workspace& ws, const std::string& name, const CVector& position, const CVector& colour);

// A view through the camera whose frame takes the placement (in 1/10000 of
// the main window's client area).
CViewRecord& AddCameraView(Workspace& ws, ICamera& camera, const PixelRect& placement);

// A Top, Front or Right view (IViewTran::top ... right) centred on the
// view-plane point (h, v) with viewWidth world units across.
CViewRecord& AddParallelView(Workspace& ws, int viewType, const std::string& name, double h, double v,
                             double viewWidth, const PixelRect& placement);

// An empty form with its own form file, placed and turned (degrees).
std::unique_ptr<IObject> NewForm(const std::string& name, const std::string& fileName, const CVector& position,
                                 const CVector& rotation = {});

// Names the material file in every layer of the form, places its points and
// layers in its frame, and hands the form to the workspace.
IObject* AddForm(Workspace& ws, std::unique_ptr<IObject> form, const std::string& materialFile);

// A box of the given edge lengths centred on the form's origin. Each face
// has points of its own, so smooth shading keeps the edges sharp.
ILayer* AddBox(IObject& form, const CVector& size);

// A ring round the form's z axis: a circle of `sides` points and radius
// tubeRadius, ringRadius from the axis, lathed in `divisions` steps. The
// circle only guides the lathe and is removed afterwards.
ILayer* AddRing(IObject& form, double ringRadius, double tubeRadius, int divisions, int sides);

}  // namespace brevoxa::store
