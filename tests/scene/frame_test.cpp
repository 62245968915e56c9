// Frames: the matrices and their order, and the parent rules.
#include "scene/axis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "form_fixtures.h"
#include "support/recording_surface.h"

namespace brevoxa {
namespace {

using testing::DrawCall;
using testing::ExpectNear;
using testing::RecordingSurface;
using testing::SetUpParallel;

TEST(FrameMatrices, KnownTurnsInTheirOrder) {
  IAxis frame;
  frame.SetRotation({90, 0, 0});
  ExpectNear(frame.LocalToWorld({0, 1, 0}), {0, 0, 1});
  ExpectNear(frame.WorldToLocal({0, 0, 1}), {0, 1, 0});
  // X turns before Z: Y goes to Z and the Z turn leaves it there.
  frame.SetRotation({90, 0, 90});
  ExpectNear(frame.LocalToWorld({0, 1, 0}), {0, 0, 1});
  // Scale before the turn: local X is stretched, not world Y.
  frame.SetScale({2, 1, 1});
  frame.SetRotation({0, 0, 90});
  frame.SetPosition({5, 6, 7});
  ExpectNear(frame.LocalToWorld({1, 0, 0}), {5, 8, 7});

  // The stored factor, slightly above pi/180.
  frame.SetScale({1, 1, 1});
  frame.SetRotation({0, 90, 0});
  EXPECT_EQ(frame.ToWorld().m[0][0], std::cos(90 * 0.017453292519944444));
  EXPECT_NE(frame.ToWorld().m[0][0], std::cos(std::numbers::pi / 2));
}

TEST(FrameMatrices, ZeroScaleGivesNonFiniteValuesAndStillDraws) {
  IAxis frame;
  frame.SetScale({0, 1, 1});
  EXPECT_TRUE(std::isinf(frame.ToLocal().m[0][0]));
  EXPECT_FALSE(std::isfinite(frame.WorldToLocal({1, 0, 0}).x));
  // Axis ends at infinity must not make the pixel conversion undefined.
  frame.SetScale({1e300, 1e300, 0});
  IViewTran view;
  SetUpParallel(view, IViewTran::top);
  RecordingSurface surface;
  frame.Draw(surface, view, 1, 0);
  EXPECT_EQ(surface.Count(DrawCall::line), 3u);
}

TEST(FrameParents, AttachComposesAndDetachUndoesIt) {
  IAxis form;
  form.SetScale({3, 3, 3});
  form.SetPosition({1, 2, 3});
  form.SetRotation({0, 0, 90});
  IAxis layer(1, 2);
  layer.SetLocalScale({2, 2, 2});
  layer.SetLocalPosition({1, 0, 0});
  layer.SetLocalRotation({10, 0, 5});
  layer.AttachTo(form);
  ExpectNear(layer.GetScale(), {6, 6, 6});
  ExpectNear(layer.GetPosition(), {1, 5, 3});
  ExpectNear(layer.GetRotation(), {10, 0, 95});

  std::mt19937 rng(99);
  std::uniform_real_distribution<double> angle(-180, 180), coord(-50, 50), scale(0.2, 5);
  for (int i = 0; i < 100; ++i) {
    IAxis parent, child;
    parent.SetPosition({coord(rng), coord(rng), coord(rng)});
    parent.SetRotation({angle(rng), angle(rng), angle(rng)});
    parent.SetScale({scale(rng), scale(rng), scale(rng)});
    const CVector p(coord(rng), coord(rng), coord(rng)), r(angle(rng), angle(rng), angle(rng)), s(scale(rng), 1, 2);
    child.SetLocalPosition(p);
    child.SetLocalRotation(r);
    child.SetLocalScale(s);
    child.AttachTo(parent);
    child.SetLocalPosition({});
    child.SetLocalRotation({});
    child.DetachFrom(parent);
    ExpectNear(child.GetLocalPosition(), p, 1e-8);
    ExpectNear(child.GetLocalRotation(), r);
    ExpectNear(child.GetLocalScale(), s, 1e-12);
  }
}

}  // namespace
}  // namespace brevoxa
