// The normals a render needs: every polygon's plane and dominant axis
// before its octree is built, and every point's vertex normal before
// tracing.
#pragma once

#include "scene/ob_list.h"

namespace brevoxa {

class RenderThreads;

// Computes the plane and dominant axis of every polygon of the scene's
// forms. A polygon's numbers depend on its own points alone, so the
// polygons of a large scene are shared out in runs among the render's
// threads (the calling one among them).
void ComputePolygonNormals(const IObList& items, RenderThreads& threads);

// Every form's vertex normals from its polygons' normals, as
// IObject::ComputeNormals sums them.
void SumPointNormals(const IObList& items);

}  // namespace brevoxa
