// Building the octree: the polygon–cube overlap test that sorts polygons
// into cells, and the subdivision, on one thread or on several.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "math/float_bounds.h"
#include "render/octree.h"
#include "render/render_threads.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {

namespace {

constexpr double kRootMargin = 1e-5;
// The cube test widens the unit cube by this much (in cube units) on every
// side. Normalising a polygon that lies in a cell face can round its
// coordinate to just outside ±0.5; the slack keeps such a polygon in both
// neighbouring cells. Listing a polygon in one cell too many costs a test,
// listing it in one too few loses hits.
constexpr double kCubeSlack = 1e-9;
constexpr double kHalf = 0.5 + kCubeSlack;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

bool IsFinite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// --- The polygon–cube test ---
//
// After Green and Hatch (Graphics Gems V): vertices inside the cube accept
// at once; vertices all beyond one face plane, one edge bevel or one corner
// bevel reject at once; then any polygon edge that meets the cube accepts;
// finally the polygon can still cut through the cube with every edge
// outside it, which happens exactly when its plane meets the cube diagonal
// most nearly along the normal at a point inside the polygon.

// Bits 0–5: beyond the faces +x, -x, +y, -y, +z, -z.
unsigned FaceCode(const CVector& v) {
  unsigned code = 0;
  if (v.x > kHalf) code |= 0x01;
  if (v.x < -kHalf) code |= 0x02;
  if (v.y > kHalf) code |= 0x04;
  if (v.y < -kHalf) code |= 0x08;
  if (v.z > kHalf) code |= 0x10;
  if (v.z < -kHalf) code |= 0x20;
  return code;
}

// Bits 0–11: beyond the twelve edge bevels ±a ± b > 1, for the axis pairs
// xy, xz, yz.
unsigned EdgeBevelCode(const CVector& v) {
  const double limit = 1.0 + 2 * kCubeSlack;
  unsigned code = 0;
  auto pair = [&](double a, double b, int shift) {
    if (a + b > limit) code |= 1u << shift;
    if (a - b > limit) code |= 2u << shift;
    if (-a + b > limit) code |= 4u << shift;
    if (-a - b > limit) code |= 8u << shift;
  };
  pair(v.x, v.y, 0);
  pair(v.x, v.z, 4);
  pair(v.y, v.z, 8);
  return code;
}

// Bits 0–7: beyond the eight corner bevels ±x ± y ± z > 1.5.
unsigned CornerBevelCode(const CVector& v) {
  const double limit = 1.5 + 3 * kCubeSlack;
  unsigned code = 0;
  for (int corner = 0; corner < 8; ++corner) {
    const double sx = (corner & 1) ? -1.0 : 1.0;
    const double sy = (corner & 2) ? -1.0 : 1.0;
    const double sz = (corner & 4) ? -1.0 : 1.0;
    if (sx * v.x + sy * v.y + sz * v.z > limit) code |= 1u << corner;
  }
  return code;
}

// Whether the segment from a to b meets the (widened) cube: the segment
// clipped against the three slabs in turn.
bool SegmentMeetsCube(const CVector& a, const CVector& b) {
  double t0 = 0.0, t1 = 1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double from = Axis(a, axis);
    const double d = Axis(b, axis) - from;
    if (d == 0.0) {
      if (from < -kHalf || from > kHalf) return false;
      continue;
    }
    double ta = (-kHalf - from) / d;
    double tb = (kHalf - from) / d;
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  return true;
}

// Even-odd crossing test of the point in the polygon, both projected along
// the normal's largest axis.
bool PointInPolygon(const CVector& p, std::span<const CVector> vertices, const CVector& normal) {
  const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
  const int drop = (ax >= ay && ax >= az) ? 0 : (ay >= az ? 1 : 2);
  const int ia = drop == 0 ? 1 : 0;
  const int ib = drop == 2 ? 1 : 2;
  const double pa = Axis(p, ia), pb = Axis(p, ib);
  bool inside = false;
  const size_t n = vertices.size();
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    const double ai = Axis(vertices[i], ia), bi = Axis(vertices[i], ib);
    const double aj = Axis(vertices[j], ia), bj = Axis(vertices[j], ib);
    if ((bi > pb) != (bj > pb)) {
      const double crossing = ai + (pb - bi) / (bj - bi) * (aj - ai);
      if (pa < crossing) inside = !inside;
    }
  }
  return inside;
}

}  // namespace

namespace octree_detail {

bool PolygonOverlapsUnitCube(std::span<const CVector> vertices, const CVector& normal) {
  if (vertices.empty()) return false;
  for (const CVector& v : vertices) {
    if (!IsFinite(v)) return false;
  }

  unsigned faces = ~0u, edges = ~0u, corners = ~0u;
  for (const CVector& v : vertices) {
    const unsigned code = FaceCode(v);
    if (code == 0) return true;
    faces &= code;
    edges &= EdgeBevelCode(v);
    corners &= CornerBevelCode(v);
  }
  if (faces != 0 || edges != 0 || corners != 0) return false;

  for (size_t i = 0, n = vertices.size(); i < n; ++i) {
    if (SegmentMeetsCube(vertices[i], vertices[(i + 1) % n])) return true;
  }
  if (vertices.size() < 3) return false;

  // The diagonal from -c to c, c = half the signs of the normal.
  const CVector c(normal.x < 0 ? -0.5 : 0.5, normal.y < 0 ? -0.5 : 0.5, normal.z < 0 ? -0.5 : 0.5);
  const double along = normal.Dot(c) * 2;
  if (!(along != 0.0)) return false;
  const double s = (normal.Dot(vertices[0]) + normal.Dot(c)) / along;
  if (!(s >= -kCubeSlack && s <= 1.0 + kCubeSlack)) return false;
  const CVector p = c * (2 * s) - c;
  return PointInPolygon(p, vertices, normal);
}

}  // namespace octree_detail

