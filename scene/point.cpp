// Points: their record and their placement in a form's frame.
#include "scene/point.h"

#include <cmath>

#include "persist/archive.h"
#include "scene/axis.h"

namespace brevoxa {

IMPLEMENT_SERIAL(IPoint, IDrawable, 0)

namespace {
constexpr uint16_t kPointVersion = 1;
}  // namespace

void IPoint::Serialize(CArchive& ar) {
  uint16_t version = kPointVersion;
  ar.Transfer("version", version);
  if (version != kPointVersion) return;
  IDrawable::Serialize(ar);
  ar.Transfer("local", local);
}

void IPoint::PlaceIn(const IAxis& frame) { world = frame.LocalToWorld(local); }

void IPoint::ReexpressIn(const IAxis& frame) { local = frame.WorldToLocal(world); }

void IPoint::SetRotation(const CVector& angles) {
  // The same turn as a frame with this rotation and unit scale applies.
  IAxis turn;
  turn.SetRotation(angles);
  local = turn.DirectionToWorld(local);
}

}  // namespace brevoxa
