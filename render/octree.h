// Octree: the spatial index over every polygon of a scene. A render builds
// it once and then only reads it, from any number of threads; the queries
// keep no state of their own and bump the caller's counters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "math/bounds.h"
#include "render/hit_record.h"
#include "render/intersect.h"
#include "render/large_array.h"
#include "render/ray.h"
#include "render/render_counters.h"

namespace brevoxa {

class ILayer;
class IObList;
class IObject;
class IPoint;
class IPolygon;
class RenderThreads;

// One polygon of the scene, as the hit record names it. The scene owns the
// form, layer and polygon.
struct OctreeEntry {
  const IObject* form = nullptr;
  const ILayer* layer = nullptr;
  const IPolygon* polygon = nullptr;
  // The polygon's vertices in order, their world positions and its
  // projection axis, copied at build time.
  const IPoint* const* points = nullptr;
  const CVector* positions = nullptr;
  uint32_t pointCount = 0;
  int dominantAxis = 0;
};

// A cell. The nodes live in one array, the root first; an inner node's
// eight children follow each other in the numbering of octree_detail. 32
// bytes and aligned to them, so that a node never straddles a cache line.
struct alignas(32) OctreeNode {
  // Where a leaf's entries lie in the tree's list of leaf entries. Only
  // leaves keep a list; the order is the order the queries test in.
  struct Run {
    uint64_t first;
    uint32_t count;
  };
  // A leaf has no centre and an inner node no list: they share the space.
  union {
    // Inner nodes: where the children meet.
    double centre[3];
    Run run = {0, 0};
  };
  // Inner nodes: the index of child 0. The root is no one's child, so 0
  // marks a leaf.
  uint32_t firstChild = 0;

  bool IsLeaf() const { return firstChild == 0; }
  CVector Centre() const { return {centre[0], centre[1], centre[2]}; }
};

namespace octree_detail {

// Child i's half of each axis. "High" is the upper half; a coordinate equal
// to the centre's belongs to the low half.
inline constexpr bool kChildHighX[8] = {true, true, true, true, false, false, false, false};
inline constexpr bool kChildHighY[8] = {true, false, false, true, true, false, false, true};
inline constexpr bool kChildHighZ[8] = {true, true, false, false, true, true, false, false};

// The part of a cell's box that child i covers.
CBoundingBox ChildBox(const CBoundingBox& box, const CVector& centre, int child);
// The child that holds the given halves. Within each x half the children
// run (y, z) = high high, low high, low low, high low.
constexpr int ChildIndex(bool highX, bool highY, bool highZ) {
  const int yz = highY ? (highZ ? 0 : 3) : (highZ ? 1 : 2);
  return (highX ? 0 : 4) + yz;
}
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
  const OctreeNode* node = nullptr;
  CBoundingBox box;
};

// Asked during the build: whether to stop subdividing, and the build's
// progress at the first level (125, 250, ... 1000), both on the calling
// thread only. With more than one thread the cells of the first levels are
// divided on other threads too, which call waitWhilePaused between cells;
// the tree is the same for every thread count. So that a pause can tell
// when every thread is still, the other threads are announced to
// changeThreads (+n when they join the build, -n when they have left it),
// and each thread that waits for the others' cells calls beginIdle and
// endIdle around the wait. All of these may be left empty.
struct OctreeBuildHooks {
  std::function<bool()> stopRequested;
  std::function<void(int position)> reportPosition;
  // The threads to divide on: the render's own when given, else up to
  // `threads` started for the build.
  RenderThreads* renderThreads = nullptr;
  int threads = 1;
  // A scene of fewer polygons is divided on the calling thread alone:
  // below a thousand, starting the threads and handing out the cells took
  // longer than dividing them on one.
  size_t threadsFrom = 1000;
  std::function<void()> waitWhilePaused;
  std::function<void(int change)> changeThreads;
  std::function<void()> beginIdle;
  std::function<void()> endIdle;
  // Work that does not touch the tree, done by whichever of the build's
  // threads has nothing else to do (by the calling thread first when it
  // builds alone), and finished when the build returns: the driver sums the
  // vertex normals, which only tracing reads, while the polygons are
  // gathered and divided.
  std::function<void()> alongside;
};

// How a shadow walk ended.
enum class ShadowWalkEnd {
  outsideScene,  // the ray starts outside the root box: nothing was visited
  stopped,       // the hit callback asked to stop
  reachedEnd,    // every leaf up to the distance was visited
};

// What a shadow walk calls for each hit: a reference to any callable
// taking the record and returning whether to go on. It neither copies nor
// allocates; the callable must outlive the walk (a lambda written in the
// call does).
class ShadowHitCallback {
 public:
  // Implicit, as std::function's is: callers simply pass a lambda.
  template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, ShadowHitCallback>)
  ShadowHitCallback(F&& callable)
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
        call_([](void* object, const HitRecord& hit) -> bool {
          return (*static_cast<std::remove_reference_t<F>*>(object))(hit);
        }) {}

