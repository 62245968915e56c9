#include "render/scene_normals.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "render/render_threads.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/polygon.h"

namespace brevoxa {

namespace {

// Below this many polygons handing out the runs costs more than it saves
// (a form of 37,000 polygons takes about 1.7 ms).
constexpr size_t kParallelPolygons = 20000;

// The polygons numbered [begin, end) in the order of the lists. A list is
// entered from the nearer of its ends: stepping to the middle of a list
// of 37,000 polygons took 0.2 ms, and the last run of the scene (the
// second of two) needs no steps at all.
void ComputeRun(const std::vector<IObList*>& lists, size_t begin, size_t end) {
  size_t start = 0;
  for (IObList* list : lists) {
    const size_t count = list->GetCount();
    if (start >= end) break;
    if (start + count > begin) {
      const size_t from = std::max(begin, start) - start;
      const size_t to = std::min(end, start + count) - start;
      if (from <= count - to) {
        auto it = std::next(list->begin(), static_cast<ptrdiff_t>(from));
        for (size_t i = from; i < to; ++i, ++it) static_cast<IPolygon*>(*it)->ComputeNormal();
      } else {
        auto it = std::prev(list->end(), static_cast<ptrdiff_t>(count - to));
        for (size_t i = to; i > from; --i) static_cast<IPolygon*>(*--it)->ComputeNormal();
      }
    }
    start += count;
  }
}

// The polygon lists of the scene's forms, and how many polygons they hold.
size_t PolygonLists(const IObList& items, std::vector<IObList*>& lists) {
  size_t total = 0;
  for (IDrawable* item : items) {
    if (!item->IsKindOf(RUNTIME_CLASS(IObject))) continue;
    for (IDrawable* layer : static_cast<IObject*>(item)->GetLayers()) {
      lists.push_back(&static_cast<ILayer*>(layer)->GetPolygons());
      total += lists.back()->GetCount();
    }
  }
  return total;
}

}  // namespace

void ComputePolygonNormals(const IObList& items, RenderThreads& threads) {
  std::vector<IObList*> lists;
  const size_t total = PolygonLists(items, lists);
  if (threads.Count() == 1 || total < kParallelPolygons) {
    ComputeRun(lists, 0, total);
    return;
  }
  const auto runs = static_cast<size_t>(threads.Count());
  threads.Run([&](int k) {
    const auto run = static_cast<size_t>(k);
    ComputeRun(lists, total * run / runs, total * (run + 1) / runs);
  });
}

void SumPointNormals(const IObList& items) {
  for (IDrawable* item : items) {
    if (item->IsKindOf(RUNTIME_CLASS(IObject))) static_cast<IObject*>(item)->SumPointNormals();
  }
}

}  // namespace brevoxa
