// What the "Workspace Properties" sheet shows and edits: the General page's
// names and the "About" page's counts of the scene.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace brevoxa {

class IObList;

// The "About" page: every count over the scene items.
struct SceneCounts {
  size_t points = 0;
  size_t polygons = 0;
  size_t layers = 0;
  size_t objects = 0;  // every scene item
  size_t cameras = 0;  // items that are neither forms nor lights
  size_t lights = 0;
  size_t forms = 0;

  static SceneCounts Of(const IObList& items);
  // "Points\t8", ... in the page's order.
  std::vector<std::string> Lines() const;
  bool operator==(const SceneCounts&) const = default;
};

struct WorkspaceProperties {
  static constexpr const char* kTitle = "Workspace Properties";

  std::string name;
  std::string description;
  std::string renderFileName;
  std::string environmentFileName;
  // Shown only; the document fills it.
  std::vector<std::string> about;
};

}  // namespace brevoxa
