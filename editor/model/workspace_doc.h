// CWorkspaceDoc: the workspace document of the editor without any window.
// It owns one scene (a Workspace) and the shared editing state (level,
// mode, drag restriction, curved drag, the element being added), runs every
// editing command on it and tells its views what to redraw through update
// hints. Dialogs, property sheets, questions and status texts go through
// the services it is given, so the whole editor runs in tests.
//
// Clone invariant kept by every command: a clone's master is a form of the
// same scene that is not itself a clone, and each master's clone count is
// the number of scene items that name it as master.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "editor/model/command_enabling.h"
#include "editor/model/curved_drag.h"
#include "editor/model/object_list_model.h"
#include "editor/model/update_hints.h"
#include "math/vector.h"
#include "scene/generator_settings.h"
#include "scene/workspace.h"

namespace brevoxa {

class CArchive;
class ICamera;
class IDrawable;
class IEditorDialogs;
class IObject;
class IPropertyEditor;
class IRoot;
class IUserInterface;
class IViewTran;
class InternalClipboard;
struct AddModeCounters;
class NameCounter;

// Editing modes and drag restrictions.
inline constexpr int kSelectMode = 1;
inline constexpr int kAddMode = 2;
inline constexpr int kScaleMode = 3;
inline constexpr int kRotateMode = 4;
inline constexpr int kMoveMode = 5;
inline constexpr int kNoRestriction = 0;
inline constexpr int kHorizontalOnly = 1;
inline constexpr int kVerticalOnly = 2;

enum class Primitive { sphere, cylinder, cone, disk, plane };

// What a document needs from the application around it.
struct EditorServices {
  IUserInterface& ui;
  IEditorDialogs& dialogs;
  IPropertyEditor& properties;
  InternalClipboard& clipboard;
  AddModeCounters& counters;
};

class CWorkspaceDoc {
 public:
  explicit CWorkspaceDoc(const EditorServices& services);
  ~CWorkspaceDoc();
  CWorkspaceDoc(const CWorkspaceDoc&) = delete;
  CWorkspaceDoc& operator=(const CWorkspaceDoc&) = delete;

  // --- State the views read ---

  Workspace& GetWorkspace() { return workspace_; }
  IObList& GetItems() { return workspace_.GetItems(); }
  const IObList& GetItems() const { return workspace_.GetItems(); }
  // The head of the scene list, which is the first selected item whenever
  // anything is selected; null for an empty scene.
  IRoot* GetFirstItem() const;
  IRoot* GetFirstSelectedItem() const;
  // The selected items in list order.
  std::vector<IRoot*> GetSelectedItems() const;
  // Every selected element of the current level: at Root each selected
  // item paired with itself, otherwise each selected element of the
  // level's list of each selected item.
  std::vector<std::pair<IRoot*, IDrawable*>> GetSelectedElements() const;

  int GetLevel() const { return level_; }
  int GetMode() const { return mode_; }
  int GetRestriction() const { return restriction_; }
  const CurvedDragSettings& GetCurvedDrag() const { return curvedDrag_; }
  IDrawable* GetPendingElement() const { return pending_; }
  const ExtrudeSettings& GetExtrudeValues() const { return extrudeValues_; }
  const LatheSettings& GetLatheValues() const { return latheValues_; }
  ObjectListModel& GetObjectList() { return objectList_; }
  const ObjectListModel& GetObjectList() const { return objectList_; }
  InternalClipboard& GetClipboard() { return services_.clipboard; }
  const InternalClipboard& GetClipboard() const { return services_.clipboard; }
  IUserInterface& GetUi() { return services_.ui; }

  bool IsModified() const { return modified_; }
  void SetModified(bool modified = true);

  // --- Views ---

  void AddObserver(IDocumentObserver* observer) { observers_.Add(observer); }
  void RemoveObserver(IDocumentObserver* observer) { observers_.Remove(observer); }
  void Broadcast(int hint, IDrawable* element = nullptr) { observers_.Broadcast(hint, element); }

  // --- Workspace file ---

  // Loading replaces the scene and refills the object list; the editing
  // state is a new document's. Failures are reported through the ui.
  bool OpenWorkspace(const std::string& path);
  bool SaveWorkspace(const std::string& path);

  // --- Levels, modes, restriction (workspace_doc.cpp) ---

  void SetLevel(int level);
  void SetMode(int mode);
  // Scale, Rotate and Move give way to Select; Select and Add stay.
  void LeaveTransforms();
  void SetRestriction(int restriction);
  void CurvedDrag();
  void EndAddSequence();

