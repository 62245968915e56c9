// The body of a form while it is read, pasted or swapped in: the lists a
// form owns, which destroy what they hold unless it has been handed on.
// Private to the form's own sources.
#pragma once

#include <string>

#include "scene/form_object.h"
#include "scene/ob_list.h"

namespace brevoxa {

struct IObject::Body {
  std::string description;
  std::string externalName;
  IObList layers;
  IObList points;
  IObList extra;

  Body() = default;
  Body(const Body&) = delete;
  Body& operator=(const Body&) = delete;
  ~Body() {
    // Layers first: their polygons refer to the points.
    layers.DeleteAll();
    points.DeleteAll();
    extra.DeleteAll();
  }
};

// Appends every element of from to to and empties from, counts included.
inline void MoveElements(IObList& from, IObList& to) {
  for (IDrawable* element : from) to.AddTail(element);
  to.AdjustSelectedCount(from.GetSelectedCount());
  from.RemoveAll();
}

}  // namespace brevoxa