// --- Building ---

// The build's tasks, run by the thread that builds (worker 0) and by
// helpers that call Work until the pool is closed. A thread that waits for
// tasks of its own to finish runs queued tasks meanwhile, so tasks may
// fork and join at any depth without tying up a thread. Of the queued
// tasks the heaviest goes first, and of equal weights the first forked:
// the cells of a sphere on a floor are far from even, and the few heavy
// ones, queued last, kept the other thread waiting at the end.
class BuildPool {
 public:
  using Task = std::function<void(size_t worker)>;

  // Counts the tasks of one fork that have not finished.
  struct Join {
    int remaining = 0;  // under the pool's mutex
  };

  // The helpers are counted as the render's threads for as long as the
  // pool lives; it must outlive their calls of Work.
  BuildPool(int helpers, const OctreeBuildHooks& hooks) : hooks_(hooks), helpers_(helpers) {
    if (helpers_ > 0 && hooks_.changeThreads) hooks_.changeThreads(helpers_);
  }
  ~BuildPool() {
    if (helpers_ > 0 && hooks_.changeThreads) hooks_.changeThreads(-helpers_);
  }
  BuildPool(const BuildPool&) = delete;
  BuildPool& operator=(const BuildPool&) = delete;

  // A helper's part: runs tasks until the pool is closed and no task is
  // left.
  void Work(size_t worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
      while (!closing_ && queue_.empty()) WaitIdle(lock);
      if (queue_.empty()) return;
      if (hooks_.waitWhilePaused) {
        lock.unlock();
        hooks_.waitWhilePaused();
        lock.lock();
        if (queue_.empty()) continue;
      }
      RunFront(lock, worker);
    }
  }

  // The helpers leave Work once the tasks still queued have run.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
  }

  void Fork(Join& join, Task task, size_t weight = 0) {
    {
      std::lock_guard lock(mutex_);
      // Counted once queued: a join must not wait for a task that failed
      // to be queued.
      queue_.push_back({std::move(task), &join, weight, forked_++});
      ++join.remaining;
      std::push_heap(queue_.begin(), queue_.end(), RunsLater);
    }
    changed_.notify_all();
  }

  // Calls body(i) for every i < count, on as many of the pool's threads as
  // come free, and returns when all calls have returned (worker: the
  // calling thread's number). Each thread takes the next i until none is
  // left: one task a thread rather than one a call, as handing out a task
  // (and waking a thread for it) cost as much as linking a small cell's
  // descendants or placing a small part.
  void ForEach(size_t count, size_t worker, const std::function<void(size_t)>& body) {
    std::atomic<size_t> next{0};
    auto take = [&] {
      for (size_t i = next++; i < count; i = next++) body(i);
    };
    Join join;
    try {
      const size_t threads = std::min(count, static_cast<size_t>(helpers_) + 1);
      // Ahead of the side work, which nothing waits for.
      for (size_t t = 1; t < threads; ++t) Fork(join, [&](size_t) { take(); }, 1);
      take();
    } catch (...) {
      // The tasks forked still use this frame: they take nothing more,
      // and are waited for.
      next = count;
      Wait(join, worker);
      throw;
    }
    Wait(join, worker);
  }

  // Runs queued tasks until every task forked with join has finished;
  // between them calls `between`. Passes on the first failure of a task.
  void Wait(Join& join, size_t worker, const std::function<void()>& between = {}) {
    std::unique_lock lock(mutex_);
    while (join.remaining > 0) {
      if (!queue_.empty()) {
        RunFront(lock, worker);
      } else {
        WaitIdle(lock);
      }
      if (between) {
        lock.unlock();
        between();
        lock.lock();
      }
    }
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  struct Queued {
    Task task;
    Join* join;
    size_t weight;
    uint64_t order;
  };

  static bool RunsLater(const Queued& a, const Queued& b) {
    return a.weight != b.weight ? a.weight < b.weight : a.order > b.order;
  }

  // Caller holds the lock; released while the task runs.
  void RunFront(std::unique_lock<std::mutex>& lock, size_t worker) {
    std::pop_heap(queue_.begin(), queue_.end(), RunsLater);
    Queued queued = std::move(queue_.back());
    queue_.pop_back();
    lock.unlock();
    try {
      queued.task(worker);
    } catch (...) {
      std::lock_guard failed(mutex_);
      if (!failure_) failure_ = std::current_exception();
    }
    lock.lock();
    --queued.join->remaining;
    changed_.notify_all();
  }

  // One wait for a change, counted as idle: a paused job is still while
  // its threads wait for each other.
  void WaitIdle(std::unique_lock<std::mutex>& lock) {
    if (hooks_.beginIdle) hooks_.beginIdle();
    changed_.wait(lock);
    if (hooks_.endIdle) hooks_.endIdle();
  }

  const OctreeBuildHooks& hooks_;
  const int helpers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Queued> queue_;  // a heap: RunsLater
  uint64_t forked_ = 0;
  bool closing_ = false;
  std::exception_ptr failure_;
};

