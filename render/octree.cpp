// The octree's queries: the slab test, the leaf that holds a point, and the
// leaf-by-leaf walk behind the nearest hit and the shadow walk. The build
// is in octree_build.cpp.
#include "render/octree.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "render/intersect.h"

namespace brevoxa {

namespace {

constexpr double kBoxNear = 0.001;
constexpr double kBoxFar = 1e7;
// Leaves accept hits this far past their exit face, so that a polygon lying
// in the face is found from the leaf in front of it.
constexpr double kLeafWindowSlack = 1e-5;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// The range of the walk along a fixed heading (see IsPlainHeading).
constexpr double kSmallDirection = 1e-150;
constexpr double kLargeCoordinate = 1e150;

bool IsFinite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

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

}  // namespace octree_detail

BoxHit RayBoxIntersect(const CBoundingBox& box, const Ray& ray) {
  BoxHit result;
  if (!IsFinite(ray.origin) || std::isnan(ray.direction.x) || std::isnan(ray.direction.y) ||
      std::isnan(ray.direction.z)) {
    return result;
  }
  auto inRange = [](double t) { return t >= kBoxNear && t <= kBoxFar; };
  // Secondary and shadow rays start inside the box. Every near face then
  // lies behind the origin, so the loop below would end with the entry at
  // or below 0 and take the nearest far face for both; it is found here
  // without the near faces' divisions.
  if (box.min.x < ray.origin.x && ray.origin.x < box.max.x && box.min.y < ray.origin.y &&
      ray.origin.y < box.max.y && box.min.z < ray.origin.z && ray.origin.z < box.max.z) {
    double exit = kInfinity;
    for (int axis = 0; axis < 3; ++axis) {
      const double d = Axis(ray.direction, axis);
      if (d >= -kParallelTolerance && d <= kParallelTolerance) continue;
      exit = std::min(exit, ((d > 0 ? Axis(box.max, axis) : Axis(box.min, axis)) - Axis(ray.origin, axis)) / d);
    }
    if (inRange(exit)) result = {true, exit, exit};
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
  if (t0 < kBoxNear || t0 > kBoxFar) {
    if (!inRange(t1)) return result;
    t0 = t1;
  } else if (!inRange(t1)) {
    t1 = t0;
  }
  result = {true, t0, t1};
  return result;
}

bool Octree::IsModerateBox(const CBoundingBox& box) {
  auto moderate = [](double v) { return std::fabs(v) < kLargeCoordinate; };
  return moderate(box.min.x) && moderate(box.min.y) && moderate(box.min.z) && moderate(box.max.x) &&
         moderate(box.max.y) && moderate(box.max.z);
}

// Halving a cell whose coordinates are at most m in size puts the centre
// within half an ulp of m of the middle, so a cell n halvings below the
// root is at least w/2^n - ulp(m) wide, and its centre lies strictly
// inside while that width exceeds ulp(m). Asking for four ulps at the
// deepest level leaves room; ulp(m) is at most m·2^-52.
bool Octree::CentresStayInside(const CBoundingBox& box, int maxDepth) {
  for (int axis = 0; axis < 3; ++axis) {
    const double lo = Axis(box.min, axis), hi = Axis(box.max, axis);
    const double m = std::max(std::fabs(lo), std::fabs(hi));
    if (!std::isfinite(m) || !(hi - lo >= std::ldexp(m, maxDepth + 2 - 52))) return false;
  }
  return true;
}

// --- Queries ---

OctreeLeaf Octree::FindLeaf(const CVector& point) const {
  OctreeLeaf leaf{&nodes_.front(), rootBox_};
  while (!leaf.node->IsLeaf()) {
    const CVector c = leaf.node->Centre();
    const int i = octree_detail::ChildIndex(point.x > c.x, point.y > c.y, point.z > c.z);
    leaf.box = octree_detail::ChildBox(leaf.box, c, i);
    leaf.node = &nodes_[leaf.node->firstChild + i];
  }
  return leaf;
}

namespace {

// One cell on the walk's current path from the root: the faces of its box
// the ray heads for, and the bounds it may not reach on those axes without
// leaving the cell (see Walk).
struct PathCell {
  uint32_t node;
  // The depth at which the cell's face ahead on each axis was set, one
  // byte an axis (x lowest); 0 for a face of the root.
  uint32_t faceDepths;
  // The child this cell is of its parent, as bits x, y, z of the high
  // halves.
  uint8_t halves;
  double face[3];
  double bound[3];
};

// For each set of axis bits, the bytes of faceDepths those axes own.
constexpr std::array<uint32_t, 8> kDepthBytes = [] {
  std::array<uint32_t, 8> table{};
  for (unsigned bits = 0; bits < 8; ++bits) {
    for (unsigned a = 0; a < 3; ++a) {
      if (bits & (1u << a)) table[bits] |= 0xffu << (8 * a);
    }
  }
  return table;
}();

// ChildIndex as a table over the bits x, y, z of the high halves.
constexpr std::array<uint8_t, 8> kChildOfHalves = [] {
  std::array<uint8_t, 8> table{};
  for (int i = 0; i < 8; ++i) {
    table[octree_detail::kChildHighX[i] | octree_detail::kChildHighY[i] << 1 | octree_detail::kChildHighZ[i] << 2] =
        static_cast<uint8_t>(i);
  }
  return table;
}();

// The direction's signs as the walk reads them. A fixed heading knows
// them at compile time; it serves rays that move along every axis, whose
// points never become NaN (see IsPlainHeading).
template <bool kUpX, bool kUpY, bool kUpZ>
struct FixedHeading {
  static constexpr bool kFixed = true;
  static constexpr bool kMayMeetNaN = false;
  static constexpr bool up[3] = {kUpX, kUpY, kUpZ};
  static constexpr bool moves[3] = {true, true, true};
  static constexpr double sign[3] = {kUpX ? 1.0 : -1.0, kUpY ? 1.0 : -1.0, kUpZ ? 1.0 : -1.0};
};

struct AnyHeading {
  static constexpr bool kFixed = false;
  static constexpr bool kMayMeetNaN = true;
  explicit AnyHeading(const CVector& direction) {
    const double d[3] = {direction.x, direction.y, direction.z};
    for (int a = 0; a < 3; ++a) {
      up[a] = d[a] > 0.0;
      moves[a] = d[a] != 0.0;
      // Bounds are kept multiplied by the sign of the direction, so that
      // one test, sign · p < bound, serves both directions; on the axes the
      // point never moves along the sign is 0 and the bound stays infinite.
      sign[a] = up[a] ? 1.0 : moves[a] ? -1.0 : 0.0;
    }
  }
  bool up[3];
  bool moves[3];
  double sign[3];
};

// Whether a point at x is still short of the face at f, heading up or down.
template <bool kUp>
bool Before(double x, double f) {
  return kUp ? x < f : x > f;
}

// Whether a ray suits a fixed heading: every direction component of
// moderate size, in a tree whose box is of moderate size too. The origin
// of a walk lies in the box (or within 0.001 of the direction's length of
// it), so each face distance, a difference over a divisor of at least
// 1e-150, stays finite, and so does every point of the walk.
bool IsPlainHeading(const CVector& direction) {
  auto plain = [](double d) { return std::fabs(d) >= kSmallDirection && std::fabs(d) < kLargeCoordinate; };
  return plain(direction.x) && plain(direction.y) && plain(direction.z);
}

// The step of a walk along a fixed heading out of the leaf at path[depth]
// through its face ahead on axis A alone, to the point p on that face. It
// finds the leaf the climb and descent of the walk would find, without
// their comparisons; it declines (false, nothing changed) where it cannot
// be sure of that, and the walk then climbs and descends as usual.
//
// The climb stops below the cell whose face ahead on A lies beyond the
// leaf's: the parent of the cell at top, the depth at which the leaf's
// face on A was set. The other axes cannot hold it back while p is short
// of the leaf's faces on them. From that ancestor the descent makes the
// old path's choices with A's flipped: on A, p sits on the ancestor's
// centre, which sends it ahead, and further down on each cell's face
// behind, which sends it behind when every centre lies strictly inside
// its cell (CentresStayInside); on the other axes the cells have the old
// path's extents and centres, and p has crossed none of them. Below the
// old leaf's depth the walk's own descent goes on.
template <int A, class Heading>
[[gnu::always_inline]] inline bool StepAcross(const OctreeNode* nodes, PathCell* path, int& depth, const double* p) {
  constexpr int B = (A + 1) % 3, C = (A + 2) % 3;
  constexpr uint32_t kByte = 0xffu << (8 * A);
  const int leafDepth = depth;
  const PathCell& leaf = path[leafDepth];
  if (Before<Heading::up[A]>(p[A], leaf.face[A]) || !Before<Heading::up[B]>(p[B], leaf.face[B]) ||
      !Before<Heading::up[C]>(p[C], leaf.face[C])) {
    return false;
  }
  const int top = static_cast<int>((leaf.faceDepths & kByte) >> (8 * A));
  if (top == 0) return false;
  const PathCell& ancestor = path[top - 1];
  if (!Before<Heading::up[A]>(p[A], ancestor.face[A])) return false;

  const OctreeNode* node = &nodes[ancestor.node];
  int j = top;
  PathCell* cell = &path[top];
  cell->face[A] = ancestor.face[A];
  cell->faceDepths = (cell->faceDepths & ~kByte) | (ancestor.faceDepths & kByte);
  for (;;) {
    cell->halves ^= 1u << A;
    cell->node = node->firstChild + kChildOfHalves[cell->halves];
    const OctreeNode* child = &nodes[cell->node];
    if (child->IsLeaf() || j == leafDepth) break;
    ++j;
    ++cell;
    cell->face[A] = child->centre[A];
    cell->faceDepths = (cell->faceDepths & ~kByte) | (uint32_t(j) << (8 * A));
    node = child;
  }
  depth = j;
  return true;
}

}  // namespace

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
//
// The next leaf is found from the current one rather than from the root,
// with the same result. The point moves only along the ray on each axis:
// where the direction is 0 it keeps its coordinate, elsewhere it is
// clamped never to go back. Heading up an axis (d > 0), the descent takes
// the high half when p >= centre; a point that took the high half keeps
// taking it, and one that took the low half (p < centre) changes only once
// p reaches that centre. Heading down, likewise with p <= centre and the
// low half. So an ancestor's choice can change only on an axis the ray
// moves along, when the point reaches the tightest centre the path has
// crossed in that direction, the cell's bound; where the path has crossed
// none (the root's own faces), the bound is infinite: the descent from the
// root never rejects a point. The walk therefore climbs while the point has
// reached the cell's bound and descends from there. A NaN coordinate
// follows no order, so after one the walk descends from the root, which
// sends NaN low.
template <class LeafVisitor>
ShadowWalkEnd Octree::Walk(const Ray& ray, double maxDistance, RenderCounters& counters,
                           LeafVisitor&& visit) const {
  ++counters.octreeHits;
  const BoxHit root = RayBoxIntersect(rootBox_, ray);
  if (!root.hit || root.entry != root.exit) return ShadowWalkEnd::outsideScene;
  const double limit = std::min(root.exit, maxDistance);
  // Most rays move along all three axes with moderate numbers; their walk is
  // compiled once for each of the eight headings, where every test on the
  // direction's signs folds away. The rest take the general walk.
  if (moderateBox_ && IsPlainHeading(ray.direction)) {
    const unsigned octant = unsigned(ray.direction.x > 0.0) | unsigned(ray.direction.y > 0.0) << 1 |
                            unsigned(ray.direction.z > 0.0) << 2;
    switch (octant) {
      case 0: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<false, false, false>{}, visit);
      case 1: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<true, false, false>{}, visit);
      case 2: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<false, true, false>{}, visit);
      case 3: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<true, true, false>{}, visit);
      case 4: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<false, false, true>{}, visit);
      case 5: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<true, false, true>{}, visit);
      case 6: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<false, true, true>{}, visit);
      default: return WalkLeaves(ray, limit, maxDistance, counters, FixedHeading<true, true, true>{}, visit);
    }
  }
  return WalkLeaves(ray, limit, maxDistance, counters, AnyHeading(ray.direction), visit);
}