  // --- Selection (selection_commands.cpp) ---

  void SelectAll();
  void InvertSelection();
  void SelectAllComponents();
  // The object list's own selection: the entry's item follows it.
  void SelectFromList(size_t index, bool select);

  // --- Delete, clipboard (delete_command.cpp, clipboard.cpp) ---

  void Delete();
  void Copy();
  void Cut();
  void Paste();

  // --- Properties, redraw (workspace_info.cpp) ---

  void Properties();
  void EditWorkspaceProperties();
  void RedrawAll();

  // --- Arrays, joins, clones (arrays.cpp, joins.cpp, clones.cpp) ---

  void Array();
  void Join();
  // Ctrl+U: every master's clones, without redrawing; then one repaint.
  void UpdateClones();
  // Brings the clones of master (or only the given one) up to date from it.
  void UpdateClonesOf(IRoot& master, IRoot* only, bool redraw);

  // --- Forms (form_commands.cpp) ---

  void AddPrimitive(Primitive primitive);
  void Extrude();
  void Lathe();
  void FormOpen();
  void FormSave();
  void FormSaveAs();

  // --- Add mode (add_mode.cpp) ---

  // At Root: a new item at the clicked point of a view of that width;
  // null when no free name was found.
  IRoot* AddForm(const CVector& at, double viewWidth);
  IRoot* AddLight(const CVector& at, double viewWidth);
  IRoot* AddCamera(const CVector& at, double viewWidth);
  // At a sub-level: the first selected item adds (or, for a polygon being
  // built, extends) an element of the level at the point.
  IDrawable* AddElementAt(const CVector& at, const IViewTran& view);

  // --- Building blocks of the commands ---

  // Appends an item the document then owns, lists and draws it (selected
  // first when asked).
  IRoot* AppendItem(std::unique_ptr<IRoot> item, bool select = false);
  // Deletes one scene item as Delete does, asking first when it is a master
  // of clones (Yes deletes its clones too); false when it was kept.
  bool DeleteItem(IRoot& item);
  // While another form that uses a form file has the item's file name, the
  // item is asked for a new one from startNumber on (kind as MakeFileName
  // takes it). False, with the name as it was or the form's own refusal,
  // when no unique name could be made.
  bool MakeUniqueFileName(IRoot& item, int startNumber, int kind);
  // The scene form with this id, or null.
  IObject* FindForm(uint32_t formId) const;
  // Links a form to a master: the master must be a form of this scene that
  // is not a clone, and the form no master of others. False, changing
  // nothing, otherwise.
  bool AttachClone(IObject& clone, IObject& master);

 private:
  // Names, places and appends a light or camera of the add mode.
  IRoot* AddNamedItem(std::unique_ptr<IRoot> item, NameCounter& counter, const char* prefix, const CVector& at,
                      double viewWidth);
  // "Added <kind> <name>" and the modified mark for an item just appended.
  IRoot* AnnounceAdded(IRoot* added);
  // Extrude and Lathe: the remembered values through the dialog, checked,
  // applied to the first form.
  template <class Settings>
  void Sweep(Command command, Settings& remembered, bool (IEditorDialogs::*edit)(Settings&));
  // The selected elements of the current level that the transform modes
  // move; at Root the items' handles, which carry their frame values.
  std::vector<std::pair<IRoot*, IDrawable*>> TransformTargets() const;
  void CallTransform(bool opening, int mode);
  // Counts and file name after a form's properties sheet may have changed
  // its master.
  void AfterFormEdit(IObject& form, IObject* oldMaster);
  // Takes an item out of the scene and the object list and destroys it.
  void RemoveItem(IRoot& item);
  bool DeleteSelectedItemOnce();
  void DeleteSelectedElements();
  void DropPending() { pending_ = nullptr; pendingOwner_ = nullptr; }
  bool PendingIsLive() const;
  bool CopySelection();
  bool PasteItems(CArchive& ar);
  bool PasteOneItem(CArchive& ar);
  bool ReadFormFile(IObject& form, const std::string& path);
  bool WriteFormFile(IObject& form);
  void FinishTitleChange();

  EditorServices services_;
  Workspace workspace_;
  ObserverSet observers_;
  ObjectListModel objectList_;
  int level_ = 0;
  int mode_ = kAddMode;
  int restriction_ = kNoRestriction;
  CurvedDragSettings curvedDrag_;
  IDrawable* pending_ = nullptr;
  IRoot* pendingOwner_ = nullptr;
  ExtrudeSettings extrudeValues_;
  LatheSettings latheValues_;
  bool modified_ = false;
};

}  // namespace brevoxa
