// IObject: a form object, the modelled thing of a scene. A form owns a set
// of shared points and a set of layers of polygons over them, carries its
// own frame, and keeps its geometry (the body) in a form file of its own;
// the workspace stores only its header. A clone has a master form, writes no
// body and loads the master's.
//
// Invariants: every polygon refers only to points in the form's own points
// list; each point's world position is the form frame's LocalToWorld of its
// local position once an operation is complete (a drag step moves the frame
// or a world position alone, and its End form restores the rule).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "math/bounds.h"
#include "persist/object_store.h"
#include "scene/axis.h"
#include "scene/ob_list.h"
#include "scene/root.h"

namespace brevoxa {

class IArchiveTrace;
class ILayer;
class IPoint;
class IPolygon;

// The kinds of clipboard record, as the workspace's clipboard names them.
inline constexpr int kClipItems = 1;
inline constexpr int kClipPolygons = 2;
inline constexpr int kClipPoints = 3;
inline constexpr int kClipLayers = 4;

class IObject : public IRoot {
  DECLARE_SERIAL(IObject)
 public:
  // Within this tolerance in every coordinate, welded points are one.
  static constexpr double kWeldTolerance = 1e-5;
  // The last number MakeFileName tries is one above this.
  static constexpr int kLastFileNumber = 9998;

  IObject();
  ~IObject() override;
  IObject(const IObject&) = delete;
  IObject& operator=(const IObject&) = delete;

  // --- Records ---

  // The header with the body in the form file: SerializeForm(ar, true, false).
  void Serialize(CArchive& ar) override;
  // The header, then the body: inline when external is false, else in the
  // form file (none for a clone). With rawMaster the master is written as
  // an opaque 32-bit id (see GetFormId) instead of an object reference, so
  // that a copy never brings a second master object to life; an id read
  // back is only kept (GetMasterId), never followed.
  //
  // Saving an external body writes a temporary beside the form file and
  // renames it over the file once complete, so a failed save leaves the
  // previous form file as it was; failures propagate to the caller. A body
  // that cannot be opened or read on loading is reported as "Unable to load
  // the external form object" and the form keeps its header alone.
  void SerializeForm(CArchive& ar, bool external, bool rawMaster);
  // The body record: version, the IRoot record, description, externalName,
  // layers, points, extra. Loading replaces the form's body only when the
  // whole record was read and is consistent; on failure it throws and the
  // form is unchanged.
  void SerializeBody(CArchive& ar);
  // The geometry inline and the master as an id.
  void SerializeCopy(CArchive& ar) override;
  // A copy that has no clones of its own; the copy of a clone keeps the
  // master's id (GetMasterId) but is not linked to it, so the caller
  // decides whether it becomes a clone (and raises the master's count).
  std::unique_ptr<IRoot> Duplicate() const override;

  // --- Names and files ---

  std::string GetName() const override { return name_; }
  void SetName(const std::string& name) override { name_ = name; }
  std::string GetFileName() const override { return fileName_.GetName(); }
  void SetFileName(const std::string& name) override { fileName_.SetName(name); }
  std::string GetFilePath() const override { return fileName_.GetFullPath(); }
  void SetFilePath(const std::string& path) override { fileName_.SetName(path); }
  bool IsForm() const override { return true; }
  // Kinds 4 and 5 refuse with a message; otherwise picks the first name
  // "<base><letter><n>.FRM" from the given start on for which no file
  // exists. Fails, leaving the names as they were, once the numbers run out.
  bool MakeFileName(int startNumber, int kind) override;

  const std::string& GetDescription() const { return description_; }
  void SetDescription(const std::string& text) { description_ = text; }
  const std::string& GetExternalName() const { return externalName_; }
  void SetExternalName(const std::string& text) { externalName_ = text; }
  bool GetQuickDraw() const { return quickDraw_ != 0; }
  void SetQuickDraw(bool on) { quickDraw_ = on ? 1 : 0; }

  // --- Geometry ---

  IAxis& GetFrame() { return frame_; }
  const IAxis& GetFrame() const { return frame_; }
  // Owned; ILayer and IPoint elements only. After changing them directly,
  // call InvalidateBounds (and UpdateWorldGeometry after changing locals).
  IObList& GetLayers() { return layers_; }
  const IObList& GetLayers() const { return layers_; }
  IObList& GetPoints() { return points_; }
  const IObList& GetPoints() const { return points_; }
  // A third owned list, carried with the body unchanged.
  IObList& GetExtra() { return extra_; }
  // The first layer, which the polygon level edits; null when there is none.
  ILayer* GetFirstLayer() const;
  size_t GetPolygonCount() const;