template <class Heading, class LeafVisitor>
ShadowWalkEnd Octree::WalkLeaves(const Ray& ray, double limit, double maxDistance, RenderCounters& counters,
                                 const Heading& heading, LeafVisitor& visit) const {
  const double o[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
  const double d[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
  const auto& up = heading.up;
  const auto& moves = heading.moves;
  const auto& sign = heading.sign;

  PathCell path[kMaxDepthLimit + 1];
  path[0].node = 0;
  path[0].faceDepths = 0;
  path[0].halves = 0;
  for (int a = 0; a < 3; ++a) {
    path[0].face[a] = up[a] ? Axis(rootBox_.max, a) : Axis(rootBox_.min, a);
    path[0].bound[a] = kInfinity;
  }
  int depth = 0;
  double p[3] = {o[0], o[1], o[2]};
  bool lastHadNaN = false;
  // The faces the last leaf was left through, as axis bits.
  unsigned lastExitAxes = 0;
  // The distances to the faces of the last leaf, by axis.
  unsigned known = 0;
  uint64_t knownFace[3] = {};
  double faceDistance[3] = {};
  for (;;) {
    const bool hasNaN =
        Heading::kMayMeetNaN && (std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2]));
    if (hasNaN || lastHadNaN) {
      depth = 0;
    } else if constexpr (Heading::kFixed) {
      bool stepped = false;
      if (centresInside_) {
        switch (lastExitAxes) {
          case 1: stepped = StepAcross<0, Heading>(nodes_.data(), path, depth, p); break;
          case 2: stepped = StepAcross<1, Heading>(nodes_.data(), path, depth, p); break;
          case 4: stepped = StepAcross<2, Heading>(nodes_.data(), path, depth, p); break;
          default: break;
        }
      }
      if (!stepped) {
        // Along a fixed heading every bound is the face ahead, or infinite
        // where that face is the root's own; a point on the root's face
        // climbs further than it must, and lands in the same leaf. The
        // point sits on the leaf's own exit face, so the leaf is left at
        // once.
        if (depth > 0) --depth;
        while (depth > 0) {
          const double* f = path[depth].face;
          if (Before<Heading::up[0]>(p[0], f[0]) && Before<Heading::up[1]>(p[1], f[1]) &&
              Before<Heading::up[2]>(p[2], f[2])) break;
          --depth;
        }
      }
    } else {
      while (depth > 0) {
        const double* bound = path[depth].bound;
        if (sign[0] * p[0] < bound[0] && sign[1] * p[1] < bound[1] && sign[2] * p[2] < bound[2]) break;
        --depth;
      }
    }
    lastHadNaN = hasNaN;

    // On the centre plane the point goes the way the ray heads; with no
    // direction on that axis, to the low half. The choices are branches on
    // purpose: predicted, they let the processor start the next leaf's face
    // divisions before the point they depend on is known (a branch-free
    // descent ran 15 % slower).
    const OctreeNode* node = &nodes_[path[depth].node];
    while (!node->IsLeaf()) {
      const double* c = node->centre;
      const PathCell& parent = path[depth];
      PathCell& cell = path[depth + 1];
      unsigned halves = 0;
      unsigned behind = 0;
      for (int a = 0; a < 3; ++a) {
        const bool high = p[a] > c[a] || (p[a] == c[a] && up[a]);
        halves |= unsigned(high) << a;
        cell.face[a] = parent.face[a];
        if constexpr (!Heading::kFixed) cell.bound[a] = parent.bound[a];
        // The child's face ahead is the centre when the ray heads from the
        // child towards it.
        if (high != up[a]) {
          cell.face[a] = c[a];
          behind |= 1u << a;
          if constexpr (!Heading::kFixed) {
            if (moves[a]) cell.bound[a] = std::min(parent.bound[a], sign[a] * c[a]);
          }
        }
      }
      if constexpr (Heading::kFixed) {
        cell.halves = static_cast<uint8_t>(halves);
        const uint32_t mine = kDepthBytes[behind];
        cell.faceDepths = (parent.faceDepths & ~mine) | (uint32_t(depth + 1) * 0x010101u & mine);
      }
      cell.node = node->firstChild + kChildOfHalves[halves];
      node = &nodes_[cell.node];
      ++depth;
    }
    ++counters.octreeHits;

    // Where the ray leaves the leaf, and through which faces. This is the
    // plain slab exit, with no near limit: a walk starting on or just
    // before a leaf's face still needs that leaf's exit, and an axis with
    // a tiny but non-zero direction still bounds the leaf. A face the
    // previous leaf shared (the same bits) has the same distance.
    const double* face = path[depth].face;
    for (int a = 0; a < 3; ++a) {
      if (moves[a] && !(known & (1u << a) && std::bit_cast<uint64_t>(face[a]) == knownFace[a])) {
        knownFace[a] = std::bit_cast<uint64_t>(face[a]);
        faceDistance[a] = (face[a] - o[a]) / d[a];
        known |= 1u << a;
      }
    }
    // The nearest of the faces ahead, and every face at that distance. The
    // exit is taken without branches (which face comes first is as good as
    // random); of equal distances the first axis's is kept, which can
    // differ from a later one only in the sign of a zero.
    double exit = kInfinity;
    for (int a = 0; a < 3; ++a) {
      if (moves[a]) exit = faceDistance[a] < exit ? faceDistance[a] : exit;
    }
    unsigned exitAxes = 0;
    if constexpr (Heading::kFixed) {
      // No distance is NaN here, and none is below the exit.
      for (int a = 0; a < 3; ++a) exitAxes |= unsigned(!(faceDistance[a] > exit)) << a;
    } else {
      for (int a = 0; a < 3; ++a) exitAxes |= unsigned(moves[a] & (faceDistance[a] == exit)) << a;
    }

    const double window = std::min(exit + kLeafWindowSlack, maxDistance);
    if (visit(*node, window)) return ShadowWalkEnd::stopped;
    if (limit <= exit) return ShadowWalkEnd::reachedEnd;

    double next[3];
    bool advanced = false;
    for (int a = 0; a < 3; ++a) {
      next[a] = o[a] + d[a] * exit;
      if (exitAxes & (1u << a)) next[a] = face[a];
      if constexpr (Heading::kFixed) {
        // The heading is the direction's signs.
        next[a] = up[a] ? std::max(next[a], p[a]) : std::min(next[a], p[a]);
      } else {
        if (d[a] > 0.0) next[a] = std::max(next[a], p[a]);
        if (d[a] < 0.0) next[a] = std::min(next[a], p[a]);
      }
      if ((exitAxes & (1u << a)) && next[a] != p[a]) advanced = true;
    }
    // Only a point already beyond the leaf's exit face fails to advance; the
    // ray has then left the scene.
    if (!advanced) return ShadowWalkEnd::reachedEnd;
    for (int a = 0; a < 3; ++a) p[a] = next[a];
    lastExitAxes = exitAxes;
  }
}

