// A workspace document driven without any window, with scripted dialogs and
// a view that records the update hints. OBJSTORE is a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "editor/model/add_mode.h"
#include "editor/model/clipboard.h"
#include "editor/model/clones.h"
#include "editor/model/editor_dialogs.h"
#include "editor/model/workspace_doc.h"
#include "persist/object_store.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/property_editor.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa::testing {

// Records what it was shown; answers OK with the script, else Cancel.
template <class Values>
struct ScriptedDialog {
  std::optional<Values> answer;
  std::vector<Values> shown;
  bool Run(Values& values) {
    shown.push_back(values);
    if (!answer) return false;
    values = *answer;
    return true;
  }
};

struct ScriptedDialogs : IEditorDialogs {
  ScriptedDialog<CurvedDragSettings> curvedDrag;
  ScriptedDialog<SphereDefinition> sphere;
  ScriptedDialog<ExtrudeSettings> extrude;
  ScriptedDialog<LatheSettings> lathe;
  ScriptedDialog<ArraySettings> array;
  ScriptedDialog<WorkspaceProperties> workspace;
  std::optional<std::string> fileToOpen, fileToSave;

  bool EditCurvedDrag(CurvedDragSettings& v) override { return curvedDrag.Run(v); }
  bool EditSphere(SphereDefinition& v) override { return sphere.Run(v); }
  bool EditExtrude(ExtrudeSettings& v) override { return extrude.Run(v); }
  bool EditLathe(LatheSettings& v) override { return lathe.Run(v); }
  bool EditArray(ArraySettings& v) override { return array.Run(v); }
  bool EditWorkspace(WorkspaceProperties& v) override { return workspace.Run(v); }
  std::optional<std::string> ChooseFileToOpen(const FileDialogRequest&) override { return fileToOpen; }
  std::optional<std::string> ChooseFileToSave(const FileDialogRequest&) override { return fileToSave; }
};

// The form sheet runs the scripted change and reports it confirmed.
struct ScriptedProperties : IPropertyEditor {
  std::function<void(IObject&)> onForm;
  bool EditForm(IObject& form) override {
    if (onForm) onForm(form);
    return static_cast<bool>(onForm);
  }
};

struct Hint {
  int hint;
  IDrawable* element;
  bool operator==(const Hint&) const = default;
};

struct RecordingView : IDocumentObserver {
  std::vector<Hint> hints;
  std::vector<ICamera*> removedCameras;
  int cursorChanges = 0;
  int cancelledGestures = 0;

  void OnUpdate(int hint, IDrawable* element) override { hints.push_back({hint, element}); }
  void OnCameraRemoved(ICamera& camera) override { removedCameras.push_back(&camera); }
  void OnCursorChanged() override { ++cursorChanges; }
  void OnCancelGesture() override { ++cancelledGestures; }

  std::vector<int> HintsFor(const IDrawable* element) const {
    std::vector<int> numbers;
    for (const Hint& h : hints)
      if (h.element == element) numbers.push_back(h.hint);
    return numbers;
  }
  long Count(int hint) const {
    return std::count_if(hints.begin(), hints.end(), [&](const Hint& h) { return h.hint == hint; });
  }
  void Clear() { *this = RecordingView(); }
};

class EditingTest : public ::testing::Test {
 protected:
  EditingTest() { doc.AddObserver(&view); }
  ~EditingTest() override { doc.RemoveObserver(&view); }

  // A form of one square layer, appended unselected.
  IObject* AddForm(const std::string& name, const CVector& at = {}, const std::string& fileName = "") {
    auto form = std::make_unique<IObject>();
    form->SetName(name);
    form->SetFileName(fileName.empty() ? name + ".FRM" : fileName);
    form->SetPosition(at);
    AddSquare(*form, "Square", 0.0);
    return static_cast<IObject*>(doc.AppendItem(std::move(form)));
  }
  template <class Item>
  Item* Add(const std::string& name) {
    auto item = std::make_unique<Item>();
    item->SetName(name);
    return static_cast<Item*>(doc.AppendItem(std::move(item)));
  }

  // A layer with one square polygon of side 10 at height z.
  static ILayer* AddSquare(IObject& form, const std::string& layerName, double z) {
    auto* layer = new ILayer;
    layer->SetName(layerName);
    form.GetLayers().AddTail(layer);
    auto* polygon = new IPolygon;
    for (CVector local : {CVector(0, 0, z), CVector(10, 0, z), CVector(10, 10, z), CVector(0, 10, z)}) {
      auto* point = new IPoint(local);
      form.GetPoints().AddTail(point);
      polygon->AddPoint(point);
    }
    layer->GetPolygons().AddTail(polygon);
    form.UpdateWorldGeometry();
    return layer;
  }

  // A clone of master, linked and counted as a paste would.
  IObject* AddClone(IObject& master, const std::string& name, const CVector& at = {}) {
    IObject* clone = Add<IObject>(name);
    clone->SetPosition(at);
    EXPECT_TRUE(doc.AttachClone(*clone, master));
    clone->UpdateFromMaster();
    return clone;
  }

  ICamera* AddCamera(const std::string& name) {
    ICamera* camera = Add<ICamera>(name);
    camera->PlaceAt({}, 100.0);
    return camera;
  }
  ILight* AddLight(const std::string& name) { return Add<ILight>(name); }

  // Each selected in turn: the last stands first.
  void Select(std::initializer_list<IRoot*> items) {
    for (IRoot* item : items) doc.GetItems().SelectItem(item, true);
  }
  void SelectOnly(std::initializer_list<IRoot*> items) {
    for (IRoot* item : doc.GetSelectedItems()) doc.GetItems().SelectItem(item, false);
    Select(items);
  }

  std::vector<IRoot*> Items() const {
    std::vector<IRoot*> items;
    for (IDrawable* item : doc.GetItems()) items.push_back(static_cast<IRoot*>(item));
    return items;
  }
  void Forget() {
    ui.Clear();
    view.Clear();
  }

  TempDir dir;
  ScopedObjectStore store{dir.path().string()};
  RecordingUi ui;
  ScopedUserInterface scopedUi{ui};
  ScriptedDialogs dialogs;
  ScriptedProperties properties;
  InternalClipboard clipboard;
  AddModeCounters counters;
  CWorkspaceDoc doc{{ui, dialogs, properties, clipboard, counters}};
  RecordingView view;
};

}  // namespace brevoxa::testing
