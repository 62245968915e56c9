// CVector: geometry, colour transforms and Round.
#include "math/vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "support/vector_near.h"

namespace brevoxa {
namespace {

using testing::ExpectNear;

TEST(VectorGeometry, KnownAnswersAndZeroVectors) {
  EXPECT_EQ(CVector(2, 3, 4).Cross(CVector(5, 6, 7)), CVector(-3, 6, -3));
  CVector v(3, 0, 4);
  EXPECT_DOUBLE_EQ(v.Length(), 5.0);
  v.Normalize();
  ExpectNear(v, {0.6, 0.0, 0.8}, 1e-12);
  EXPECT_NEAR(CVector(1, 0, 0).CosAngle(CVector(1, 1, 0)), std::sqrt(0.5), 1e-15);
  EXPECT_DOUBLE_EQ(CVector(2, 0, 0).CosAngle(CVector(-5, 0, 0)), -1.0);

  // A zero vector normalises to itself and has cosine 0, not NaN.
  CVector zero;
  zero.Normalize();
  EXPECT_EQ(zero, CVector(0, 0, 0));
  EXPECT_EQ(CVector(1, 2, 3).CosAngle(CVector()), 0.0);
  // IsNear is strict: a difference of exactly the tolerance is not near.
  const CVector a(1.0, 2.0, 3.0);
  EXPECT_TRUE(a.IsNear(CVector(1.4, 2.0, 3.0), 0.5));
  EXPECT_FALSE(a.IsNear(CVector(1.0, 2.0, 2.5), 0.5));
  EXPECT_FALSE(a.IsNear(a, 0.0));
}

TEST(VectorColour, Clamp) {
  CVector v(-3, 128.5, 300);
  EXPECT_EQ(v.Clamped(), CVector(0, 128.5, 255));
  v.Clamp();
  EXPECT_EQ(v, CVector(0, 128.5, 255));
}

TEST(VectorColour, KnownConversionsBothWays) {
  // Hue: green 85, blue 170, red 255 (the end of the turn).
  const struct {
    CVector rgb, hsl;
  } rows[] = {
      {{255, 0, 0}, {255, 255, 127.5}},  {{0, 255, 0}, {85, 255, 127.5}}, {{0, 0, 255}, {170, 255, 127.5}},
      {{255, 255, 0}, {42.5, 255, 127.5}}, {{0, 0, 0}, {0, 0, 0}},         {{1, 1, 1}, {0, 0, 1}},
      {{127.5, 127.5, 127.5}, {0, 0, 127.5}}, {{255, 255, 255}, {0, 0, 255}},
  };
  for (const auto& row : rows) {
    ExpectNear(row.rgb.RGBToHSL(), row.hsl, 1e-12);
    ExpectNear(row.hsl.HSLToRGB(), row.rgb, 1e-9);
  }
  ExpectNear(CVector(0, 255, 127.5).HSLToRGB(), {255, 0, 0}, 1e-12);
  // Lightness 0 is black whatever the hue and saturation.
  EXPECT_EQ(CVector(10, 200, 0).HSLToRGB(), CVector(0, 0, 0));
}

TEST(VectorColour, RoundTripOverSeededGrid) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<double> component(0.0, 255.0);
  auto check = [](const CVector& rgb) { ExpectNear(rgb.RGBToHSL().HSLToRGB(), rgb, 1e-9); };
  for (int r = 0; r <= 255; r += 15)
    for (int g = 0; g <= 255; g += 15)
      for (int b = 0; b <= 255; b += 15) check(CVector(r, g, b));
  for (int i = 0; i < 2000; ++i) check(CVector(component(random), component(random), component(random)));
}

TEST(VectorRound, HalvesRoundTowardZeroAndTheEndsSaturate) {
  const std::pair<double, int32_t> rows[] = {
      {2.5, 2},    {2.51, 3},  {-2.5, -2}, {-2.51, -3},
      {0.49, 0},   {-0.7, -1}, {7.0, 7},   {1e12, std::numeric_limits<int32_t>::max()},
      {-1e12, std::numeric_limits<int32_t>::min()}, {std::numeric_limits<double>::infinity(), std::numeric_limits<int32_t>::max()},
      {std::nan(""), 0},
  };
  for (const auto& [x, rounded] : rows) EXPECT_EQ(Round(x), rounded) << x;
}

}  // namespace
}  // namespace brevoxa
