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

// One cell on the general walk's current path from the root: the faces of
// its box the ray heads for, and the bounds it may not reach on those axes
// without leaving the cell (see WalkLeaves).
struct PathCell {
  uint32_t node;
  double face[3];
  double bound[3];
};

// ChildIndex as a table over the bits x, y, z of the high halves.
constexpr std::array<uint8_t, 8> kChildOfHalves = [] {
  std::array<uint8_t, 8> table{};
  for (unsigned bits = 0; bits < 8; ++bits) {
    table[bits] = static_cast<uint8_t>(octree_detail::ChildIndex(bits & 1, bits & 2, bits & 4));
  }
  return table;
}();

// The direction's signs of a ray that moves along every axis, known at
// compile time, where every test on them folds away.
template <bool kUpX, bool kUpY, bool kUpZ>
struct FixedHeading {
  static constexpr bool up[3] = {kUpX, kUpY, kUpZ};
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
// Stated plainly, every next leaf is found by that descent from the root.
// The walks below find the same leaf with less work: the one along a fixed
// heading steps to the cell across the face (see Across), the general one
// climbs its path from the root only as far as it must (see WalkLeaves).
template <class LeafVisitor>
ShadowWalkEnd Octree::Walk(const Ray& ray, double maxDistance, RenderCounters& counters,
                           LeafVisitor&& visit) const {
  ++counters.octreeHits;
  const BoxHit root = RayBoxIntersect(rootBox_, ray);
  if (!root.hit || root.entry != root.exit) return ShadowWalkEnd::outsideScene;
  const double limit = std::min(root.exit, maxDistance);
  // Most rays move along all three axes with moderate numbers; their walk is
  // compiled once for each of the eight headings. The rest, and every ray
  // of a tree without links, take the general walk.
  if (!links_.empty() && IsPlainHeading(ray.direction)) {
    const unsigned octant = unsigned(ray.direction.x > 0.0) | unsigned(ray.direction.y > 0.0) << 1 |
                            unsigned(ray.direction.z > 0.0) << 2;
    switch (octant) {
      case 0: return WalkLinked<FixedHeading<false, false, false>>(ray, limit, maxDistance, counters, visit);
      case 1: return WalkLinked<FixedHeading<true, false, false>>(ray, limit, maxDistance, counters, visit);
      case 2: return WalkLinked<FixedHeading<false, true, false>>(ray, limit, maxDistance, counters, visit);
      case 3: return WalkLinked<FixedHeading<true, true, false>>(ray, limit, maxDistance, counters, visit);
      case 4: return WalkLinked<FixedHeading<false, false, true>>(ray, limit, maxDistance, counters, visit);
      case 5: return WalkLinked<FixedHeading<true, false, true>>(ray, limit, maxDistance, counters, visit);
      case 6: return WalkLinked<FixedHeading<false, true, true>>(ray, limit, maxDistance, counters, visit);
      default: return WalkLinked<FixedHeading<true, true, true>>(ray, limit, maxDistance, counters, visit);
    }
  }
  return WalkLeaves(ray, limit, maxDistance, counters, visit);
}

// The descent of the walk along a fixed heading from the given cell: on a
// centre plane the point goes the way the ray heads. The choices are
// branches on purpose: predicted, they let the processor start the next
// leaf's face divisions before the point they depend on is known (a
// branch-free descent ran 15 % slower).
template <class Heading>
uint32_t Octree::Descend(const OctreeNode* nodes, uint32_t index, const double* p) {
  constexpr auto& up = Heading::up;
  const OctreeNode* node = &nodes[index];
  while (!node->IsLeaf()) {
    const double* c = node->centre;
    unsigned halves = 0;
    for (int a = 0; a < 3; ++a) halves |= unsigned(p[a] > c[a] || (p[a] == c[a] && up[a])) << a;
    index = node->firstChild + kChildOfHalves[halves];
    node = &nodes[index];
  }
  return index;
}

// Where the walk along a fixed heading goes on from a leaf it left through
// its face on axis A alone, with the point p on that face: the cell across
// it, from which the descent finds the same leaf as from the root; 0 (the
// root) where that is not sure.
//
// The descent from the root follows the leaf's path as long as it runs
// over the same cells: on the other axes p lies strictly inside the leaf,
// so it takes the leaf's halves there at every level. On A, p sits on the
// centre of the last cell on the path whose low half (heading up; the
// high half heading down) the path took, which sends it ahead, and below
// that cell on the face behind each cell it enters, which sends it behind
// when every centre lies strictly inside its cell (the tree has links only
// then). That is the path to the cell of the leaf's size across the face,
// or to the leaf above it that holds it; the root's own faces have none.
template <int A, class Heading>
[[gnu::always_inline]] inline uint32_t Octree::Across(const CellLinks& leaf, const double* face, const double* p) {
  constexpr int B = (A + 1) % 3, C = (A + 2) % 3;
  constexpr auto& up = Heading::up;
  if (p[A] != face[A] || !Before<up[B]>(p[B], face[B]) || !Before<up[C]>(p[C], face[C])) return 0;
  return leaf.across[2 * A + up[A]];
}

namespace {

// The walk's next point where the ray leaves through the face on axis A
// alone: the face itself on A, the ray's point at the exit on the others,
// and never back against the ray. Whether it moved on A.
template <int A, class Heading>
[[gnu::always_inline]] inline bool MoveOnto(double* p, const double* o, const double* d, const double* face,
                                            double exit) {
  constexpr int B = (A + 1) % 3, C = (A + 2) % 3;
  constexpr auto& up = Heading::up;
  auto ahead = [](bool isUp, double n, double old) { return isUp ? std::max(n, old) : std::min(n, old); };
  const double onFace = ahead(up[A], face[A], p[A]);
  const bool moved = onFace != p[A];
  p[A] = onFace;
  p[B] = ahead(up[B], o[B] + d[B] * exit, p[B]);
  p[C] = ahead(up[C], o[C] + d[C] * exit, p[C]);
  return moved;
}

}  // namespace

template <class Heading, class LeafVisitor>
ShadowWalkEnd Octree::WalkLinked(const Ray& ray, double limit, double maxDistance, RenderCounters& counters,
                                 LeafVisitor& visit) const {
  constexpr auto& up = Heading::up;
  const double o[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
  const double d[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
  double p[3] = {o[0], o[1], o[2]};
  const OctreeNode* const nodes = nodes_.data();
  const CellLinks* const allLinks = links_.data();
  uint32_t leaf = Descend<Heading>(nodes, 0, p);
  // The distances to the faces of the last leaf, by axis, and those faces'
  // bits; a NaN's to begin with, which no face has.
  uint64_t knownFace[3];
  for (uint64_t& bits : knownFace) bits = std::bit_cast<uint64_t>(std::numeric_limits<double>::quiet_NaN());
  double faceDistance[3] = {};
  for (;;) {
    ++counters.octreeHits;
    const CellLinks& links = allLinks[leaf];
    double face[3];
    for (int a = 0; a < 3; ++a) face[a] = up[a] ? links.hi[a] : links.lo[a];

    // Where the ray leaves the leaf, and through which faces. This is the
    // plain slab exit, with no near limit: a walk starting on or just
    // before a leaf's face still needs that leaf's exit, and an axis with
    // a tiny but non-zero direction still bounds the leaf. A face the
    // previous leaf shared (the same bits) has the same distance.
    for (int a = 0; a < 3; ++a) {
      if (std::bit_cast<uint64_t>(face[a]) != knownFace[a]) {
        knownFace[a] = std::bit_cast<uint64_t>(face[a]);
        faceDistance[a] = (face[a] - o[a]) / d[a];
      }
    }
    // The nearest of the faces ahead, and every face at that distance; no
    // distance is NaN. Of equal distances the first axis's is kept, which
    // can differ from a later one only in the sign of a zero.
    double exit = faceDistance[0];
    for (int a = 1; a < 3; ++a) exit = faceDistance[a] < exit ? faceDistance[a] : exit;
    unsigned exitAxes = 0;
    for (int a = 0; a < 3; ++a) exitAxes |= unsigned(!(faceDistance[a] > exit)) << a;

    const double window = std::min(exit + kLeafWindowSlack, maxDistance);
    if (visit(nodes[leaf], window)) return ShadowWalkEnd::stopped;
    if (limit <= exit) return ShadowWalkEnd::reachedEnd;

    // The next point, and from where the descent finds its leaf. Only a
    // point already beyond the leaf's exit face fails to advance; the ray
    // has then left the scene.
    uint32_t from = 0;
    switch (exitAxes) {
      case 1:
        if (!MoveOnto<0, Heading>(p, o, d, face, exit)) return ShadowWalkEnd::reachedEnd;
        from = Across<0, Heading>(links, face, p);
        break;
      case 2:
        if (!MoveOnto<1, Heading>(p, o, d, face, exit)) return ShadowWalkEnd::reachedEnd;
        from = Across<1, Heading>(links, face, p);
        break;
      case 4:
        if (!MoveOnto<2, Heading>(p, o, d, face, exit)) return ShadowWalkEnd::reachedEnd;
        from = Across<2, Heading>(links, face, p);
        break;
      default: {
        // Through an edge or a corner: the descent starts at the root.
        double next[3];
        bool advanced = false;
        for (int a = 0; a < 3; ++a) {
          next[a] = o[a] + d[a] * exit;
          if (exitAxes & (1u << a)) next[a] = face[a];
          next[a] = up[a] ? std::max(next[a], p[a]) : std::min(next[a], p[a]);
          if ((exitAxes & (1u << a)) && next[a] != p[a]) advanced = true;
        }
        if (!advanced) return ShadowWalkEnd::reachedEnd;
        for (int a = 0; a < 3; ++a) p[a] = next[a];
      }
    }
    leaf = Descend<Heading>(nodes, from, p);
  }
}

// The general walk keeps its path from the root. The point moves only
// along the ray on each axis: where the direction is 0 it keeps its
// coordinate, elsewhere it is clamped never to go back. Heading up an axis
// (d > 0), the descent takes the high half when p >= centre; a point that
// took the high half keeps taking it, and one that took the low half
// (p < centre) changes only once p reaches that centre. Heading down,
// likewise with p <= centre and the low half. So an ancestor's choice can
// change only on an axis the ray moves along, when the point reaches the
// tightest centre the path has crossed in that direction, the cell's
// bound; where the path has crossed none (the root's own faces), the bound
// is infinite: the descent from the root never rejects a point. The walk
// therefore climbs while the point has reached the cell's bound and
// descends from there. A NaN coordinate follows no order, so after one the
// walk descends from the root, which sends NaN low.
template <class LeafVisitor>
ShadowWalkEnd Octree::WalkLeaves(const Ray& ray, double limit, double maxDistance, RenderCounters& counters,
                                 LeafVisitor& visit) const {
  const double o[3] = {ray.origin.x, ray.origin.y, ray.origin.z};
  const double d[3] = {ray.direction.x, ray.direction.y, ray.direction.z};
  bool up[3], moves[3];
  double sign[3];
  for (int a = 0; a < 3; ++a) {
    up[a] = d[a] > 0.0;
    moves[a] = d[a] != 0.0;
    // Bounds are kept multiplied by the sign of the direction, so that one
    // test, sign · p < bound, serves both directions; on the axes the point
    // never moves along the sign is 0 and the bound stays infinite.
    sign[a] = up[a] ? 1.0 : moves[a] ? -1.0 : 0.0;
  }

  PathCell path[kMaxDepthLimit + 1];
  path[0].node = 0;
  for (int a = 0; a < 3; ++a) {
    path[0].face[a] = up[a] ? Axis(rootBox_.max, a) : Axis(rootBox_.min, a);
    path[0].bound[a] = kInfinity;
  }
  int depth = 0;
  double p[3] = {o[0], o[1], o[2]};
  bool lastHadNaN = false;
  // The distances to the faces of the last leaf, by axis.
  unsigned known = 0;
  uint64_t knownFace[3] = {};
  double faceDistance[3] = {};
  for (;;) {
    const bool hasNaN = std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2]);
    if (hasNaN || lastHadNaN) {
      depth = 0;
    } else {
      while (depth > 0) {
        const double* bound = path[depth].bound;
        if (sign[0] * p[0] < bound[0] && sign[1] * p[1] < bound[1] && sign[2] * p[2] < bound[2]) break;
        --depth;
      }
    }
    lastHadNaN = hasNaN;

    // On the centre plane the point goes the way the ray heads; with no
    // direction on that axis, to the low half.
    const OctreeNode* node = &nodes_[path[depth].node];
    while (!node->IsLeaf()) {
      const double* c = node->centre;
      const PathCell& parent = path[depth];
      PathCell& cell = path[depth + 1];
      unsigned halves = 0;
      for (int a = 0; a < 3; ++a) {
        const bool high = p[a] > c[a] || (p[a] == c[a] && up[a]);
        halves |= unsigned(high) << a;
        cell.face[a] = parent.face[a];
        cell.bound[a] = parent.bound[a];
        // The child's face ahead is the centre when the ray heads from the
        // child towards it.
        if (high != up[a]) {
          cell.face[a] = c[a];
          if (moves[a]) cell.bound[a] = std::min(parent.bound[a], sign[a] * c[a]);
        }
      }
      cell.node = node->firstChild + kChildOfHalves[halves];
      node = &nodes_[cell.node];
      ++depth;
    }
    ++counters.octreeHits;

    // The leaf's exit, as in WalkLinked, over the axes the ray moves along.
    const double* face = path[depth].face;
    for (int a = 0; a < 3; ++a) {
      if (moves[a] && !(known & (1u << a) && std::bit_cast<uint64_t>(face[a]) == knownFace[a])) {
        knownFace[a] = std::bit_cast<uint64_t>(face[a]);
        faceDistance[a] = (face[a] - o[a]) / d[a];
        known |= 1u << a;
      }
    }
    double exit = kInfinity;
    for (int a = 0; a < 3; ++a) {
      if (moves[a]) exit = faceDistance[a] < exit ? faceDistance[a] : exit;
    }
    unsigned exitAxes = 0;
    for (int a = 0; a < 3; ++a) exitAxes |= unsigned(moves[a] & (faceDistance[a] == exit)) << a;

    const double window = std::min(exit + kLeafWindowSlack, maxDistance);
    if (visit(*node, window)) return ShadowWalkEnd::stopped;
    if (limit <= exit) return ShadowWalkEnd::reachedEnd;

    double next[3];
    bool advanced = false;
    for (int a = 0; a < 3; ++a) {
      next[a] = o[a] + d[a] * exit;
      if (exitAxes & (1u << a)) next[a] = face[a];
      if (d[a] > 0.0) next[a] = std::max(next[a], p[a]);
      if (d[a] < 0.0) next[a] = std::min(next[a], p[a]);
      if ((exitAxes & (1u << a)) && next[a] != p[a]) advanced = true;
    }
    if (!advanced) return ShadowWalkEnd::reachedEnd;
    for (int a = 0; a < 3; ++a) p[a] = next[a];
  }
}

// The entry's plane against the ray: whether it is met at 1e-5 <= t < window.
bool Octree::MeetsPlane(const EntryPlane& plane, const Ray& ray, double window, double& t) {
  return IntersectPlane(plane.normal, plane.d, ray, t) && t >= kMinHitDistance && t < window;
}

// An entry whose plane the ray meets at t: whether the point lies inside
// the polygon, which fills the record (form, layer, polygon and the fan
// triangle) and counts.
inline bool Octree::HitsPolygon(uint32_t index, const EntryPlane& plane, const Ray& ray, double t, HitRecord& hit,
                                RenderCounters& counters) const {
  // Most planes a ray meets within a leaf belong to the neighbours of the
  // polygon it hits, or leaves, and are met well outside them. Tested here,
  // inline, so that the call to the fan test is rare.
  if (plane.reject.Refuses(ray.At(t))) return false;
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
  // Read once: the stores into the record and the counters might, for all
  // the compiler knows, change the arrays' pointers.
  const EntryPlane* const planes = planes_.data();
  Walk(ray, maxDistance, counters, [&](const OctreeNode& leaf, double window) {
    for (const uint32_t entry : GetLeafEntries(leaf)) {
      double t;
      if (!MeetsPlane(planes[entry], ray, window, t)) continue;
      ++counters.polygonHitTests;
      if (!HitsPolygon(entry, planes[entry], ray, t, hit, counters)) continue;
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
  const EntryPlane* const planes = planes_.data();
  return Walk(ray, distance, counters, [&](const OctreeNode& leaf, double window) {
    for (const uint32_t entry : GetLeafEntries(leaf)) {
      double t;
      if (!MeetsPlane(planes[entry], ray, window, t)) continue;
      ++counters.polygonHitTests;
      if (HitsPolygon(entry, planes[entry], ray, t, hit, counters) && !onHit(hit)) return true;
    }
    return false;
  });
}

}  // namespace brevoxa
