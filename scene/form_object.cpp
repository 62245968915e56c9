// Form objects: geometry upkeep, the editing levels and their operations,
// and clones. The records and form files are in form_file.cpp, drawing in
// form_drawing.cpp.
#include "scene/form_object.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "math/view_tran.h"
#include "scene/form_body.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/property_editor.h"
#include "ui/user_interface.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IObject, IRoot, 0)

namespace {

std::atomic<uint32_t> nextFormId{1};

IPoint* AsPoint(IDrawable* element) { return static_cast<IPoint*>(element); }
ILayer* AsLayer(IDrawable* element) { return static_cast<ILayer*>(element); }
IPolygon* AsPolygon(IDrawable* element) { return static_cast<IPolygon*>(element); }

// Weld cells are twice the tolerance wide, so two points within it always
// lie in the same or neighbouring cells, even after rounding.
constexpr double kWeldCell = 2 * IObject::kWeldTolerance;

struct CellKey {
  int64_t x, y, z;
  bool operator==(const CellKey&) const = default;
};

struct CellHash {
  size_t operator()(const CellKey& k) const {
    uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(k.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(k.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
  }
};

int64_t CellIndex(double v) {
  // Far beyond any model, and well inside the 64-bit range.
  constexpr double kLimit = 4e18;
  double c = std::floor(v / kWeldCell);
  if (c > kLimit) c = kLimit;
  if (c < -kLimit) c = -kLimit;
  return static_cast<int64_t>(c);
}

bool IsFinite(const CVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

IObject::IObject() : formId_(nextFormId.fetch_add(1)) { handles_.AddTail(&frame_); }

IObject::~IObject() {
  // Layers first: their polygons refer to the points. The master is never
  // touched here; its clone count is the editor's to keep.
  layers_.DeleteAll();
  points_.DeleteAll();
  extra_.DeleteAll();
  handles_.RemoveAll();
}

// --- Geometry ---

ILayer* IObject::GetFirstLayer() const { return layers_.IsEmpty() ? nullptr : AsLayer(layers_.GetHead()); }

size_t IObject::GetPolygonCount() const {
  size_t n = 0;
  for (IDrawable* layer : layers_) n += AsLayer(layer)->GetPolygons().GetCount();
  return n;
}

void IObject::UpdateWorldGeometry() {
  for (IDrawable* point : points_) AsPoint(point)->PlaceIn(frame_);
  for (IDrawable* layer : layers_) AsLayer(layer)->AttachTo(frame_);
  boundsValid_ = 0;
}

void IObject::ComputeNormals() {
  for (IDrawable* layer : layers_) layer->ComputeNormals();
  SumPointNormals();
}

void IObject::SumPointNormals() {
  for (IDrawable* point : points_) AsPoint(point)->normal = CVector();
  for (IDrawable* layer : layers_) {
    for (IDrawable* element : AsLayer(layer)->GetPolygons()) {
      const IPolygon* polygon = AsPolygon(element);
      for (IDrawable* point : polygon->GetPoints()) AsPoint(point)->normal += polygon->GetNormal();
    }
  }
  for (IDrawable* point : points_) AsPoint(point)->normal.Normalize();
}

void IObject::UpdateLocalBounds() {
  bounds_.Reset();
  for (IDrawable* point : points_) bounds_.Add(AsPoint(point)->local);
  boundsValid_ = 1;
}

void IObject::UpdateBounds() {
  worldBounds_.Reset();
  for (IDrawable* point : points_) worldBounds_.Add(AsPoint(point)->world);
}

void IObject::AddToBounds(CBoundingBox& box) {
  for (IDrawable* point : points_) box.Add(AsPoint(point)->world);
}

int IObject::Select(bool select) {
  handles_.SelectItem(&frame_, select);
  return IDrawable::Select(select);
}

void IObject::OpenLinks() {
  for (IDrawable* layer : layers_) layer->OpenLinks();
}

void IObject::CloseLinks() {
  for (IDrawable* layer : layers_) layer->CloseLinks();
}

bool IObject::EditProperties(IPropertyEditor& editor) { return editor.EditForm(*this); }

// --- Selection queries ---

bool IObject::HasSelection(int level) const {
  switch (level) {
    case kRootLevel: return IsSelected() != 0;
    case kPointLevel: return points_.GetSelectedCount() > 0;
    case kLayerLevel: return layers_.GetSelectedCount() > 0;
    case kPolygonLevel: {
      const ILayer* first = GetFirstLayer();
      return first != nullptr && first->GetPolygons().GetSelectedCount() > 0;
    }
    default: return false;
  }
}

bool IObject::CanPaste(int level, int kind) const {
  switch (level) {
    case kRootLevel: return true;
    case kPointLevel: return kind == kClipPoints;
    case kLayerLevel: return kind == kClipLayers;
    case kPolygonLevel: return kind == kClipPolygons;
    default: return false;
  }
}

bool IObject::HasMultipleSelection(int level) const {
  switch (level) {
    case kRootLevel: return true;
    case kPointLevel: return points_.GetSelectedCount() > 1;
    case kLayerLevel: return layers_.GetSelectedCount() > 1;
    default: return false;
  }
}

// --- Join and weld ---

void IObject::Join(int level, IRoot& other) {
  if (level != kRootLevel) return;
  auto* target = dynamic_cast<IObject*>(&other);
  if (target == nullptr || target == this) return;
  // The moved elements arrive unselected: the target's lists keep their
  // selected elements at the head, and which layer is first stays.
  for (IDrawable* element : points_) {
    IPoint* point = AsPoint(element);
    point->PlaceIn(frame_);
    point->ReexpressIn(target->frame_);
    point->PlaceIn(target->frame_);
    point->Select(false);
    target->points_.AddTail(point);
  }
  points_.RemoveAll();
  for (IDrawable* element : layers_) {
    ILayer* layer = AsLayer(element);
    layer->AttachTo(frame_);
    layer->DetachFrom(target->frame_);
    layer->Select(false);
    target->layers_.AddTail(layer);
  }
  layers_.RemoveAll();
  // Nothing may be lost with the emptied form.
  for (IDrawable* element : extra_) {
    element->Select(false);
    target->extra_.AddTail(element);
  }
  extra_.RemoveAll();
  boundsValid_ = 0;
  target->boundsValid_ = 0;
}

void IObject::WeldPoints(int level) {
  if (level == kPointLevel) WeldSelectedPoints();
  else if (level == kLayerLevel) WeldSelectedLayers();
}

void IObject::WeldSelectedPoints() {
  // Greedy in list order: each selected point joins the earliest kept point
  // near it, or is kept itself. A hash of cells finds the candidates, so
  // the work grows with the number of points, not with its square.
  std::vector<IPoint*> kept;
  std::unordered_map<CellKey, std::vector<size_t>, CellHash> cells;
  std::unordered_map<const IDrawable*, IPoint*> replacement;
  for (IDrawable* element : points_) {
    IPoint* point = AsPoint(element);
    if (!point->IsSelected()) continue;
    const CVector& w = point->world;
    // IsNear never holds for a point with an infinite or NaN coordinate.
    if (!IsFinite(w)) continue;
    const CellKey key{CellIndex(w.x), CellIndex(w.y), CellIndex(w.z)};
    size_t best = std::numeric_limits<size_t>::max();
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz) {
          auto cell = cells.find({key.x + dx, key.y + dy, key.z + dz});
          if (cell == cells.end()) continue;
          for (size_t index : cell->second)
            if (index < best && kept[index]->world.IsNear(w, kWeldTolerance)) best = index;
        }
    if (best != std::numeric_limits<size_t>::max()) {
      replacement.emplace(point, kept[best]);
    } else {
      cells[key].push_back(kept.size());
      kept.push_back(point);
    }
  }
  if (replacement.empty()) return;

  for (IDrawable* layer : layers_) {
    for (IDrawable* element : AsLayer(layer)->GetPolygons()) {
      IObList& vertices = AsPolygon(element)->GetPoints();
      bool changed = false;
      for (IDrawable* vertex : vertices) changed = changed || replacement.count(vertex) != 0;
      if (!changed) continue;
      // Two welded neighbours would leave an edge of length zero.
      std::vector<IDrawable*> result;
      for (IDrawable* vertex : vertices) {
        auto r = replacement.find(vertex);
        IDrawable* v = r == replacement.end() ? vertex : r->second;
        if (result.empty() || result.back() != v) result.push_back(v);
      }
      while (result.size() > 1 && result.front() == result.back()) result.pop_back();
      vertices.RemoveAll();
      for (IDrawable* v : result) vertices.AddTail(v);
    }
  }
  for (auto it = points_.begin(); it != points_.end();) {
    if (replacement.count(*it) == 0) {
      ++it;
      continue;
    }
    IDrawable* doomed = *it;
    it = points_.RemoveAt(it);
    if (doomed->IsSelected()) points_.AdjustSelectedCount(-1);
    delete doomed;
  }
  boundsValid_ = 0;
}

void IObject::WeldSelectedLayers() {
  ILayer* first = nullptr;
  for (auto it = layers_.begin(); it != layers_.end();) {
    ILayer* layer = AsLayer(*it);
    if (!layer->IsSelected()) {
      ++it;
      continue;
    }
    if (first == nullptr) {
      first = layer;
      ++it;
      continue;
    }
    IObList& moving = layer->GetPolygons();
    for (IDrawable* polygon : moving) {
      // Arriving unselected keeps the first layer's selected polygons ahead.
      polygon->Select(false);
      first->GetPolygons().AddTail(polygon);
    }
    moving.RemoveAll();
    it = layers_.RemoveAt(it);
    layers_.AdjustSelectedCount(-1);
    delete layer;
  }
  boundsValid_ = 0;
}

void IObject::SelectElements(int level, IObList& list) {
  if (level != kPolygonLevel) {
    IRoot::SelectElements(level, list);
    return;
  }
  ILayer* first = GetFirstLayer();
  if (first == nullptr) return;
  for (IDrawable* element : list)
    if (first->GetPolygons().Contains(element)) first->GetPolygons().SelectItem(element, true);
}

// --- Drags ---

namespace {

using DragSetter = void (IDrawable::*)(const CVector&);

// At the form level only the frame follows a drag; the bounding box, drawn
// through the frame, goes with it.
IDrawable& DragTarget(IDrawable& element, const IObject& form, IAxis& frame) {
  return &element == &form ? static_cast<IDrawable&>(frame) : element;
}

// Sets the dragged value. A point's rotation and scale slots hold its local
// position, so at the point level its world position follows at once for
// the drag to show; that point is returned.
IPoint* SetDragValue(int level, IDrawable& target, DragSetter set, const CVector& v, const IAxis& frame) {
  (target.*set)(v);
  if (level != kPointLevel) return nullptr;
  auto* point = dynamic_cast<IPoint*>(&target);
  if (point != nullptr) point->PlaceIn(frame);
  return point;
}

}  // namespace

void IObject::MoveElement(int, IDrawable& element, const CVector& v, int) {
  DragTarget(element, *this, frame_).SetPosition(v);
}

void IObject::EndMoveElement(int level, IDrawable& element, const CVector& v, int) {
  IDrawable& target = DragTarget(element, *this, frame_);
  target.SetPosition(v);
  EndLevelEdit(level, target);
}

void IObject::RotateElement(int level, IDrawable& element, const CVector& v, int) {
  SetDragValue(level, DragTarget(element, *this, frame_), &IDrawable::SetRotation, v, frame_);
}

void IObject::RotateElementAgain(int level, IDrawable& element, const CVector& v, int mode) {
  RotateElement(level, element, v, mode);
}

// A turned or scaled point ends as a move to its new world position.
void IObject::EndRotateElement(int level, IDrawable& element, const CVector& v, int mode) {
  IDrawable& target = DragTarget(element, *this, frame_);
  if (IPoint* point = SetDragValue(level, target, &IDrawable::SetRotation, v, frame_)) {
    EndMoveElement(level, *point, point->world, mode);
  } else if (level != kPointLevel) {
    EndLevelEdit(level, target);
  }
}

void IObject::ScaleElement(int level, IDrawable& element, const CVector& v, int) {
  SetDragValue(level, DragTarget(element, *this, frame_), &IDrawable::SetScale, v, frame_);
}

void IObject::EndScaleElement(int level, IDrawable& element, const CVector& v, int mode) {
  IDrawable& target = DragTarget(element, *this, frame_);
  if (IPoint* point = SetDragValue(level, target, &IDrawable::SetScale, v, frame_)) {
    EndMoveElement(level, *point, point->world, mode);
  } else if (level != kPointLevel) {
    EndLevelEdit(level, target);
  }
}

void IObject::EndLevelEdit(int level, IDrawable& element) {
  switch (level) {
    case kRootLevel:
      UpdateWorldGeometry();
      break;
    case kPointLevel:
      if (auto* point = dynamic_cast<IPoint*>(&element)) {
        point->ReexpressIn(frame_);
        MarkPolygonsUsing(level, *point);
        boundsValid_ = 0;
      }
      break;
    case kLayerLevel:
      if (auto* layer = dynamic_cast<ILayer*>(&element)) layer->DetachFrom(frame_);
      break;
    default:
      break;
  }
}

// --- Levels ---

bool IObject::EditElementProperties(int level, IDrawable& element, IPropertyEditor& editor) {
  if (level == kPointLevel) {
    if (auto* point = dynamic_cast<IPoint*>(&element)) {
      int polygons = 0, layers = 0;
      CountUsers(*point, polygons, layers);
      return editor.EditPoint(*point, polygons, layers);
    }
  }
  return element.EditProperties(editor);
}

void IObject::CountUsers(const IPoint& point, int& polygons, int& layers) const {
  polygons = 0;
  layers = 0;
  for (IDrawable* layer : layers_) {
    int before = polygons;
    for (IDrawable* polygon : AsLayer(layer)->GetPolygons())
      if (AsPolygon(polygon)->UsesPoint(&point)) ++polygons;
    if (polygons > before) ++layers;
  }
}

IObList* IObject::GetLevelList(int level) {
  switch (level) {
    case kPointLevel: return &points_;
    case kLayerLevel: return &layers_;
    case kPolygonLevel: {
      ILayer* first = GetFirstLayer();
      return first ? &first->GetPolygons() : nullptr;
    }
    default: return &handles_;
  }
}

std::string IObject::GetLevelName(int level) const {
  switch (level) {
    case kRootLevel: return "Form";
    case kPointLevel: return "Point";
    case kLayerLevel: return "Layer";
    case kPolygonLevel: return "Polygon";
    default: return {};
  }
}

std::string IObject::GetElementName(int level, const IDrawable& element) const {
  return level == kRootLevel ? GetName() : element.GetName();
}

bool IObject::CanApply(int target, int current) const {
  if (IsClone()) return false;
  const bool pointOrLayer = target == kPointLevel || target == kLayerLevel;
  switch (current) {
    case kRootLevel: return pointOrLayer && IsSelected() != 0;
    case kPointLevel: return pointOrLayer;
    case kLayerLevel: return pointOrLayer || (target == kPolygonLevel && layers_.GetSelectedCount() > 0);
    case kPolygonLevel: return target >= kRootLevel && target <= kPolygonLevel;
    default: return false;
  }
}

// --- Adding and removing elements ---

IPoint* IObject::AddPointAt(const CVector& world) {
  auto* point = new IPoint;
  point->world = world;
  point->ReexpressIn(frame_);
  point->PlaceIn(frame_);
  points_.AddTail(point);
  points_.SelectItem(point, true);
  boundsValid_ = 0;
  return point;
}

ILayer& IObject::FirstLayerOrNew() {
  if (ILayer* first = GetFirstLayer()) return *first;
  auto* layer = new ILayer;
  layers_.AddTail(layer);
  layer->AttachTo(frame_);
  return *layer;
}

IDrawable* IObject::AddElementAt(const CVector& clicked, int level, IPolygon*& currentPolygon,
                                 const IViewTran& view) {
  // The click fixes the two coordinates the view shows; the depth is the
  // frame origin's.
  CVector position = clicked;
  const CVector origin = frame_.GetPosition();
  switch (view.GetViewType()) {
    case IViewTran::top: position.z = origin.z; break;
    case IViewTran::front: position.x = origin.x; break;
    case IViewTran::right: position.y = origin.y; break;
    default: break;
  }

  switch (level) {
    case kPointLevel:
      return AddPointAt(position);
    case kLayerLevel: {
      auto* layer = new ILayer;
      layers_.AddTail(layer);
      layer->AttachTo(frame_);
      layer->SetPosition(position);
      // Keeps the new place when the form's frame moves and layers are
      // attached again.
      layer->DetachFrom(frame_);
      layers_.SelectItem(layer, true);
      boundsValid_ = 0;
      return layer;
    }
    case kPolygonLevel: {
      IObList& polygons = FirstLayerOrNew().GetPolygons();
      // Only the pointer is compared: a polygon that has gone since is
      // never touched.
      if (currentPolygon != nullptr && !polygons.Contains(currentPolygon)) currentPolygon = nullptr;
      if (currentPolygon == nullptr) {
        currentPolygon = new IPolygon;
        polygons.AddTail(currentPolygon);
        polygons.SelectItem(currentPolygon, true);
      }
      IPoint* vertex = nullptr;
      for (IDrawable* element : points_) {
        if (view.HitTest(AsPoint(element)->world, position) >= 0.0) {
          vertex = AsPoint(element);
          break;
        }
      }
      if (vertex == nullptr) vertex = AddPointAt(position);
      currentPolygon->AddPoint(vertex);
      boundsValid_ = 0;
      return currentPolygon;
    }
    default:
      return nullptr;
  }
}

void IObject::DetachSelection(int level, IObList& list) {
  auto detachSelected = [&list](IObList& from) {
    for (auto it = from.begin(); it != from.end();) {
      IDrawable* element = *it;
      if (!element->IsSelected()) {
        ++it;
        continue;
      }
      it = from.RemoveAt(it);
      from.AdjustSelectedCount(-1);
      list.AddTail(element);
      list.AdjustSelectedCount(1);
    }
  };
  switch (level) {
    case kPointLevel:
      DetachPoints(list);
      break;
    case kLayerLevel:
      detachSelected(layers_);
      break;
    case kPolygonLevel:
      if (ILayer* first = GetFirstLayer()) detachSelected(first->GetPolygons());
      break;
    default:
      return;
  }
  boundsValid_ = 0;
}

void IObject::DetachPoints(IObList& list) {
  std::vector<IPoint*> selected;
  std::unordered_map<const IDrawable*, size_t> order;
  for (IDrawable* element : points_) {
    if (!element->IsSelected()) continue;
    order.emplace(element, selected.size());
    selected.push_back(AsPoint(element));
  }
  if (selected.empty()) return;

  // One walk over all polygons finds the users of every selected point;
  // they then leave point by point, as each point's polygons go before it.
  std::vector<std::vector<std::pair<ILayer*, IPolygon*>>> users(selected.size());
  for (IDrawable* layer : layers_) {
    for (IDrawable* polygon : AsLayer(layer)->GetPolygons()) {
      for (IDrawable* vertex : AsPolygon(polygon)->GetPoints()) {
        auto found = order.find(vertex);
        if (found != order.end()) users[found->second].emplace_back(AsLayer(layer), AsPolygon(polygon));
      }
    }
  }
  std::unordered_set<const IPolygon*> moved;
  for (size_t i = 0; i < selected.size(); ++i) {
    for (auto [layer, polygon] : users[i]) {
      if (!moved.insert(polygon).second) continue;
      layer->GetPolygons().Remove(polygon);
      if (polygon->IsSelected()) {
        layer->GetPolygons().AdjustSelectedCount(-1);
        list.AdjustSelectedCount(1);
      }
      list.AddTail(polygon);
    }
    points_.Remove(selected[i]);
    points_.AdjustSelectedCount(-1);
    list.AddTail(selected[i]);
    list.AdjustSelectedCount(1);
  }
}

void IObject::ClearPointMarks(int level) {
  if (level != kPointLevel) return;
  for (IDrawable* layer : layers_)
    for (IDrawable* polygon : AsLayer(layer)->GetPolygons()) AsPolygon(polygon)->SetMarked(false);
}

void IObject::MarkPolygonsUsing(int level, const IPoint& point) {
  if (level != kPointLevel) return;
  for (IDrawable* layer : layers_)
    for (IDrawable* polygon : AsLayer(layer)->GetPolygons())
      if (AsPolygon(polygon)->UsesPoint(&point)) AsPolygon(polygon)->SetMarked(true);
}

bool IObject::ValidateElement(int level, IDrawable& element) {
  if (level != kPolygonLevel) return true;
  auto* polygon = dynamic_cast<IPolygon*>(&element);
  if (polygon == nullptr || polygon->IsPlanar()) return true;
  if (ILayer* first = GetFirstLayer(); first != nullptr && first->GetPolygons().Remove(polygon)) {
    if (polygon->IsSelected()) first->GetPolygons().AdjustSelectedCount(-1);
  }
  CurrentUserInterface().Message("Polygon must be planar.");
  return false;
}

// --- Clones ---

void IObject::AddClone() {
  if (cloneCount_ < std::numeric_limits<uint16_t>::max()) ++cloneCount_;
}

void IObject::RemoveClone() {
  if (cloneCount_ > 0) --cloneCount_;
}

void IObject::SetCloneMaster(IObject* master) {
  cloneMaster_ = master == this ? nullptr : master;
  masterId_ = 0;
}

}  // namespace brevoxa
