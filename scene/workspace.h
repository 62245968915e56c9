// Workspace: the scene as a workspace file holds it: name, description, the
// records of the open editing views, the top-level items (forms, cameras,
// lights) and the links to a render-settings and an environment file. The
// editor's workspace document wraps one; the command-line tool and the tests
// use it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "persist/link.h"
#include "scene/ob_list.h"
#include "scene/view_record.h"

namespace brevoxa {

class CArchive;
class IArchiveTrace;
class IRoot;
class IUserInterface;

class Workspace {
 public:
  static constexpr uint16_t kVersion = 1;
  // The framework's archives on document files have always used this size.
  static constexpr size_t kFileBufferSize = 4096;

  Workspace();
  // Destroys the view records, then every item.
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::string& GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  const std::string& GetDescription() const { return description_; }
  void SetDescription(const std::string& text) { description_ = text; }

  // Editing views, in view order.
  size_t GetViewCount() const { return views_.size(); }
  CViewRecord& GetView(size_t index) { return *views_.at(index); }
  const CViewRecord& GetView(size_t index) const { return *views_.at(index); }
  CViewRecord& AddView();
  void RemoveView(size_t index);

  // The items; the workspace owns them.
  IObList& GetItems() { return items_; }
  const IObList& GetItems() const { return items_; }
  // Appends an item and returns it.
  IRoot* AddItem(std::unique_ptr<IRoot> item);

  IRenderLink& GetRenderLink() { return renderLink_; }
  const IRenderLink& GetRenderLink() const { return renderLink_; }
  IEnvironmentLink& GetEnvironmentLink() { return environmentLink_; }
  const IEnvironmentLink& GetEnvironmentLink() const { return environmentLink_; }

  // Back to a new workspace: no views, no items, default links.
  void Clear();

  // The workspace file's record. Storing also writes every non-clone form's
  // form file. Loading replaces everything; a version other than 1 leaves
  // the defaults. When reading fails, everything read so far is destroyed,
  // the workspace is left as new and the failure is passed on.
  void Serialize(CArchive& ar);

  // The document boundary: open the file, run Serialize, and turn a failure
  // into the user's message through ui (which also receives the messages the
  // items show while loading). A failed load leaves a new, empty workspace;
  // a failed save leaves the file as it was. A trace sees everything read.
  bool Load(const std::string& path, IUserInterface& ui, IArchiveTrace* trace = nullptr);
  bool Save(const std::string& path, IUserInterface& ui);

 private:
  void Read(CArchive& ar);
  void Write(CArchive& ar);
  void SettleOrphans(CArchive& ar);

  std::string name_;
  std::string description_;
  std::vector<std::unique_ptr<CViewRecord>> views_;
  IObList items_;
  IRenderLink renderLink_;
  IEnvironmentLink environmentLink_;
};

}  // namespace brevoxa