  bool operator()(const HitRecord& hit) const { return call_(object_, hit); }

 private:
  void* object_;
  bool (*call_)(void*, const HitRecord&);
};

class Octree {
 public:
  static constexpr double kMaxHitDistance = 1e14;
  static constexpr int kMaxDepthLimit = 20;

  // An empty index: every ray misses.
  Octree() = default;
  Octree(const Octree&) = delete;
  Octree& operator=(const Octree&) = delete;
  // The tree moved from is left a valid tree too (an empty one, or the
  // one assigned over), as every query indexes the root.
  Octree(Octree&& other) : Octree() { Swap(other); }
  Octree& operator=(Octree&& other) noexcept {
    Swap(other);
    return *this;
  }

  const CBoundingBox& GetRootBox() const { return rootBox_; }
  // The master list, in the order the build created it.
  std::span<const OctreeEntry> GetEntries() const { return entries_; }

  // For inspection: the root, an inner node's child i, and a leaf's list
  // as indices into GetEntries().
  const OctreeNode& GetRoot() const { return nodes_.front(); }
  const OctreeNode& GetChild(const OctreeNode& node, int child) const { return nodes_[node.firstChild + child]; }
  std::span<const uint32_t> GetLeafEntries(const OctreeNode& leaf) const {
    return {leafEntries_.data() + leaf.run.first, leaf.run.count};
  }

  // Whether the tree keeps the links that rays moving along every axis
  // walk by (see WalkLinked); without them every ray takes the general
  // walk. Either finds the same leaves.
  bool KeepsLinks() const { return !links_.empty(); }

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
                           ShadowHitCallback onHit) const;

 private:
  friend class OctreeBuilder;

  // What the leaf loops read of every entry, one cache line each: its
  // plane, and the box outside which its polygon refuses every point.
  struct alignas(64) EntryPlane {
    CVector normal;
    double d = 0.0;
    FanRejectBox reject;
  };

  // A cell's box and the cells across its faces, for the walk along a
  // fixed heading (see Across).
  struct CellLinks {
    double lo[3];
    double hi[3];
    // Across face 2·axis (low side) and 2·axis + 1 (high side): the cell of
    // the same size there, or the leaf above it that holds it; 0 (the
    // root) at the root's own faces.
    uint32_t across[6];
  };

  void Swap(Octree& other) noexcept {
    nodes_.swap(other.nodes_);
    links_.swap(other.links_);
    leafEntries_.swap(other.leafEntries_);
    std::swap(rootBox_, other.rootBox_);
    entries_.swap(other.entries_);
    planes_.swap(other.planes_);
    vertices_.swap(other.vertices_);
    positions_.swap(other.positions_);
  }
  template <class LeafVisitor>
  ShadowWalkEnd Walk(const Ray& ray, double maxDistance, RenderCounters& counters, LeafVisitor&& visit) const;
  template <class Heading, class LeafVisitor>
  ShadowWalkEnd WalkLinked(const Ray& ray, double limit, double maxDistance, RenderCounters& counters,
                           LeafVisitor& visit) const;
  template <class LeafVisitor>
  ShadowWalkEnd WalkLeaves(const Ray& ray, double limit, double maxDistance, RenderCounters& counters,
                           LeafVisitor& visit) const;
  template <class Heading>
  static uint32_t Descend(const OctreeNode* nodes, uint32_t index, const double* p);
  template <int A, class Heading>
  static uint32_t Across(const CellLinks& leaf, const double* face, const double* p);
  // Whether every coordinate of the box is of moderate size, which the
  // walk along a fixed heading needs.
  static bool IsModerateBox(const CBoundingBox& box);
  // Whether the centre of every cell a build to maxDepth can divide lies
  // strictly inside the cell on every axis, which the walk's step across
  // a face needs.
  static bool CentresStayInside(const CBoundingBox& box, int maxDepth);
  static bool MeetsPlane(const EntryPlane& plane, const Ray& ray, double window, double& t);
  [[gnu::always_inline]] bool HitsPolygon(uint32_t index, const EntryPlane& plane, const Ray& ray, double t,
                                          HitRecord& hit, RenderCounters& counters) const;
  bool HitsInside(uint32_t index, const Ray& ray, double t, HitRecord& hit, RenderCounters& counters) const;

  // An empty tree still has its root, a leaf without entries.
  LargeVector<OctreeNode> nodes_ = LargeVector<OctreeNode>(1);
  // One for each node, in the same order, where the root box is of
  // moderate size and CentresStayInside holds; empty otherwise, and then
  // every ray takes the general walk.
  LargeVector<CellLinks> links_;
  LargeVector<uint32_t> leafEntries_;
  CBoundingBox rootBox_;
  LargeVector<OctreeEntry> entries_;
  LargeVector<EntryPlane> planes_;
  LargeVector<const IPoint*> vertices_;
  // The vertices' world positions, in the same order: the polygon tests
  // read them without visiting the scene's points.
  LargeVector<CVector> positions_;
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