// The entry's plane against the ray: whether it is met at 1e-5 <= t < window.
bool Octree::MeetsPlane(uint32_t index, const Ray& ray, double window, double& t) const {
  const EntryPlane& plane = planes_[index];
  return IntersectPlane(plane.normal, plane.d, ray, t) && t >= kMinHitDistance && t < window;
}

// An entry whose plane the ray meets at t: whether the point lies inside
// the polygon, which fills the record (form, layer, polygon and the fan
// triangle) and counts.
inline bool Octree::HitsPolygon(uint32_t index, const Ray& ray, double t, HitRecord& hit,
                                RenderCounters& counters) const {
  // Most planes a ray meets within a leaf belong to the neighbours of the
  // polygon it hits, or leaves, and are met well outside them. Tested here,
  // inline, so that the call to the fan test is rare.
  if (planes_[index].reject.Refuses(ray.At(t))) return false;
  return HitsInside(index, ray, t, hit, counters);
}

bool Octree::HitsInside(uint32_t index, const Ray& ray, double t, HitRecord& hit, RenderCounters& counters) const {
  const OctreeEntry& entry = entries_[index];
  if (!ContainsHit({entry.positions, entry.pointCount}, entry.points, entry.dominantAxis, hit, ray, t)) return false;
  ++counters.polygonHits;
  hit.form = entry.form;
  hit.layer = entry.layer;
  hit.polygon = entry.polygon;
  hit.normal = planes_[index].normal;
  return true;
}

bool Octree::FindNearestHit(const Ray& ray, double maxDistance, HitRecord& hit, RenderCounters& counters) const {
  bool found = false;
  Walk(ray, maxDistance, counters, [&](const OctreeNode& leaf, double window) {
    for (const uint32_t entry : GetLeafEntries(leaf)) {
      double t;
      if (!MeetsPlane(entry, ray, window, t)) continue;
      ++counters.polygonHitTests;
      if (!HitsPolygon(entry, ray, t, hit, counters)) continue;
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
                                 ShadowHitCallback onHit) const {
  HitRecord hit;
  return Walk(ray, distance, counters, [&](const OctreeNode& leaf, double window) {
    for (const uint32_t entry : GetLeafEntries(leaf)) {
      double t;
      if (!MeetsPlane(entry, ray, window, t)) continue;
      ++counters.polygonHitTests;
      if (HitsPolygon(entry, ray, t, hit, counters) && !onHit(hit)) return true;
    }
    return false;
  });
}

}  // namespace brevoxa