// Builds the tree depth first, as the cells are numbered. Each level has a
// list of its own that it reuses for all its cells, so the build allocates
// only as its lists, nodes and leaf entries grow.
class OctreeBuilder {
 public:
  OctreeBuilder(Octree& tree, int maxDepth, size_t leafLimit, RenderCounters& counters,
                const OctreeBuildHooks& hooks)
      : tree_(tree), maxDepth_(maxDepth), leafLimit_(leafLimit), counters_(counters), hooks_(hooks) {}

  // Takes the scene's polygons and the box of the forms and cameras, then
  // divides the root, and the cells below it as the limits allow.
  void Build(const IObList& scene) {
    FindLayers(scene);
    const int available = hooks_.renderThreads ? hooks_.renderThreads->Count() : hooks_.threads;
    if (available > 1 && polygonCount_ >= hooks_.threadsFrom) {
      std::optional<RenderThreads> own;
      RenderThreads& threads = hooks_.renderThreads ? *hooks_.renderThreads : own.emplace(std::min(available, 64));
      const int helpers = std::min(threads.Count(), 64) - 1;
      if (helpers > 0) {
        BuildOn(threads, helpers, scene);
        return;
      }
    }
    BuildHere(scene);
  }

 private:
  void BuildOn(RenderThreads& threads, int helpers, const IObList& scene) {
    BuildPool pool(helpers, hooks_);
    scratches_.resize(static_cast<size_t>(helpers) + 1);
    // Twice an even share each: the threads' shares are uneven.
    const size_t share = polygonCount_ * 2 / scratches_.size();
    for (Scratch& scratch : scratches_) MakeRoom(scratch.nodes, scratch.leafEntries, share);
    pool_ = &pool;
    struct Forget {
      BuildPool*& pool;
      ~Forget() { pool = nullptr; }
    } forget{pool_};
    threads.Run([&](int worker) {
      if (worker == 0) {
        // However the build ends, the helpers finish what was queued
        // (the alongside work too) and leave.
        struct Closing {
          BuildPool& pool;
          ~Closing() { pool.Close(); }
        } closing{pool};
        BuildHere(scene);
      } else if (worker <= helpers) {
        pool.Work(static_cast<size_t>(worker));
      }
    });
  }

  // The build, on this thread with the pool's help when there is one.
  void BuildHere(const IObList& scene) {
    if (hooks_.alongside) {
      // Forked first, it goes to the first thread free, while this one
      // gathers the polygons.
      if (pool_) {
        pool_->Fork(sideWork_, [this](size_t) { hooks_.alongside(); });
      } else {
        hooks_.alongside();
      }
    }
    Collect(scene);
    std::vector<uint32_t> all(tree_.entries_.size());
    for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    if (!pool_) {
      MakeRoom(tree_.nodes_, tree_.leafEntries_, polygonCount_);
      Output out{tree_.nodes_, tree_.leafEntries_, counters_.octreeSize};
      Subdivide(out, callerScratch_, 0, tree_.rootBox_, 1, all);
    } else {
      RunInParallel(all);
    }
    Link();
    if (pool_) {
      // The workers' arrays are given back on both threads, and only now:
      // unmapping them while the links' pages were first touched held up
      // the links now and then by milliseconds.
      for (Scratch& scratch : scratches_) pool_->Fork(sideWork_, [&scratch](size_t) { scratch = Scratch(); });
      pool_->Wait(sideWork_, 0);
    }
  }

  // What the face shortcut reads of a polygon: the box of its vertices,
  // widened to float (so that it still holds them), and its run of the
  // tree's vertex array. Without initialisers: Collect sizes the array
  // and writes every field.
  struct Shape {
    float lo[3];
    float hi[3];
    uint32_t firstVertex;
    uint32_t vertexCount;
  };

  // A cell's box as the overlap test normalises it.
  struct Cube {
    explicit Cube(const CBoundingBox& box) : centre((box.min + box.max) / 2), size(box.max - box.min) {}
    CVector centre;
    CVector size;
  };

  bool Overlaps(uint32_t entry, const Cube& cube, std::vector<CVector>& vertices) const {
    const Shape& shape = shapes_[entry];
    vertices.clear();
    for (uint32_t i = 0; i < shape.vertexCount; ++i) {
      const CVector d = tree_.positions_[shape.firstVertex + i] - cube.centre;
      vertices.emplace_back(d.x / cube.size.x, d.y / cube.size.y, d.z / cube.size.z);
    }
    const CVector& n = tree_.planes_[entry].normal;
    const CVector normal(n.x * cube.size.x, n.y * cube.size.y, n.z * cube.size.z);
    return octree_detail::PolygonOverlapsUnitCube(vertices, normal);
  }

  // The face test of the overlap test without its divisions, for the two
  // halves of each axis of a cell. The normalised coordinate
  // (x - centre) / size, rounded as the full test rounds it, never
  // decreases as x grows when centre and size are finite and size > 0. So
  // the coordinates it takes beyond +kHalf are exactly those from some
  // least one on, and those beyond -kHalf those up to some greatest one;
  // found once per cell, they tell with two comparisons whether all of a
  // polygon's vertices lie beyond one face, and the full test then refuses
  // it for that face anyway. An axis whose limits are not found in a few
  // steps simply goes without the shortcut.
  struct HalfLimits {
    // For the low (0) and high (1) half of each axis: vertices at or above
    // above[][] lie beyond the half's +face, at or below below[][] beyond
    // its -face.
    double above[3][2];
    double below[3][2];

