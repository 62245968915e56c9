// What the generators (IObject::AddDisk ... Lathe) name and report: the
// names of the layers they make, the status text of each, and the angle
// constants their geometry is fixed by.
#pragma once

#include <string>

namespace brevoxa {

class ILayer;

inline constexpr const char* kDiskGroup = "Disk Group";
inline constexpr const char* kConeGroup = "Cone Group";
inline constexpr const char* kCylinderGroup = "Cylinder Group";
inline constexpr const char* kSphereGroup = "Sphere Group";
inline constexpr const char* kPlaneGroup = "Plane Group";
inline constexpr const char* kExtrusionGroup = "Extrusion Group";
inline constexpr const char* kBackFaceGroup = "Back Face Group";
inline constexpr const char* kLatheGroup = "Lathe Group";

// These values rather than the exact ones: a shape generated again must get
// the same points as forms made earlier.
inline constexpr double kFullTurn = 6.28318530718;
inline constexpr double kHalfTurn = 3.14159265359;
inline constexpr double kRadiansToDegrees = 57.29577951307855;

// "Added Layer <name>": the status text after a generator made the layer
// (for an extrusion, the "Extrusion Group" layer it returns).
std::string AddedLayerStatus(const ILayer& layer);

}  // namespace brevoxa
