// Octree: the spatial index over every polygon of a scene. A render builds
// it once and then only reads it, from any number of threads; the queries
// keep no state of their own and bump the caller's counters.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "math/bounds.h"
#include "render/hit_record.h"
#include "render/ray.h"
#include "render/render_counters.h"

namespace brevoxa {

class ILayer;
class IObList;
class IObject;
class IPoint;
class IPolygon;

// One polygon of the scene. The scene owns the form, layer and polygon; the
// polygon's plane and vertices are copied at build time so that a leaf's
// tests read one array instead of walking the polygon's lists.
struct OctreeEntry {
  const IObject* form = nullptr;
  const ILayer* layer = nullptr;
  const IPolygon* polygon = nullptr;
  CVector normal;
  double planeD = 0.0;
  int dominantAxis = 0;
  std::span<const IPoint* const> vertices;
};

struct OctreeChildren;

struct OctreeCell {
  // Null for a leaf.
  std::unique_ptr<OctreeChildren> children;
  // Only leaves keep their list; an inner cell's list is freed once its
  // children are filled. The order is the order the queries test in.
  std::vector<const OctreeEntry*> entries;

  bool IsLeaf() const { return children == nullptr; }
};

// Child i's half of each axis. "High" is the upper half; a coordinate equal
// to the centre's belongs to the low half.
struct OctreeChildren {
  CVector centre;
  std::array<OctreeCell, 8> cells;
};

namespace octree_detail {

inline constexpr bool kChildHighX[8] = {true, true, true, true, false, false, false, false};
inline constexpr bool kChildHighY[8] = {true, false, false, true, true, false, false, true};
inline constexpr bool kChildHighZ[8] = {true, true, false, false, true, true, false, false};

// The part of a cell's box that child i covers.
CBoundingBox ChildBox(const CBoundingBox& box, const CVector& centre, int child);
// The child that holds the given halves.
int ChildIndex(bool highX, bool highY, bool highZ);
// The polygon–cube overlap test on the cube [-0.5, 0.5]³, with the
// polygon's vertices and plane normal in the cube's coordinates.
bool PolygonOverlapsUnitCube(std::span<const CVector> vertices, const CVector& normal);

}  // namespace octree_detail

struct BoxHit {
  bool hit = false;
  double entry = 0.0;
  double exit = 0.0;
};

// The slab test of the renderer: entry and exit distances kept within
// [0.001, 1e7]; for a ray that starts inside the box both are the exit
// distance. Axes with |direction| ≤ 1e-5 count as parallel. Non-finite
// origins and NaN directions miss.
BoxHit RayBoxIntersect(const CBoundingBox& box, const Ray& ray);

struct OctreeLeaf {
  const OctreeCell* cell = nullptr;
  CBoundingBox box;
};

// Asked during the build: whether to stop subdividing, and the build's
// progress at the first level (125, 250, ... 1000).
struct OctreeBuildHooks {
  std::function<bool()> stopRequested;
  std::function<void(int position)> reportPosition;
};

// How a shadow walk ended.
enum class ShadowWalkEnd {
  outsideScene,  // the ray starts outside the root box: nothing was visited
  stopped,       // the hit callback asked to stop
  reachedEnd,    // every leaf up to the distance was visited
};

class Octree {
 public:
  static constexpr double kMaxHitDistance = 1e14;
  static constexpr int kMaxDepthLimit = 20;

  // An empty index: every ray misses.
  Octree() = default;
  Octree(const Octree&) = delete;
  Octree& operator=(const Octree&) = delete;
  Octree(Octree&&) = default;
  Octree& operator=(Octree&&) = default;

  const CBoundingBox& GetRootBox() const { return rootBox_; }
  const OctreeCell& GetRoot() const { return root_; }
  // The master list, in the order the build created it.
  const std::vector<OctreeEntry>& GetEntries() const { return entries_; }

  // The leaf that holds the point, and its box.
  OctreeLeaf FindLeaf(const CVector& point) const;

  // The nearest polygon along the ray at distance 1e-5 ≤ t < maxDistance.
  // A ray whose origin lies outside the root box finds nothing.
  bool FindNearestHit(const Ray& ray, double maxDistance, HitRecord& hit, RenderCounters& counters) const;

  // Visits the leaves along the ray up to distance, front to back, and calls
  // onHit for every polygon hit at 1e-5 ≤ t < min(leaf exit + 1e-5,
  // distance), in each leaf's list order; the window is not narrowed, so a
  // polygon listed in several leaves can be reported once per leaf. onHit
  // returns whether to go on.
  ShadowWalkEnd ShadowWalk(const Ray& ray, double distance, RenderCounters& counters,
                           const std::function<bool(const HitRecord&)>& onHit) const;

 private:
  friend Octree BuildOctree(const IObList&, int, int, RenderCounters&, const OctreeBuildHooks&);

  template <class LeafVisitor>
  ShadowWalkEnd Walk(const Ray& ray, double maxDistance, RenderCounters& counters, LeafVisitor&& visit) const;
  OctreeLeaf Locate(const CVector& point, const CVector& direction) const;

  OctreeCell root_;
  CBoundingBox rootBox_;
  std::vector<OctreeEntry> entries_;
  std::vector<const IPoint*> vertices_;
};

// Sorts every polygon of the scene's forms into a new octree over the box of
// the forms and cameras. The root is always divided once; a cell with more
// than leafLimit entries is divided again while its level is below maxDepth
// (taken within 1 … 20) and no stop was requested. Adds 8 to the counters'
// octreeSize for each division. Reads the scene, never changes it; the
// polygons' normals must be computed.
Octree BuildOctree(const IObList& scene, int maxDepth, int leafLimit, RenderCounters& counters,
                   const OctreeBuildHooks& hooks = {});

}  // namespace brevoxa
