// The octree: building it over a scene, the polygon–cube overlap test that
// sorts polygons into cells, and the leaf-by-leaf walk behind both queries.
#include "render/octree.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "render/intersect.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {

namespace {

constexpr double kRootMargin = 1e-5;
constexpr double kBoxNear = 0.001;
constexpr double kBoxFar = 1e7;
// Leaves accept hits this far past their exit face, so that a polygon lying
// in the face is found from the leaf in front of it.
constexpr double kLeafWindowSlack = 1e-5;
// The cube test widens the unit cube by this much (in cube units) on every
// side. Normalising a polygon that lies in a cell face can round its
// coordinate to just outside ±0.5; the slack keeps such a polygon in both
// neighbouring cells. Listing a polygon in one cell too many costs a test,
// listing it in one too few loses hits.
constexpr double kCubeSlack = 1e-9;
constexpr double kHalf = 0.5 + kCubeSlack;

double& Axis(CVector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
double Axis(const CVector& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

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

// --- Box helpers ---

// Distance along the ray to where it leaves the box, and the axes whose
// face it leaves through (bit per axis). Unlike RayBoxIntersect this is
// the plain slab exit, with no near limit: a walk starting on or just
// before a leaf's face still needs that leaf's exit, and an axis with a
// tiny but non-zero direction still bounds the leaf.
double LeafExit(const CBoundingBox& box, const Ray& ray, unsigned& exitAxes) {
  double exit = std::numeric_limits<double>::infinity();
  exitAxes = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const double d = Axis(ray.direction, axis);
    if (d == 0.0) continue;
    const double plane = d > 0.0 ? Axis(box.max, axis) : Axis(box.min, axis);
    const double t = (plane - Axis(ray.origin, axis)) / d;
    if (t < exit) {
      exit = t;
      exitAxes = 1u << axis;
    } else if (t == exit) {
      exitAxes |= 1u << axis;
    }
  }
  return exit;
}

// --- Building ---

struct Builder {
  Builder(int depth, size_t limit, RenderCounters& c, const OctreeBuildHooks& h)
      : maxDepth(depth), leafLimit(limit), counters(c), hooks(h) {}

  int maxDepth;
  size_t leafLimit;
  RenderCounters& counters;
  const OctreeBuildHooks& hooks;
  bool stop = false;
  // Scratch for the normalised vertices; grows to the largest polygon.
  std::vector<CVector> scratch;

  bool Overlaps(const OctreeEntry& entry, const CBoundingBox& box) {
    const CVector centre = (box.min + box.max) / 2;
    const CVector size = box.max - box.min;
    scratch.clear();
    for (const IPoint* point : entry.vertices) {
      const CVector d = point->world - centre;
      scratch.emplace_back(d.x / size.x, d.y / size.y, d.z / size.z);
    }
    const CVector normal(entry.normal.x * size.x, entry.normal.y * size.y, entry.normal.z * size.z);
    return octree_detail::PolygonOverlapsUnitCube(scratch, normal);
  }

  // Recursion is bounded by maxDepth, at most Octree::kMaxDepthLimit.
  void Subdivide(OctreeCell& cell, const CBoundingBox& box, int level) {
    cell.children = std::make_unique<OctreeChildren>();
    OctreeChildren& children = *cell.children;
    children.centre = (box.min + box.max) / 2;
    counters.octreeSize += 8;
    for (int i = 0; i < 8; ++i) {
      OctreeCell& child = children.cells[i];
      const CBoundingBox childBox = octree_detail::ChildBox(box, children.centre, i);
      for (const OctreeEntry* entry : cell.entries) {
        if (Overlaps(*entry, childBox)) child.entries.push_back(entry);
      }
      // Each entry goes to the front of the child's list, so a child lists
      // its entries in the reverse of its parent's order.
      std::reverse(child.entries.begin(), child.entries.end());
      if (hooks.stopRequested && hooks.stopRequested()) stop = true;
      if (level < maxDepth && !stop && child.entries.size() > leafLimit) Subdivide(child, childBox, level + 1);
      if (level == 1 && hooks.reportPosition) hooks.reportPosition((i + 1) * 125);
    }
    std::vector<const OctreeEntry*>().swap(cell.entries);
  }
};

}  // namespace

namespace octree_detail {

CBoundingBox ChildBox(const CBoundingBox& box, const CVector& centre, int child) {
  CBoundingBox b;
  b.min.x = kChildHighX[child] ? centre.x : box.min.x;
  b.max.x = kChildHighX[child] ? box.max.x : centre.x;
  b.min.y = kChildHighY[child] ? centre.y : box.min.y;
  b.max.y = kChildHighY[child] ? box.max.y : centre.y;
  b.min.z = kChildHighZ[child] ? centre.z : box.min.z;
  b.max.z = kChildHighZ[child] ? box.max.z : centre.z;
  return b;
}

int ChildIndex(bool highX, bool highY, bool highZ) {
  // Within each x half the children run (y, z) = high high, low high,
  // low low, high low.
  const int yz = highY ? (highZ ? 0 : 3) : (highZ ? 1 : 2);
  return (highX ? 0 : 4) + yz;
}

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

BoxHit RayBoxIntersect(const CBoundingBox& box, const Ray& ray) {
  BoxHit result;
  if (!IsFinite(ray.origin) || std::isnan(ray.direction.x) || std::isnan(ray.direction.y) ||
      std::isnan(ray.direction.z)) {
    return result;
  }
  double t0 = 0.0;
  double t1 = std::numeric_limits<double>::infinity();
  for (int axis = 0; axis < 3; ++axis) {
    const double o = Axis(ray.origin, axis);
    const double d = Axis(ray.direction, axis);
    const double lo = Axis(box.min, axis), hi = Axis(box.max, axis);
    if (d >= -kParallelTolerance && d <= kParallelTolerance) {
      if (o < lo || o > hi) return result;
      continue;
    }
    const double tf = ((d > 0 ? hi : lo) - o) / d;
    if (tf < t0) return result;
    t1 = std::min(t1, tf);
    const double tn = ((d > 0 ? lo : hi) - o) / d;
    if (tn >= t0) t0 = tn;
    if (t0 > t1) return result;
  }
  auto inRange = [](double t) { return t >= kBoxNear && t <= kBoxFar; };
  if (t0 < kBoxNear || t0 > kBoxFar) {
    if (!inRange(t1)) return result;
    t0 = t1;
  } else if (!inRange(t1)) {
    t1 = t0;
  }
  result = {true, t0, t1};
  return result;
}

// --- Building ---

Octree BuildOctree(const IObList& scene, int maxDepth, int leafLimit, RenderCounters& counters,
                   const OctreeBuildHooks& hooks) {
  Octree tree;
  CBoundingBox box;

  // Entries first, so that the vertex array no longer moves when the
  // entries take their views of it.
  struct Pending {
    OctreeEntry entry;
    size_t first;
  };
  std::vector<Pending> pending;
  for (IDrawable* item : scene) {
    if (item->IsKindOf(RUNTIME_CLASS(IObject))) {
      auto* form = static_cast<IObject*>(item);
      for (const IDrawable* layerItem : form->GetLayers()) {
        const auto* layer = static_cast<const ILayer*>(layerItem);
        for (const IDrawable* polygonItem : layer->GetPolygons()) {
          const auto* polygon = static_cast<const IPolygon*>(polygonItem);
          Pending p;
          p.entry.form = form;
          p.entry.layer = layer;
          p.entry.polygon = polygon;
          p.entry.normal = polygon->GetNormal();
          p.entry.planeD = polygon->GetPlaneD();
          p.entry.dominantAxis = polygon->GetDominantAxis();
          p.first = tree.vertices_.size();
          for (const IDrawable* point : polygon->GetPoints()) {
            tree.vertices_.push_back(static_cast<const IPoint*>(point));
          }
          pending.push_back(p);
        }
      }
      form->AddToBounds(box);
    } else if (item->IsKindOf(RUNTIME_CLASS(ICamera))) {
      item->AddToBounds(box);
    }
  }

  // Each new entry went to the front of the master list and of the root's
  // list: both hold the scene's polygons last first.
  const std::span<const IPoint* const> all(tree.vertices_);
  tree.entries_.reserve(pending.size());
  for (size_t i = pending.size(); i-- > 0;) {
    const size_t end = i + 1 < pending.size() ? pending[i + 1].first : all.size();
    OctreeEntry entry = pending[i].entry;
    entry.vertices = all.subspan(pending[i].first, end - pending[i].first);
    tree.entries_.push_back(entry);
  }
  tree.root_.entries.reserve(tree.entries_.size());
  for (const OctreeEntry& entry : tree.entries_) tree.root_.entries.push_back(&entry);

  const CVector margin(kRootMargin, kRootMargin, kRootMargin);
  tree.rootBox_.min = box.min - margin;
  tree.rootBox_.max = box.max + margin;

  Builder builder(std::clamp(maxDepth, 1, Octree::kMaxDepthLimit), static_cast<size_t>(std::max(leafLimit, 0)),
                  counters, hooks);
  builder.Subdivide(tree.root_, tree.rootBox_, 1);
  return tree;
}

// --- Queries ---

OctreeLeaf Octree::Locate(const CVector& point, const CVector& direction) const {
  OctreeLeaf leaf{&root_, rootBox_};
  while (!leaf.cell->IsLeaf()) {
    const OctreeChildren& children = *leaf.cell->children;
    const CVector& c = children.centre;
    // On the centre plane the point goes the way the ray heads; with no
    // direction on that axis, to the low half.
    auto high = [](double p, double centre, double d) { return p > centre || (p == centre && d > 0.0); };
    const int i = octree_detail::ChildIndex(high(point.x, c.x, direction.x), high(point.y, c.y, direction.y),
                                            high(point.z, c.z, direction.z));
    leaf.box = octree_detail::ChildBox(leaf.box, c, i);
    leaf.cell = &children.cells[i];
  }
  return leaf;
}

OctreeLeaf Octree::FindLeaf(const CVector& point) const { return Locate(point, CVector()); }

// The walk visits leaf after leaf along the ray. The next leaf is found from
// the point where the ray leaves the current one; that point lies on the
// exit face, where the tie rule alone could send it back into the same
// leaf. So the point's coordinates on the exit axes are set to the face
// itself, the descent sends points on a centre plane the way the ray heads,
// and no coordinate is allowed to move against the ray. With that descent
// the point never sits on the exit face of the leaf it lands in (only on
// the root's own faces, where the walk ends), so every step moves at least
// one coordinate onto a cell face strictly further along the ray, and
// there are only finitely many faces: the walk always ends. FindLeaf keeps
// the plain rule: a point on a centre plane belongs to the low half.
template <class LeafVisitor>
ShadowWalkEnd Octree::Walk(const Ray& ray, double maxDistance, RenderCounters& counters,
                           LeafVisitor&& visit) const {
  ++counters.octreeHits;
  const BoxHit root = RayBoxIntersect(rootBox_, ray);
  if (!root.hit || root.entry != root.exit) return ShadowWalkEnd::outsideScene;
  const double limit = std::min(root.exit, maxDistance);

  CVector p = ray.origin;
  for (;;) {
    const OctreeLeaf leaf = Locate(p, ray.direction);
    ++counters.octreeHits;
    unsigned exitAxes = 0;
    const double exit = LeafExit(leaf.box, ray, exitAxes);
    const double window = std::min(exit + kLeafWindowSlack, maxDistance);
    if (visit(*leaf.cell, window)) return ShadowWalkEnd::stopped;
    if (limit <= exit) return ShadowWalkEnd::reachedEnd;

    CVector next = ray.At(exit);
    bool advanced = false;
    for (int axis = 0; axis < 3; ++axis) {
      const double d = Axis(ray.direction, axis);
      double& coordinate = Axis(next, axis);
      if (exitAxes & (1u << axis)) coordinate = d > 0.0 ? Axis(leaf.box.max, axis) : Axis(leaf.box.min, axis);
      if (d > 0.0) coordinate = std::max(coordinate, Axis(p, axis));
      if (d < 0.0) coordinate = std::min(coordinate, Axis(p, axis));
      if ((exitAxes & (1u << axis)) && coordinate != Axis(p, axis)) advanced = true;
    }
    // Only a point already beyond the leaf's exit face fails to advance; the
    // ray has then left the scene.
    if (!advanced) return ShadowWalkEnd::reachedEnd;
    p = next;
  }
}

namespace {

// One entry of a leaf against the ray: a hit at 1e-5 <= t < window fills
// the record (form, layer, polygon and the fan triangle) and counts.
bool HitsEntry(const OctreeEntry& entry, const Ray& ray, double window, HitRecord& hit, RenderCounters& counters) {
  double t;
  if (!IntersectPlane(entry.normal, entry.planeD, ray, t)) return false;
  if (!(t >= kMinHitDistance && t < window)) return false;
  ++counters.polygonHitTests;
  if (!ContainsHit(entry.vertices, entry.dominantAxis, hit, ray, t)) return false;
  ++counters.polygonHits;
  hit.form = entry.form;
  hit.layer = entry.layer;
  hit.polygon = entry.polygon;
  hit.normal = entry.normal;
  return true;
}

}  // namespace

bool Octree::FindNearestHit(const Ray& ray, double maxDistance, HitRecord& hit, RenderCounters& counters) const {
  bool found = false;
  Walk(ray, maxDistance, counters, [&](const OctreeCell& leaf, double window) {
    for (const OctreeEntry* entry : leaf.entries) {
      if (!HitsEntry(*entry, ray, window, hit, counters)) continue;
      // Later candidates in this leaf must be nearer; ties stay with the
      // entry listed first.
      window = hit.t;
      found = true;
    }
    return found;
  });
  return found;
}

ShadowWalkEnd Octree::ShadowWalk(const Ray& ray, double distance, RenderCounters& counters,
                                 const std::function<bool(const HitRecord&)>& onHit) const {
  HitRecord hit;
  return Walk(ray, distance, counters, [&](const OctreeCell& leaf, double window) {
    for (const OctreeEntry* entry : leaf.entries)
      if (HitsEntry(*entry, ray, window, hit, counters) && !onHit(hit)) return true;
    return false;
  });
}

}  // namespace brevoxa
