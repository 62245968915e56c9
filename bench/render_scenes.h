// What the render benchmarks render: the default store built afresh in a
// folder of the process's own (it holds the demonstration workspace), and
// a mirror sphere over a ground plane, in memory or saved for the
// command-line program.
#pragma once

#include <filesystem>
#include <string>

#include "persist/object_store.h"
#include "render/render_doc.h"

namespace brevoxa {
class ICamera;
class Workspace;
}  // namespace brevoxa

namespace brevoxa::bench {

// The store and, beside it, the renders' temporary files, RENSTAT.DAT and
// pictures; all removed with the folder. OBJSTORE is set to it meanwhile.
class BenchStore {
 public:
  BenchStore();
  ~BenchStore();
  BenchStore(const BenchStore&) = delete;
  BenchStore& operator=(const BenchStore&) = delete;

  // Whether every file was written.
  bool Ok() const { return ok_; }
  // The program folder, where the temporary sample files go.
  const std::filesystem::path& Folder() const { return folder_; }
  const std::string& StoreDir() const { return storeDir_; }
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path folder_;
  std::string storeDir_;
  ScopedObjectStore scope_;
  bool ok_ = false;
};

// The sphere scenes' octree limit. A new settings document's 6 leaves
// dozens of polygons in each leaf of the finest sphere; 8 is what a user
// who renders such a mesh would choose, and costs the coarse scenes
// nothing (their leaves reach the leaf limit of 4 polygons sooner).
inline constexpr int kSphereOctreeLimit = 8;

// A mirror sphere of radius 1 (reflect 128) resting on a 16 x 16 plane of 10
// x 10 divisions, seen from (0, -4.5, 2.2) through a 50 degree horizontal
// field of view, two lights, shadows on; a 640 x 480 picture, depth limit
// 3. With secondSphere, a second mirror sphere of radius 0.6 stands at
// (1.7, 1.3, 0.6); with stars, 3 % of the sky's samples are stars. False
// when its settings file could not be written.
bool BuildSphereScene(const BenchStore& store, Workspace& ws, int sphereDivisions, int octreeLimit,
                      Supersampling supersampling = Supersampling::none, bool secondSphere = false,
                      bool stars = false);

// The same view of an undivided plane and a small sphere of 16 x 8, without
// shadows, at width x height with "High" supersampling: cheap to trace, so
// that the render is mostly samples streaming through the temporary files.
// Saved with its forms into the store; the workspace's path, or empty when
// a file could not be written.
std::string WriteHighScene(const BenchStore& store, int width, int height);

const ICamera* FirstCamera(const Workspace& ws);

}  // namespace brevoxa::bench
