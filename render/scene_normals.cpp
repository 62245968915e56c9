#include "render/scene_normals.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "render/thread_start.h"
#include "scene/form_object.h"
#include "scene/layer.h"

namespace brevoxa {

namespace {

// Below this many polygons in all, or with fewer than two forms of some
// size, starting threads costs more than it saves (a form of 37,000
// polygons takes about 2.5 ms).
constexpr size_t kParallelPolygons = 20000;
constexpr size_t kLargeForm = 2000;

size_t PolygonCount(const IObject& form) {
  size_t count = 0;
  for (const IDrawable* layer : form.GetLayers()) count += static_cast<const ILayer*>(layer)->GetPolygons().GetCount();
  return count;
}

}  // namespace

void ComputeSceneNormals(const IObList& items, int threads) {
  // The large forms, largest first, are shared out; the rest stay on this
  // thread.
  std::vector<std::pair<size_t, IDrawable*>> large;
  std::vector<IDrawable*> rest;
  size_t total = 0;
  for (IDrawable* item : items) {
    const size_t polygons =
        item->IsKindOf(RUNTIME_CLASS(IObject)) ? PolygonCount(*static_cast<IObject*>(item)) : 0;
    total += polygons;
    if (polygons >= kLargeForm) {
      large.emplace_back(polygons, item);
    } else {
      rest.push_back(item);
    }
  }
  const size_t wanted = std::min(large.size(), static_cast<size_t>(std::max(threads, 1)));
  if (wanted < 2 || total < kParallelPolygons) {
    for (IDrawable* item : items) item->ComputeNormals();
    return;
  }
  std::stable_sort(large.begin(), large.end(), [](const auto& a, const auto& b) { return a.first > b.first; });

  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  auto work = [&] {
    try {
      for (size_t i; (i = next.fetch_add(1)) < large.size();) large[i].second->ComputeNormals();
    } catch (...) {
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  helpers.reserve(wanted - 1);
  try {
    while (helpers.size() < wanted - 1) helpers.push_back(StartThreadElsewhere(work));
  } catch (const std::system_error&) {
    // No more threads to be had: this one does the rest.
  }
  work();
  for (IDrawable* item : rest) item->ComputeNormals();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace brevoxa
