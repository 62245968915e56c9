// IPoint: a vertex of a form, shared by the polygons that use it.
#pragma once

#include "scene/drawable.h"

namespace brevoxa {

class IPoint : public IDrawable {
  DECLARE_SERIAL(IPoint)
 public:
  bool CanScale() const override { return true; }
  bool CanRotate() const override { return true; }
  bool CanMove() const override { return true; }
  bool HasProperties() const override { return true; }

  // The weight is held in single precision, so it reads back rounded.
  double GetWeight() const override { return weight_; }
  void SetWeight(double weight) override { weight_ = static_cast<float>(weight); }

 private:
  float weight_ = 1.0f;
};

}  // namespace brevoxa
