// IRoot: a top-level scene item (form, camera, light). Adds to the element
// interface the operations of the editing levels: selection, clipboard
// records, drags, handles and clones of the item's sub-elements.
#pragma once

#include <memory>
#include <string>

#include "scene/drawable.h"

namespace brevoxa {

class IObList;
class IObject;
class IPoint;
class IPolygon;

// Editing levels: what the editor picks and changes inside an item.
inline constexpr int kRootLevel = 0;
inline constexpr int kPointLevel = 1;
inline constexpr int kLayerLevel = 2;
inline constexpr int kPolygonLevel = 3;

class IRoot : public IDrawable {
  DECLARE_SERIAL(IRoot)
 public:
  IRoot() = default;
  ~IRoot() override = default;

  // The item's version word, then the element record.
  void Serialize(CArchive& ar) override;

  // Names and files.
  virtual void SetName(const std::string& name);
  virtual std::string GetFileName() const;
  virtual void SetFileName(const std::string& name);
  virtual std::string GetFilePath() const;
  virtual void SetFilePath(const std::string& path);
  virtual bool IsForm() const;
  // Chooses a file name that no file has yet; false when none was found.
  virtual bool MakeFileName(int startNumber, int kind);

  // Places a new item at a point clicked in a view of the given width.
  virtual void PlaceAt(const CVector& position, double size);

  // Selection and the clipboard.
  virtual bool HasSelection(int level) const;
  virtual bool CanPaste(int level, int clipboardKind) const;
  // Storing writes the level's record and sets kind; loading reads one and
  // refuses (false) a record of another kind.
  virtual bool SerializeSelection(int level, CArchive& ar, int& kind);
  virtual bool HasMultipleSelection(int level) const;

  // Geometry edits.
  virtual void Join(int level, IRoot& other);
  virtual void WeldPoints(int level);
  virtual void UpdateLocalBounds();
  virtual void SelectElements(int level, IObList& list);

  // Drags. The plain form runs on every mouse step, "Again" repeats a step
  // and "End" finishes the drag. An item that only knows how to move gets
  // the repeats and ends of rotating through MoveElement.
  virtual void MoveElement(int level, IDrawable& element, const CVector& v, int mode);
  virtual void MoveElementAgain(int level, IDrawable& element, const CVector& v, int mode);
  virtual void EndMoveElement(int level, IDrawable& element, const CVector& v, int mode);
  virtual void RotateElement(int level, IDrawable& element, const CVector& v, int mode);
  virtual void RotateElementAgain(int level, IDrawable& element, const CVector& v, int mode);
  virtual void EndRotateElement(int level, IDrawable& element, const CVector& v, int mode);
  virtual void ScaleElement(int level, IDrawable& element, const CVector& v, int mode);
  virtual void ScaleElementAgain(int level, IDrawable& element, const CVector& v, int mode);
  virtual void EndScaleElement(int level, IDrawable& element, const CVector& v, int mode);

  virtual bool EditElementProperties(int level, IDrawable& element, IPropertyEditor& editor);
  virtual void AfterElementEdit(int level, IDrawable& element);

  // Editing levels.
  virtual int GetLevelCount() const;
  // The elements offered at a level; null when the item has none.
  virtual IObList* GetLevelList(int level);
  virtual std::string GetLevelName(int level) const;
  virtual std::string GetElementName(int level, const IDrawable& element) const;
  // May the editor switch this item from the current to the target level?
  virtual bool CanApply(int targetLevel, int currentLevel) const;
  // The editor's add mode. currentPolygon is the polygon being built at the
  // polygon level (null when none is); the new or extended element is returned.
  virtual IDrawable* AddElementAt(const CVector& position, int level, IPolygon*& currentPolygon,
                                  const IViewTran& view);
  // Moves the selected elements of the level out of the item into the list.
  virtual void DetachSelection(int level, IObList& list);
  virtual void ClearPointMarks(int level);
  virtual void MarkPolygonsUsing(int level, const IPoint& point);
  virtual void DrawLevel(int level, IDrawSurface& device, const IViewTran& view, int mode, int flags);
  virtual void DrawLevelHandles(int level, IDrawSurface& device, const IViewTran& view, int mode,
                                int flags);
  // Checks an element just added or edited; false when it was refused.
  virtual bool ValidateElement(int level, IDrawable& element);

  // Clones: a master counts the items that copy its geometry.
  virtual bool HasClones() const;
  virtual void AddClone();
  virtual void RemoveClone();
  virtual void ResetClones();
  virtual bool IsClone() const;
  virtual void SetCloneMaster(IObject* master);
  virtual IObject* GetCloneMaster() const;
  virtual void UpdateFromMaster();
  virtual bool IsLinked() const;

  // A new, independent item of the same class, copied through a memory
  // stream with SerializeCopy.
  virtual std::unique_ptr<IRoot> Duplicate() const;
  // The record Duplicate copies. A form overrides it to carry its geometry
  // inline rather than in its form file.
  virtual void SerializeCopy(CArchive& ar);

  // Recomputes the bounding box from world positions.
  virtual void UpdateBounds();
};

}  // namespace brevoxa