  // Every point placed in the frame and every layer attached to it again.
  void UpdateWorldGeometry();
  void InvalidateBounds() { boundsValid_ = 0; }
  bool AreBoundsValid() const { return boundsValid_ != 0; }
  // From local positions: the box that quick drawing shows through the frame.
  const CBoundingBox& GetLocalBounds() const { return bounds_; }
  // From world positions, as UpdateBounds left it.
  const CBoundingBox& GetWorldBounds() const { return worldBounds_; }

  // Vertex normals: the normalised sums of the normals of the polygons
  // that use each point.
  void ComputeNormals() override;
  // The second half of ComputeNormals, for callers that compute the
  // polygons' own normals themselves (on several threads, say): the
  // points' sums in the order of the layers and their polygons.
  void SumPointNormals();
  void UpdateLocalBounds() override;
  void UpdateBounds() override;
  void AddToBounds(CBoundingBox& box) override;

  // --- Generators (primitives.cpp, sweeps.cpp) ---

  // Each adds one new layer (two for Extrude) of polygons over new points,
  // in the form's local coordinates, and returns it. Values the definition
  // dialogs would refuse (generator_settings.h), non-finite vectors, and
  // requests for more than kMaxGeneratedElements points and polygons add
  // nothing and return null.
  ILayer* AddDisk(double radius, int divisions, bool centrePoint);
  ILayer* AddCone(double radius, double height, int divisions, bool closeBottom);
  ILayer* AddCylinder(double topRadius, double bottomRadius, double height, int divisions, bool closeTop,
                      bool closeBottom);
  ILayer* AddSphere(double radius, int horizontalDivisions, int verticalDivisions);
  ILayer* AddPlane(double width, double height, int horizontalDivisions, int verticalDivisions);
  // Sweep the selected polygons of the first layer; with none selected the
  // empty layers are still added. Extrude returns "Extrusion Group".
  ILayer* Extrude(int divisions, const CVector& translation, const CVector& scale, const CVector& rotation);
  ILayer* Lathe(int divisions, bool sealedCentre);

  // The form's place is its frame's. These move the frame alone; the
  // points and layers follow with UpdateWorldGeometry.
  void SetPosition(const CVector& position) override { frame_.SetPosition(position); }
  void SetRotation(const CVector& rotation) override { frame_.SetRotation(rotation); }
  CVector GetPosition() const override { return frame_.GetPosition(); }
  CVector GetRotation() const override { return frame_.GetRotation(); }
  // The form and its frame handle are selected together.
  int Select(bool select) override;

  void OpenLinks() override;
  void CloseLinks() override;

  // --- Drawing ---

  // The frame, then the polygons of every layer, or only the bounding box
  // when quick drawing or drawing drag feedback (modes 5 and 7).
  void Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;
  // The frame's handle square.
  void DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int flags) override;
  void DrawLevel(int level, IDrawSurface& device, const IViewTran& view, int mode, int flags) override;
  void DrawLevelHandles(int level, IDrawSurface& device, const IViewTran& view, int mode,
                        int flags) override;

  // --- Editing levels ---