    HalfLimits(const CBoundingBox& box, const CVector& centre) {
      for (int axis = 0; axis < 3; ++axis) {
        const double edges[3] = {Axis(box.min, axis), Axis(centre, axis), Axis(box.max, axis)};
        for (int half = 0; half < 2; ++half) {
          const double lo = edges[half], hi = edges[half + 1];
          const double c = (lo + hi) / 2, s = hi - lo;
          above[axis][half] = kInfinity;
          below[axis][half] = -kInfinity;
          if (!(std::isfinite(c) && std::isfinite(s) && s > 0.0)) continue;
          auto beyondHigh = [&](double x) { return (x - c) / s > kHalf; };
          auto beyondLow = [&](double x) { return (x - c) / s < -kHalf; };
          above[axis][half] = Boundary(c + kHalf * s, beyondHigh, kInfinity, kInfinity);
          below[axis][half] = Boundary(c - kHalf * s, beyondLow, -kInfinity, -kInfinity);
        }
      }
    }

    // Where beyond starts to hold: it holds from the returned x on towards
    // `towards` and nowhere short of it. Stepped to from the estimate one
    // representable number at a time; `none` when that takes too long.
    template <class Beyond>
    static double Boundary(double estimate, Beyond beyond, double towards, double none) {
      if (!std::isfinite(estimate)) return none;
      double x = estimate;
      for (int step = 0; step < 16; ++step) {
        if (beyond(x)) {
          const double inner = std::nextafter(x, -towards);
          if (!beyond(inner)) return x;
          x = inner;
        } else {
          x = std::nextafter(x, towards);
        }
      }
      return none;
    }

    // Bits 2·axis + half: the halves the polygon's box is not wholly beyond.
    unsigned Reach(const Shape& shape) const {
      unsigned reach = 0;
      for (int axis = 0; axis < 3; ++axis) {
        const double lo = shape.lo[axis], hi = shape.hi[axis];
        for (int half = 0; half < 2; ++half) {
          if (!(lo >= above[axis][half]) && !(hi <= below[axis][half])) reach |= 1u << (2 * axis + half);
        }
      }
      return reach;
    }
  };

  // The lists one thread works with, one of each per level. Each thread's
  // own, and on cache lines of its own.
  struct alignas(64) Scratch {
    // The lists of the cells being filled.
    std::array<std::vector<uint32_t>, Octree::kMaxDepthLimit + 1> lists;
    // For each entry of the cell being divided, the halves it may reach
    // (HalfLimits::Reach).
    std::array<std::vector<uint8_t>, Octree::kMaxDepthLimit + 1> reach;
    // The normalised vertices of one polygon; grows to the largest.
    std::vector<CVector> vertices;
    // On several threads: the cells and leaf lists of the parts this
    // thread divided, one after the other. Memory touched for the first
    // time is dear (see large_array.h); arrays of their own for each part
    // came from fresh heap pages, and dividing took twice as long on two
    // threads as on one.
    LargeVector<OctreeNode> nodes;
    LargeVector<uint32_t> leafEntries;
  };

  // Where a subdivision puts the cells it makes: node numbers and leaf
  // runs count from nodeBase and leafBase in the arrays.
  struct Output {
    LargeVector<OctreeNode>& nodes;
    LargeVector<uint32_t>& leafEntries;
    uint64_t& cells;
    size_t nodeBase = 0;
    size_t leafBase = 0;
  };

