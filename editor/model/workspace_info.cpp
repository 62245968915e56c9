// Scene counts, the workspace's property sheet, element properties and the
// redraw of every view.
#include "editor/model/workspace_info.h"

#include "editor/model/editor_dialogs.h"
#include "editor/model/workspace_doc.h"
#include "scene/form_object.h"
#include "scene/light.h"
#include "ui/user_interface.h"

namespace brevoxa {

SceneCounts SceneCounts::Of(const IObList& items) {
  SceneCounts counts;
  for (const IDrawable* item : items) {
    ++counts.objects;
    if (const auto* form = dynamic_cast<const IObject*>(item)) {
      ++counts.forms;
      counts.layers += form->GetLayers().GetCount();
      counts.points += form->GetPoints().GetCount();
      counts.polygons += form->GetPolygonCount();
    } else if (dynamic_cast<const ILight*>(item) != nullptr) {
      ++counts.lights;
    } else {
      ++counts.cameras;
    }
  }
  return counts;
}

std::vector<std::string> SceneCounts::Lines() const {
  const std::pair<const char*, size_t> rows[] = {{"Points", points},   {"Polygons", polygons}, {"Layers", layers},
                                                 {"Objects", objects}, {"Cameras", cameras},   {"Lights", lights},
                                                 {"Forms", forms}};
  std::vector<std::string> lines;
  for (auto [label, count] : rows) {
    std::string line = label;
    line += '\t';
    line += std::to_string(count);
    lines.push_back(line);
  }
  return lines;
}

void CWorkspaceDoc::EditWorkspaceProperties() {
  WorkspaceProperties properties;
  properties.name = workspace_.GetName();
  properties.description = workspace_.GetDescription();
  properties.renderFileName = workspace_.GetRenderLink().GetFileName();
  properties.environmentFileName = workspace_.GetEnvironmentLink().GetFileName();
  properties.about = SceneCounts::Of(GetItems()).Lines();
  if (!services_.dialogs.EditWorkspace(properties)) return;
  workspace_.SetName(properties.name);
  workspace_.SetDescription(properties.description);
  workspace_.GetRenderLink().SetFileName(properties.renderFileName);
  workspace_.GetEnvironmentLink().SetFileName(properties.environmentFileName);
  SetModified();
}

void CWorkspaceDoc::Properties() {
  if (!IsEnabled(*this, Command::properties)) return;
  bool changed = false;
  for (auto [item, element] : GetSelectedElements()) {
    if (!element->HasProperties()) continue;
    if (level_ == kRootLevel) {
      IObject* oldMaster = item->GetCloneMaster();
      const bool edited = item->EditProperties(services_.properties);
      if (edited) {
        changed = true;
        if (auto* form = dynamic_cast<IObject*>(item)) AfterFormEdit(*form, oldMaster);
      }
      objectList_.Renew(*item);
    } else if (item->EditElementProperties(level_, *element, services_.properties)) {
      changed = true;
      item->AfterElementEdit(level_, *element);
    }
  }
  SetModified();
  if (changed) RedrawAll();
}

void CWorkspaceDoc::RedrawAll() {
  services_.ui.Status("Redrawing all views");
  Broadcast(kHintRepaintAll);
}

}  // namespace brevoxa