  bool CanScale() const override { return true; }
  bool CanRotate() const override { return true; }
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }
  bool EditProperties(IPropertyEditor& editor) override;

  bool HasSelection(int level) const override;
  bool CanPaste(int level, int clipboardKind) const override;
  bool SerializeSelection(int level, CArchive& ar, int& kind) override;
  bool HasMultipleSelection(int level) const override;

  // Level 0: this form's points, layers and extra elements move into the
  // other form (re-expressed in its frame), leaving this form empty.
  void Join(int level, IRoot& other) override;
  // Level 1: merges selected points that lie within kWeldTolerance of each
  // other (the first in list order stays); polygons use the kept point and
  // lose vertices that became repeated neighbours. Level 2: the polygons of
  // every further selected layer move into the first selected layer, and
  // those layers are destroyed.
  void WeldPoints(int level) override;
  void SelectElements(int level, IObList& list) override;

  void MoveElement(int level, IDrawable& element, const CVector& v, int mode) override;
  void EndMoveElement(int level, IDrawable& element, const CVector& v, int mode) override;
  void RotateElement(int level, IDrawable& element, const CVector& v, int mode) override;
  void RotateElementAgain(int level, IDrawable& element, const CVector& v, int mode) override;
  void EndRotateElement(int level, IDrawable& element, const CVector& v, int mode) override;
  void ScaleElement(int level, IDrawable& element, const CVector& v, int mode) override;
  void EndScaleElement(int level, IDrawable& element, const CVector& v, int mode) override;

  bool EditElementProperties(int level, IDrawable& element, IPropertyEditor& editor) override;

  int GetLevelCount() const override { return 4; }
  IObList* GetLevelList(int level) override;
  std::string GetLevelName(int level) const override;
  std::string GetElementName(int level, const IDrawable& element) const override;
  bool CanApply(int targetLevel, int currentLevel) const override;
  IDrawable* AddElementAt(const CVector& position, int level, IPolygon*& currentPolygon,
                          const IViewTran& view) override;
  // The selected elements of the level leave the form for the list; the
  // selected counts of both sides follow.
  void DetachSelection(int level, IObList& list) override;
  void ClearPointMarks(int level) override;
  void MarkPolygonsUsing(int level, const IPoint& point) override;
  // Level 3: a polygon that is not planar is taken out of the first layer,
  // "Polygon must be planar." is shown and the answer is false; the polygon
  // then belongs to the caller, which erases and destroys it.
  bool ValidateElement(int level, IDrawable& element) override;

  // How many polygons and layers use the point.
  void CountUsers(const IPoint& point, int& polygons, int& layers) const;

  // --- Clones ---

  bool HasClones() const override { return cloneCount_ > 0; }
  void AddClone() override;
  void RemoveClone() override;
  void ResetClones() override { cloneCount_ = 0; }
  int GetCloneCount() const { return cloneCount_; }
  bool IsClone() const override { return cloneMaster_ != nullptr; }
  // A form is never its own master. The clone counts are the caller's.
  void SetCloneMaster(IObject* master) override;
  IObject* GetCloneMaster() const override { return cloneMaster_; }
  // The body becomes a copy of the master's; placement and names stay.
  void UpdateFromMaster() override;
  bool IsLinked() const override { return IsClone(); }

  // A number that tells live forms of this process apart, written for the
  // master in copies and clipboard records. Ids mean nothing in another
  // process and are never stored in files.
  uint32_t GetFormId() const { return formId_; }
  // The master id a copy or a clipboard record carried (0: none). The
  // editor finds the live form with that GetFormId and links it with
  // SetCloneMaster, which clears this.
  uint32_t GetMasterId() const { return masterId_; }

 private:
  struct Body;

  // False when the version word is not one this class knows.
  bool SerializeHeader(CArchive& ar, bool rawMaster);
  void StoreExternalBody();
  // The trace of the archive that holds the header, if any, also sees the
  // body read from the form file.
  void LoadExternalBody(IArchiveTrace* trace);
  // Reads a body record and installs it; throws, changing nothing, on failure.
  void LoadBody(CArchive& ar);
  void InstallBody(Body& body);
  void WriteBody(CArchive& ar);

  // Clipboard records of the sub-levels.
  void StoreSelectedPoints(CArchive& ar);
  void LoadPoints(CArchive& ar, Body& pasted);
  void SelectPointsOf(const IObList& polygons, bool selectedOnly);
  void FinishPaste(CArchive& ar, size_t mark, Body& pasted);

  void DetachPoints(IObList& list);
  void WeldSelectedPoints();
  void WeldSelectedLayers();
  void EndLevelEdit(int level, IDrawable& element);
  void DrawBox(IDrawSurface& device, const IViewTran& view, int mode);
  ILayer& FirstLayerOrNew();
  IPoint* AddPointAt(const CVector& world);

  IAxis frame_{10, 1};
  IObList layers_;
  IObList points_;
  IObList extra_;
  IObList handles_{true};
  CBoundingBox bounds_;
  CBoundingBox worldBounds_;
  int32_t boundsValid_ = 0;
  uint8_t quickDraw_ = 0;
  std::string name_;
  std::string previousName_;
  CFileName previousFileName_{"FORM.FRM"};
  CFileName fileName_{"FORM.FRM"};
  std::string description_;
  std::string externalName_;
  IObject* cloneMaster_ = nullptr;
  uint16_t cloneCount_ = 0;
  int attemptCounter_ = 0;
  uint32_t formId_;
  uint32_t masterId_ = 0;
};

}  // namespace brevoxa