  // Room for the cells and leaf entries made from about `polygons`
  // polygons, taken before dividing. Arrays this large are mapped, and
  // room is address space only until it is written; an array that
  // outgrows its room is copied into a larger one and the old one is
  // unmapped, and on the virtual machines we render on unmapping memory
  // holds up the process's other threads as well. Growing the arrays
  // added 2–3 ms to dividing the finest bench scenes, on one thread as on
  // two; they made 1.1 and 0.8 cells and 3 and 2.5 leaf entries a polygon
  // (the coarsest 8 and 11). Without the room the arrays simply grow.
  static void MakeRoom(LargeVector<OctreeNode>& nodes, LargeVector<uint32_t>& leafEntries, size_t polygons) {
    constexpr size_t kNodesPerPolygon = 4;
    constexpr size_t kLeafEntriesPerPolygon = 8;
    try {
      nodes.reserve(polygons * kNodesPerPolygon);
      leafEntries.reserve(polygons * kLeafEntriesPerPolygon);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }

  static unsigned ChildHalves(int child) {
    return 1u << int(octree_detail::kChildHighX[child]) | 4u << int(octree_detail::kChildHighY[child]) |
           16u << int(octree_detail::kChildHighZ[child]);
  }

  // The entries of a cell's list that overlap its child's box, last first:
  // each entry goes to the front of the child's list, so a child lists its
  // entries in the reverse of its parent's order.
  void FillChildList(std::vector<uint32_t>& list, std::span<const uint32_t> entries, std::span<const uint8_t> reach,
                     const CBoundingBox& childBox, int child, Scratch& scratch) const {
    const Cube cube(childBox);
    const unsigned needed = ChildHalves(child);
    list.clear();
    for (size_t k = entries.size(); k-- > 0;) {
      if ((reach[k] & needed) == needed && Overlaps(entries[k], cube, scratch.vertices)) list.push_back(entries[k]);
    }
  }

  void ReachOf(std::vector<uint8_t>& reach, std::span<const uint32_t> entries, const HalfLimits& limits) const {
    reach.resize(entries.size());
    for (size_t k = 0; k < entries.size(); ++k) reach[k] = static_cast<uint8_t>(limits.Reach(shapes_[entries[k]]));
  }

  // Asked once a child's list is filled. Only the thread that called the
  // build asks the hook (which may poll a key); the others only hold while
  // the render is paused.
  bool StopAsked() {
    if (std::this_thread::get_id() == caller_) {
      if (hooks_.stopRequested && hooks_.stopRequested()) stop_ = true;
    } else if (hooks_.waitWhilePaused) {
      hooks_.waitWhilePaused();
    }
    return stop_;
  }

  // Whether a child of a cell at the level, with count entries, stays a
  // leaf; asked once its list is filled.
  bool StaysLeaf(int level, size_t count) { return StopAsked() || !(level < maxDepth_) || count <= leafLimit_; }

  // Makes node's eight children; returns the first.
  static uint32_t AddChildren(Output& out, uint32_t node, const CVector& centre) {
    const auto first = static_cast<uint32_t>(out.nodes.size() - out.nodeBase);
    OctreeNode& divided = out.nodes[out.nodeBase + node];
    divided.centre[0] = centre.x;
    divided.centre[1] = centre.y;
    divided.centre[2] = centre.z;
    divided.firstChild = first;
    out.nodes.resize(out.nodes.size() + 8);
    out.cells += 8;
    return first;
  }

  static void MakeLeaf(Output& out, uint32_t node, std::span<const uint32_t> list) {
    out.nodes[out.nodeBase + node].run = {out.leafEntries.size() - out.leafBase, static_cast<uint32_t>(list.size())};
    out.leafEntries.insert(out.leafEntries.end(), list.begin(), list.end());
  }

  // Recursion is bounded by maxDepth, at most Octree::kMaxDepthLimit.
  void Subdivide(Output& out, Scratch& scratch, uint32_t node, const CBoundingBox& box, int level,
                 std::span<const uint32_t> entries) {
    const CVector centre = (box.min + box.max) / 2;
    const uint32_t first = AddChildren(out, node, centre);
    std::vector<uint32_t>& list = scratch.lists[level];
    std::vector<uint8_t>& reach = scratch.reach[level];
    ReachOf(reach, entries, HalfLimits(box, centre));
    for (int i = 0; i < 8; ++i) {
      const CBoundingBox childBox = octree_detail::ChildBox(box, centre, i);
      FillChildList(list, entries, reach, childBox, i, scratch);
      if (StaysLeaf(level, list.size())) {
        MakeLeaf(out, first + i, list);
      } else {
        Subdivide(out, scratch, first + i, childBox, level + 1, list);
      }
      if (level == 1 && hooks_.reportPosition) hooks_.reportPosition((i + 1) * 125);
    }
  }

  // --- Building on several threads ---
  //
  // The cells of the first levels are divided by tasks, one per child,
  // each into a part of the tree of its own; the parts are put together in
  // child order afterwards, so the tree is the same for every thread count.

  // A cell and what lies below it, in the arrays of the thread that divided
  // it: nodeCount nodes from nodeBase, the first the cell itself, its
  // descendants following in blocks of eight, and leafCount leaf entries
  // from leafBase. Parts made by tasks of their own hang from the nodes
  // named in `parts`. Sibling parts are filled on different threads at
  // once, so each has cache lines of its own.
  struct alignas(64) Part {
    size_t worker = 0;
    size_t nodeBase = 0;
    size_t nodeCount = 0;
    size_t leafBase = 0;
    size_t leafCount = 0;
    uint64_t cells = 0;
    // Where Plan puts the part in the tree: its cell at node `slot`, its
    // other nodes from node `to`, its leaf entries from `toLeaf`.
    uint32_t slot = 0;
    uint32_t to = 0;
    size_t toLeaf = 0;
    // The cell's own list, read by the tasks of its children.
    std::vector<uint32_t> list;
    std::vector<std::pair<uint32_t, std::unique_ptr<Part>>> parts;
  };

  // Cells above this level are divided by a task for each child.
  static constexpr int kTaskLevels = 2;

  struct Layer {
    const IObject* form;
    const ILayer* layer;
  };

  // The forms' layers with the number of their polygons.
  void FindLayers(const IObList& scene);
  // The box of the forms and cameras.
  void FindBounds(const IObList& scene);
  void Collect(const IObList& scene);
  void FillEntries(size_t begin, size_t end);
  void Link();
  void LinkBelow(uint32_t top);
  bool LinkChildren(uint32_t parent);
  void RunInParallel(std::span<const uint32_t> all);
  // Starts the part with its cell in the worker's arrays.
  Output BeginPart(Part& part, size_t worker);
  // worker: the pool's number of the thread running it, whose lists it uses.
  void DivideByTasks(Part& part, const CBoundingBox& box, int level, std::span<const uint32_t> entries,
                     size_t worker);
  void BuildChild(Part& part, const CBoundingBox& parentBox, const CVector& centre, int child, int level,
                  std::span<const uint32_t> entries, std::span<const uint8_t> reach, size_t worker);
  void Plan(Part& part, uint32_t slot, size_t& nodes, size_t& leafEntries, std::vector<Part*>& parts);
  void Place(const Part& part);

  Octree& tree_;
  int maxDepth_;
  size_t leafLimit_;
  RenderCounters& counters_;
  const OctreeBuildHooks& hooks_;
  const std::thread::id caller_ = std::this_thread::get_id();
  std::atomic<bool> stop_{false};
  std::vector<Layer> layers_;
  size_t polygonCount_ = 0;
  CBoundingBox bounds_;
  LargeVector<Shape> shapes_;
  Scratch callerScratch_;
  // While building on several threads: each worker's lists, and the pool.
  // Work in the pool that nothing in the build waits for (the alongside
  // hook, giving back the workers' arrays) may outlast a failed build
  // until the helpers leave the pool, which BuildOn waits for.
  std::vector<Scratch> scratches_;
  BuildPool::Join boundsFound_;
  BuildPool::Join sideWork_;
  BuildPool* pool_ = nullptr;
};

void OctreeBuilder::RunInParallel(std::span<const uint32_t> all) {
  Part root;
  BeginPart(root, 0);
  DivideByTasks(root, tree_.rootBox_, 1, all, 0);
  size_t nodeCount = 1, leafEntryCount = 0;
  std::vector<Part*> parts;
  Plan(root, 0, nodeCount, leafEntryCount, parts);
  if (nodeCount > std::numeric_limits<uint32_t>::max()) throw std::length_error("The octree has too many cells.");
  tree_.nodes_.assign(nodeCount, OctreeNode{});
  tree_.leafEntries_.resize(leafEntryCount);
  // The largest first, so that no thread is left with one at the end.
  std::stable_sort(parts.begin(), parts.end(), [](const Part* a, const Part* b) {
    return a->nodeCount + a->leafCount > b->nodeCount + b->leafCount;
  });
  pool_->ForEach(parts.size(), 0, [&](size_t i) { Place(*parts[i]); });
}

OctreeBuilder::Output OctreeBuilder::BeginPart(Part& part, size_t worker) {
  Scratch& scratch = scratches_[worker];
  part.worker = worker;
  part.nodeBase = scratch.nodes.size();
  part.leafBase = scratch.leafEntries.size();
  scratch.nodes.emplace_back();
  return Output{scratch.nodes, scratch.leafEntries, part.cells, part.nodeBase, part.leafBase};
}

// Divides the part's cell with one task for each child. The thread that
// called the build reports the first level's progress as its children
// finish, in their order.
void OctreeBuilder::DivideByTasks(Part& part, const CBoundingBox& box, int level, std::span<const uint32_t> entries,
                                  size_t worker) {
  Scratch& scratch = scratches_[worker];
  Output out{scratch.nodes, scratch.leafEntries, part.cells, part.nodeBase, part.leafBase};
  const CVector centre = (box.min + box.max) / 2;
  const uint32_t first = AddChildren(out, 0, centre);
  // The tasks below may run on this thread and add to its arrays.
  part.nodeCount = scratch.nodes.size() - part.nodeBase;
  part.leafCount = 0;
  std::vector<uint8_t> reach;
  ReachOf(reach, entries, HalfLimits(box, centre));
  // Each child's task is weighed by the entries that may reach it, the
  // most its list can hold: of a cell's children few hold most of a
  // sphere, and they should not be the last to start.
  std::array<unsigned, 8> needed;
  for (int i = 0; i < 8; ++i) needed[i] = ChildHalves(i);
  std::array<size_t, 8> candidates{};
  for (const uint8_t r : reach) {
    for (int i = 0; i < 8; ++i) candidates[i] += (r & needed[i]) == needed[i];
  }
  // Made before any task is forked: the tasks use them until the wait below.
  std::array<std::unique_ptr<Part>, 8> children;
  for (auto& child : children) child = std::make_unique<Part>();
  std::array<std::atomic<bool>, 8> finished{};
  BuildPool::Join join;
  try {
    for (int i = 0; i < 8; ++i) {
      pool_->Fork(
          join,
          [&, i](size_t worker) {
            BuildChild(*children[i], box, centre, i, level, entries, reach, worker);
            finished[i] = true;
          },
          candidates[i]);
    }
  } catch (...) {
    // The tasks queued use this frame until they have run.
    pool_->Wait(join, worker);
    throw;
  }
  int reported = 0;
  auto report = [&] {
    if (level != 1 || std::this_thread::get_id() != caller_) return;
    for (; reported < 8 && finished[reported]; ++reported)
      if (hooks_.reportPosition) hooks_.reportPosition((reported + 1) * 125);
  };
  pool_->Wait(join, worker, report);
  report();
  for (int i = 0; i < 8; ++i) part.parts.emplace_back(first + i, std::move(children[i]));
}

// Fills the list of the parent's child and divides it further, into part.
void OctreeBuilder::BuildChild(Part& part, const CBoundingBox& parentBox, const CVector& centre, int child,
                               int level, std::span<const uint32_t> entries, std::span<const uint8_t> reach,
                               size_t worker) {
  Scratch& scratch = scratches_[worker];
  const CBoundingBox box = octree_detail::ChildBox(parentBox, centre, child);
  FillChildList(part.list, entries, reach, box, child, scratch);
  Output out = BeginPart(part, worker);
  if (StaysLeaf(level, part.list.size())) {
    MakeLeaf(out, 0, part.list);
  } else if (level + 1 <= kTaskLevels) {
    DivideByTasks(part, box, level + 1, part.list, worker);
  } else {
    Subdivide(out, scratch, 0, box, level + 1, part.list);
  }
  if (part.parts.empty()) {
    part.nodeCount = scratch.nodes.size() - part.nodeBase;
    part.leafCount = scratch.leafEntries.size() - part.leafBase;
  }
  std::vector<uint32_t>().swap(part.list);
}

// Gives each part its place, in the order of the cells: the part's nodes
// other than its cell, then its leaf entries, follow those of the parts
// before it, and the parts below it follow. Collects the parts in that
// order.
void OctreeBuilder::Plan(Part& part, uint32_t slot, size_t& nodes, size_t& leafEntries, std::vector<Part*>& parts) {
  part.slot = slot;
  part.to = static_cast<uint32_t>(nodes);
  part.toLeaf = leafEntries;
  nodes += part.nodeCount - 1;
  leafEntries += part.leafCount;
  counters_.octreeSize += part.cells;
  parts.push_back(&part);
  // A part divided by tasks has only its cell and the cells of its parts.
  for (auto& [local, below] : part.parts) Plan(*below, part.to + local - 1, nodes, leafEntries, parts);
}

// Copies the part into the tree where Plan put it. The cells that parts of
// their own hang from are left to those parts, so that the parts can be
// copied on several threads at once.
void OctreeBuilder::Place(const Part& part) {
  const Scratch& source = scratches_[part.worker];
  auto where = [&](uint32_t local) { return local == 0 ? part.slot : part.to + local - 1; };
  const uint32_t count = part.parts.empty() ? static_cast<uint32_t>(part.nodeCount) : 1;
  for (uint32_t local = 0; local < count; ++local) {
    OctreeNode node = source.nodes[part.nodeBase + local];
    if (node.IsLeaf()) {
      node.run.first += part.toLeaf;
    } else {
      node.firstChild = where(node.firstChild);
    }
    tree_.nodes_[where(local)] = node;
  }
  std::copy_n(source.leafEntries.begin() + static_cast<ptrdiff_t>(part.leafBase), part.leafCount,
              tree_.leafEntries_.begin() + static_cast<ptrdiff_t>(part.toLeaf));
}

void OctreeBuilder::FindLayers(const IObList& scene) {
  for (IDrawable* item : scene) {
    if (item->IsKindOf(RUNTIME_CLASS(IObject))) {
      auto* form = static_cast<IObject*>(item);
      for (const IDrawable* layerItem : form->GetLayers()) {
        const auto* layer = static_cast<const ILayer*>(layerItem);
        layers_.push_back({form, layer});
        polygonCount_ += layer->GetPolygons().GetCount();
      }
    }
  }
}

void OctreeBuilder::FindBounds(const IObList& scene) {
  for (IDrawable* item : scene) {
    if (item->IsKindOf(RUNTIME_CLASS(IObject)) || item->IsKindOf(RUNTIME_CLASS(ICamera))) item->AddToBounds(bounds_);
  }
}

void OctreeBuilder::Collect(const IObList& scene) {
  // The box is needed at the end; on several threads it is found while
  // this one gathers the polygons.
  if (pool_) {
    pool_->Fork(boundsFound_, [this, &scene](size_t) { FindBounds(scene); }, 1);
  } else {
    FindBounds(scene);
  }
  LargeVector<OctreeEntry>& entries = tree_.entries_;
  entries.reserve(polygonCount_);
  for (const Layer& layer : layers_) {
    for (const IDrawable* polygonItem : layer.layer->GetPolygons()) {
      const auto* polygon = static_cast<const IPolygon*>(polygonItem);
      entries.push_back({layer.form, layer.layer, polygon, nullptr, nullptr,
                         static_cast<uint32_t>(polygon->GetPoints().GetCount()), 0});
    }
  }

  // Each new entry went to the front of the master list and of the root's
  // list: both hold the scene's polygons last first. Every array is sized
  // before it is filled, so that the polygons can be copied in ranges on
  // several threads.
  std::reverse(entries.begin(), entries.end());
  shapes_.resize(entries.size());
  size_t vertexCount = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].pointCount > std::numeric_limits<uint32_t>::max() - vertexCount)
      throw std::length_error("The scene has too many polygon vertices.");
    shapes_[i].firstVertex = static_cast<uint32_t>(vertexCount);
    shapes_[i].vertexCount = entries[i].pointCount;
    vertexCount += entries[i].pointCount;
  }
  tree_.vertices_.resize(vertexCount);
  tree_.positions_.resize(vertexCount);
  tree_.planes_.resize(entries.size());

  // Copying a polygon visits its points one by one all over the heap. A
  // range takes about a tenth of a millisecond, so that the thread that
  // finishes last keeps the other waiting for little.
  constexpr size_t kRange = 1024;
  if (!pool_ || entries.size() <= kRange) {
    FillEntries(0, entries.size());
  } else {
    const size_t ranges = (entries.size() + kRange - 1) / kRange;
    pool_->ForEach(ranges, 0, [&](size_t i) { FillEntries(i * kRange, std::min((i + 1) * kRange, entries.size())); });
  }

  if (pool_) pool_->Wait(boundsFound_, 0);
  const CVector margin(kRootMargin, kRootMargin, kRootMargin);
  tree_.rootBox_.min = bounds_.min - margin;
  tree_.rootBox_.max = bounds_.max + margin;
}

