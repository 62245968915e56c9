// IDrawable: the root of every scene element. One virtual interface for
// naming, persistence, drawing, hit testing, selection, transformation and
// property dialogs; every default here is what a plain element does.
#pragma once

#include <cstdint>
#include <string>

#include "math/vector.h"
#include "persist/object.h"

namespace brevoxa {

class IDrawSurface;
class IPropertyEditor;
class IViewTran;
struct CBoundingBox;
struct HitRecord;

// Drawing modes that Draw and DrawHandle treat specially.
inline constexpr int kDrawModeRepeat = 10;      // draw with the mode used last time
inline constexpr int kDrawModeDragFeedback = 7;  // drawn, but never remembered

class IDrawable : public CObject {
  DECLARE_SERIAL(IDrawable)
 public:
  IDrawable() = default;
  ~IDrawable() override = default;

  // Writes the version word; on loading the word is read and ignored.
  void Serialize(CArchive& ar) override;

  virtual std::string GetName() const;
  virtual void ComputeNormals();
  virtual bool Intersect(HitRecord& hit, int flags);

  virtual void Draw(IDrawSurface& device, const IViewTran& view, int mode, int flags);
  virtual void DrawHandle(IDrawSurface& device, const IViewTran& view, int mode, int flags);

  // Open and close the settings documents the element's links name.
  virtual void OpenLinks();
  virtual void CloseLinks();

  virtual void SetPosition(const CVector& position);
  virtual void SetRotation(const CVector& rotation);
  virtual void SetScale(const CVector& scale);

  // Returns the change in selection: 0 when already in that state, +1 when
  // newly selected, -1 when newly deselected. Lists add it to their count.
  virtual int Select(bool select);

  // Extends the box so that it contains the element.
  virtual void AddToBounds(CBoundingBox& box);

  virtual CVector GetPosition() const;
  virtual CVector GetRotation() const;
  virtual CVector GetScale() const;
  virtual int IsSelected() const;
  virtual bool IsPolygon() const;

  // Capabilities. The three drag flags answer whether the editor may scale,
  // rotate or move the element (editing modes 3, 4 and 5, in that order).
  virtual bool CanScale() const;
  virtual bool CanRotate() const;
  virtual bool CanMove() const;
  // Enables "Display the contents information of the selection".
  virtual bool HasContentsInfo() const;
  // Enables "&Properties..." for the selection.
  virtual bool HasProperties() const;

  // Shows the element's property dialog; true when the user confirmed it.
  virtual bool EditProperties(IPropertyEditor& editor);
  virtual void AfterEdit();

  // Curved-drag weight.
  virtual double GetWeight() const;
  virtual void SetWeight(double weight);

  int GetDrawMode() const { return drawMode_; }
  int GetHandleMode() const { return handleMode_; }

 protected:
  // The mode Draw and DrawHandle actually use, remembering it as they must.
  int ResolveDrawMode(int mode) { return ResolveMode(drawMode_, mode); }
  int ResolveHandleMode(int mode) { return ResolveMode(handleMode_, mode); }

  int32_t selected_ = 0;
  uint8_t drawMode_ = 1;
  uint8_t handleMode_ = 1;

 private:
  static int ResolveMode(uint8_t& stored, int mode);
};

}  // namespace brevoxa
