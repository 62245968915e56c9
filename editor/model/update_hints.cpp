// The document's list of views.
#include "editor/model/update_hints.h"

#include <algorithm>

namespace brevoxa {

void ObserverSet::Add(IDocumentObserver* observer) {
  if (observer != nullptr && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void ObserverSet::Remove(IDocumentObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void ObserverSet::Broadcast(int hint, IDrawable* element) const {
  ForEach([&](IDocumentObserver& observer) { observer.OnUpdate(hint, element); });
}

}  // namespace brevoxa