// Copies the vertices, plane and box of the entries [begin, end).
void OctreeBuilder::FillEntries(size_t begin, size_t end) {
  for (size_t i = begin; i < end; ++i) {
    OctreeEntry& entry = tree_.entries_[i];
    const IPolygon& polygon = *entry.polygon;
    Shape& shape = shapes_[i];
    CBoundingBox bounds;
    bounds.min = CVector(kInfinity, kInfinity, kInfinity);
    bounds.max = CVector(-kInfinity, -kInfinity, -kInfinity);
    size_t v = shape.firstVertex;
    for (const IDrawable* item : polygon.GetPoints()) {
      const auto* point = static_cast<const IPoint*>(item);
      tree_.vertices_[v] = point;
      tree_.positions_[v] = point->world;
      bounds.Add(point->world);
      ++v;
    }
    for (int axis = 0; axis < 3; ++axis) {
      shape.lo[axis] = FloatBelow(Axis(bounds.min, axis));
      shape.hi[axis] = FloatAbove(Axis(bounds.max, axis));
    }
    entry.points = tree_.vertices_.data() + shape.firstVertex;
    entry.positions = tree_.positions_.data() + shape.firstVertex;
    entry.dominantAxis = polygon.GetDominantAxis();
    tree_.planes_[i] = {polygon.GetNormal(), polygon.GetPlaneD(),
                        MakeFanRejectBox({entry.positions, entry.pointCount}, entry.dominantAxis)};
  }
}

