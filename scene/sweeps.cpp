// Extrusion and lathe: new layers swept from the selected polygons of a
// form's first layer, which themselves stay where they are.
#include <utility>
#include <vector>

#include "scene/form_object.h"
#include "scene/generator_settings.h"
#include "scene/generators.h"
#include "scene/generators_build.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"

namespace brevoxa {

using generators::IsFinite;
using generators::LayerBuilder;

namespace {

// The local positions of each selected polygon's points, in list order.
// A polygon with fewer than minimumPoints points cannot be swept into
// faces (the closing pair of an empty one does not even exist) and is left
// out.
std::vector<std::vector<CVector>> SelectedOutlines(const ILayer* layer, size_t minimumPoints) {
  std::vector<std::vector<CVector>> outlines;
  if (layer == nullptr) return outlines;
  for (const IDrawable* element : layer->GetPolygons()) {
    const auto* polygon = static_cast<const IPolygon*>(element);
    if (!polygon->IsSelected() || polygon->GetPointCount() < minimumPoints) continue;
    std::vector<CVector>& outline = outlines.emplace_back();
    outline.reserve(polygon->GetPointCount());
    for (const IDrawable* point : polygon->GetPoints()) outline.push_back(static_cast<const IPoint*>(point)->local);
  }
  return outlines;
}

// The mean of the local centres of all the layer's polygons, selected or
// not; the origin when there are none (rather than 0 / 0).
CVector MeanLocalCentre(const ILayer* layer) {
  CVector sum;
  if (layer == nullptr || layer->GetPolygons().IsEmpty()) return sum;
  for (const IDrawable* polygon : layer->GetPolygons()) sum += static_cast<const IPolygon*>(polygon)->GetLocalCentre();
  return sum / static_cast<double>(layer->GetPolygons().GetCount());
}

}  // namespace

ILayer* IObject::Extrude(int divisions, const CVector& translation, const CVector& scale, const CVector& rotation) {
  if (ExtrudeSettings{divisions, translation, scale, rotation}.Check()) return nullptr;
  if (!IsFinite(translation) || !IsFinite(scale) || !IsFinite(rotation)) return nullptr;
  const ILayer* source = GetFirstLayer();
  // Fewer than three points have no plane: nothing to make a solid of.
  const auto outlines = SelectedOutlines(source, 3);
  const uint64_t n = static_cast<uint64_t>(divisions);
  uint64_t elements = 0;
  for (const auto& outline : outlines) {
    const uint64_t m = outline.size();
    // Rings 0 ... n and the cap's copies; two triangles per side face at
    // most; the cap.
    elements += m * (n + 2) + 2 * m * n + 1;
  }
  if (CheckGeneratedElements(elements)) return nullptr;

  LayerBuilder sides(*this, kExtrusionGroup);
  LayerBuilder back(*this, kBackFaceGroup);
  const CVector dT = translation / divisions;
  const CVector dS = (scale - CVector(1, 1, 1)) / divisions;
  const CVector dR = rotation / divisions;
  const bool twisting = dR.x != 0 || dR.y != 0 || dR.z != 0;

  for (const auto& outline : outlines) {
    const size_t m = outline.size();
    std::vector<IPoint*> previous(m), current(m);
    for (size_t k = 0; k < m; ++k) previous[k] = sides.Point(outline[k]);
    // The step frame is not attached to anything: its turn and scale act
    // about the form's origin.
    IAxis step;
    CVector position, turned, scaled(1, 1, 1);
    for (int s = 1; s <= divisions; ++s) {
      position += dT;
      scaled += dS;
      turned += dR;
      step.SetPosition(position);
      step.SetScale(scaled);
      step.SetRotation(turned);
      for (size_t k = 0; k < m; ++k) current[k] = sides.Point(step.LocalToWorld(outline[k]));
      auto face = [&](size_t a, size_t b) {
        if (twisting) sides.Triangles(previous[a], current[a], current[b], previous[b]);
        // A scale that differs between axes can bend a side quad out of its
        // plane; such a quad is made as two triangles instead.
        else sides.QuadOrTriangles(previous[a], current[a], current[b], previous[b]);
      };
      for (size_t k = 1; k < m; ++k) face(k - 1, k);
      face(m - 1, 0);
      std::swap(previous, current);
    }
    IPolygon* cap = back.Polygon();
    for (size_t k = m; k-- > 0;) cap->AddPoint(back.Point(previous[k]->local));
  }

  const CVector centre = MeanLocalCentre(source);
  sides.Layer().SetLocalPosition(centre + translation / 2);
  sides.Layer().AttachTo(frame_);
  back.Layer().SetLocalPosition(centre + translation);
  back.Layer().AttachTo(frame_);
  return &sides.Layer();
}

ILayer* IObject::Lathe(int divisions, bool sealedCentre) {
  if (LatheSettings{divisions, sealedCentre}.Check()) return nullptr;
  // A sealed profile needs a point between its poles; an open one an edge.
  auto outlines = SelectedOutlines(GetFirstLayer(), sealedCentre ? 3 : 2);
  const uint64_t n = static_cast<uint64_t>(divisions);
  uint64_t elements = 0;
  for (const auto& outline : outlines) {
    const uint64_t m = outline.size();
    // Columns and poles; per column two triangles per quad at most.
    elements += m * n + 2 * (m + 1) * n;
  }
  if (CheckGeneratedElements(elements)) return nullptr;

  LayerBuilder build(*this, kLatheGroup);
  // With one division the only column is also the last, and every face
  // between the two would have no area.
  if (divisions < 2) return &build.Layer();

  for (auto& profile : outlines) {
    IPoint *firstPole = nullptr, *lastPole = nullptr;
    if (sealedCentre) {
      firstPole = build.Point(profile.front());
      lastPole = build.Point(profile.back());
      profile.erase(profile.begin());
      profile.pop_back();
    }
    const size_t m = profile.size();
    std::vector<IPoint*> first(m), previous(m), current(m);
    IAxis turn;
    for (size_t k = 0; k < m; ++k) first[k] = build.Point(turn.LocalToWorld(profile[k]));
    previous = first;
    for (int i = 1; i <= divisions; ++i) {
      if (i < divisions) {
        const double alpha = i * kFullTurn / divisions;
        turn.SetRotation({0, 0, alpha * kRadiansToDegrees});
        for (size_t k = 0; k < m; ++k) current[k] = build.Point(turn.LocalToWorld(profile[k]));
      } else {
        current = first;
      }
      // Quads between a profile turned about the Z axis are planar unless
      // the profile leaves its plane through the axis.
      for (size_t k = 1; k < m; ++k) build.QuadOrTriangles(previous[k - 1], current[k - 1], current[k], previous[k]);
      if (sealedCentre) {
        build.Polygon({firstPole, current[0], previous[0]});
        build.Polygon({lastPole, previous[m - 1], current[m - 1]});
      } else {
        build.QuadOrTriangles(current[0], previous[0], previous[m - 1], current[m - 1]);
      }
      std::swap(previous, current);
    }
  }
  return &build.Layer();
}

}  // namespace brevoxa
