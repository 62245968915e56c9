// The normals a render needs before its octree is built: every polygon's
// plane and dominant axis and every point's vertex normal.
#pragma once

#include "scene/ob_list.h"

namespace brevoxa {

// Computes the normals of every item of the scene. Each form owns its
// points and polygons, so the large forms of a large scene are shared out
// among up to `threads` threads (the calling one among them); the numbers
// are the same as on one thread, as each form is still done in its order.
void ComputeSceneNormals(const IObList& items, int threads);

}  // namespace brevoxa