// Gives every node its box and the cells across its faces, where the walk
// along a fixed heading can use them. A node needs only its parent's links
// and the nodes, so on several threads each of the root's grandchildren
// has what lies below it linked by a task of its own (the root's children
// hold very different shares of most scenes).
void OctreeBuilder::Link() {
  const LargeVector<OctreeNode>& nodes = tree_.nodes_;
  if (!Octree::IsModerateBox(tree_.rootBox_) || !Octree::CentresStayInside(tree_.rootBox_, maxDepth_)) return;
  tree_.links_.resize(nodes.size());
  const CBoundingBox& root = tree_.rootBox_;
  tree_.links_[0] = {{root.min.x, root.min.y, root.min.z}, {root.max.x, root.max.y, root.max.z}, {}};
  if (!pool_) {
    LinkBelow(0);
    return;
  }
  if (!LinkChildren(0)) return;
  const uint32_t first = nodes[0].firstChild;
  std::vector<uint32_t> tops;
  for (uint32_t i = 0; i < 8; ++i) {
    if (!LinkChildren(first + i)) continue;
    const uint32_t below = nodes[first + i].firstChild;
    for (uint32_t k = 0; k < 8; ++k) tops.push_back(below + k);
  }
  pool_->ForEach(tops.size(), 0, [&](size_t i) { LinkBelow(tops[i]); });
}

