// The view plane of the render camera, sampled W x H times from the top
// left: the samples of a row run from -w/2 to +w/2 about the centre, and
// each primary ray starts on the plane, not at the eye.
#pragma once

#include <cstdint>

#include "render/ray.h"
#include "scene/camera.h"

namespace brevoxa {

struct CameraSampling {
  CVector eye;
  CVector topLeft;
  CVector columnStep;
  CVector rowStep;

  CameraSampling(const ICamera& camera, int32_t W, int32_t H, double pixelRatio) {
    const CVector& u = camera.GetRight();
    const CVector& v = camera.GetUp();
    const CVector& f = camera.GetDirection();
    const double d = camera.GetViewPlaneDistance();
    const double w = camera.GetViewPlaneWidth();
    const double h = (static_cast<double>(H) / (pixelRatio * static_cast<double>(W))) * w;
    eye = camera.GetPosition();
    const CVector centre = eye + f * d;
    columnStep = u * (w / static_cast<double>(W - 1));
    // Rows run downwards.
    rowStep = v * (h / static_cast<double>(1 - H));
    topLeft = centre + v * (h * 0.5) + u * (w * -0.5);
  }

  Ray PrimaryRay(int32_t column, int32_t row) const {
    const CVector p = topLeft + columnStep * column + rowStep * row;
    Ray ray{p, p - eye};
    ray.direction.Normalize();
    return ray;
  }
};

}  // namespace brevoxa