// The child across from child i on each axis: its halves with that axis's
// flipped.
constexpr std::array<std::array<uint8_t, 3>, 8> kMirror = [] {
  std::array<std::array<uint8_t, 3>, 8> table{};
  for (int i = 0; i < 8; ++i) {
    for (int axis = 0; axis < 3; ++axis) {
      bool high[3] = {octree_detail::kChildHighX[i], octree_detail::kChildHighY[i], octree_detail::kChildHighZ[i]};
      high[axis] = !high[axis];
      table[i][axis] = static_cast<uint8_t>(octree_detail::ChildIndex(high[0], high[1], high[2]));
    }
  }
  return table;
}();

// Links every node below the given one, parents before their children.
void OctreeBuilder::LinkBelow(uint32_t top) {
  std::vector<uint32_t> parents{top};
  while (!parents.empty()) {
    const uint32_t parent = parents.back();
    parents.pop_back();
    if (!LinkChildren(parent)) continue;
    const uint32_t first = tree_.nodes_[parent].firstChild;
    for (uint32_t i = 0; i < 8; ++i) parents.push_back(first + i);
  }
}

// The children's boxes, and their neighbours: across a face between a
// child and a sibling, that sibling; across a face of the parent's, the
// child on the near side of the parent's neighbour there, or that
// neighbour itself where it is a leaf (or the root's face, 0). False for a
// leaf.
bool OctreeBuilder::LinkChildren(uint32_t parent) {
  const LargeVector<OctreeNode>& nodes = tree_.nodes_;
  const OctreeNode& node = nodes[parent];
  if (node.IsLeaf()) return false;
  const Octree::CellLinks& outer = tree_.links_[parent];
  // The boxes the build divided, halved as it halved them.
  const CBoundingBox box{{outer.lo[0], outer.lo[1], outer.lo[2]}, {outer.hi[0], outer.hi[1], outer.hi[2]}};
  for (int i = 0; i < 8; ++i) {
    Octree::CellLinks& child = tree_.links_[node.firstChild + static_cast<uint32_t>(i)];
    const CBoundingBox childBox = octree_detail::ChildBox(box, node.Centre(), i);
    const bool high[3] = {octree_detail::kChildHighX[i], octree_detail::kChildHighY[i], octree_detail::kChildHighZ[i]};
    for (int axis = 0; axis < 3; ++axis) {
      child.lo[axis] = Axis(childBox.min, axis);
      child.hi[axis] = Axis(childBox.max, axis);
      const uint32_t mirror = kMirror[i][axis];
      // The side of the child that faces its sibling, and the parent's side.
      const int inner = high[axis] ? 0 : 1;
      child.across[2 * axis + inner] = node.firstChild + mirror;
      uint32_t across = outer.across[2 * axis + 1 - inner];
      if (across != 0 && !nodes[across].IsLeaf()) across = nodes[across].firstChild + mirror;
      child.across[2 * axis + 1 - inner] = across;
    }
  }
  return true;
}

Octree BuildOctree(const IObList& scene, int maxDepth, int leafLimit, RenderCounters& counters,
                   const OctreeBuildHooks& hooks) {
  Octree tree;
  OctreeBuilder builder(tree, std::clamp(maxDepth, 1, Octree::kMaxDepthLimit),
                        static_cast<size_t>(std::max(leafLimit, 0)), counters, hooks);
  builder.Build(scene);
  return tree;
}

}  // namespace brevoxa
