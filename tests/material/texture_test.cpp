// The texture kinds: mappings and the tangent frame, each kind's colour or
// normal at points with known answers, the stored field orders that differ
// from the declarations, the image texture's loading and failures; and the
// colour maps they look up, with their segment positions, lookup rules, ramp
// picture and inline records.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "material/color_map.h"
#include "material/noise.h"
#include "material/texture_bitmap.h"
#include "material/texture_bumps.h"
#include "material/texture_catalog.h"
#include "material/texture_check.h"
#include "material/texture_solid.h"
#include "persist/archive.h"
#include "persist/object_store.h"
#include "scene/axis.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "support/vector_near.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;

// Colour map records: version, then 21 segments of version, type, colour.
void Map(ByteWriter& w, const ColorMap& map) {
  w.Word(1);
  for (int i = 0; i < ColorMap::kSegmentCount; ++i) {
    w.Word(1).Word(map.GetSegment(i).type);
    w.Vector(map.GetSegment(i).color);
  }
}

// A grey ramp from black at 0 to white at the last segment: Lookup(t) is
// 255 t to within rounding.
ColorMap Ramp() {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, CVector(0, 0, 0));
  map.SetSegment(20, ColorMapSegment::linear, CVector(255, 255, 255));
  return map;
}

// The material's own values arrive in the outputs; the marker colours show
// which ones a texture wrote.
SurfacePoint At(const CVector& point, const CVector& normal = CVector(0, 0, 1)) {
  return {point, normal, CVector(10, 20, 30), CVector(40, 50, 60), CVector(70, 80, 90), normal};
}

template <class T>
SurfacePoint Apply(const T& texture, const CVector& point, const IAxis& frame = IAxis()) {
  SurfacePoint s = At(point);
  texture.Apply(frame, s);
  return s;
}

CVector Unit(CVector v) {
  v.Normalize();
  return v;
}

using testing::ExpectNear;
using testing::LoadInto;
using testing::StoreOf;

// --- Shared geometry ---

TEST(TextureMapping, SphereCylinderAndPlaneKnownAnswers) {
  const struct {
    uint16_t mapping;
    CVector p;
    double u, v;
  } rows[] = {
      {kMapSphere, {0, 0, 0}, 0.5, 0.5},     {kMapSphere, {0, 0, 2}, 0.5, 0.0},
      {kMapSphere, {0, 3, 0}, 0.75, 0.5},    {kMapSphere, {-1, -1e-300, 0}, 0.0, 0.5},
      {kMapCylinder, {0, -2, 0.4}, 0.25, 0.3}, {kMapPlane, {0.2, -0.6, 9}, 0.2, 0.6},
  };
  double u = -1, v = -1;
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.mapping << ": " << row.p.x << ", " << row.p.y << ", " << row.p.z);
    ASSERT_TRUE(MapToUV(row.mapping, row.p, u, v));
    EXPECT_NEAR(u, row.u, 1e-12);
    EXPECT_NEAR(v, row.v, 1e-12);
  }
  u = v = 7.0;
  EXPECT_FALSE(MapToUV(3, CVector(1, 2, 3), u, v));
  EXPECT_EQ(u, 7.0);
  EXPECT_EQ(v, 7.0);
}

TEST(TextureMapping, SurfaceFrameFollowsTheLayerAndFallsBackOnItsYAxis) {
  IAxis frame;
  SurfaceFrame f = BuildSurfaceFrame(frame, CVector(1, 0, 0));
  ExpectNear(f.t, CVector(0, 1, 0));
  ExpectNear(f.b, CVector(0, 0, -1));
  // A normal along the frame's z axis has no cross product with it.
  f = BuildSurfaceFrame(frame, CVector(0, 0, 1));
  ExpectNear(f.t, CVector(0, 1, 0));
  ExpectNear(f.b, CVector(1, 0, 0));

  // Turned 90 degrees about x, the frame's z axis is world -y or +y.
  frame.SetRotation(CVector(90, 0, 0));
  frame.SetPosition(CVector(4, 5, 6));
  f = BuildSurfaceFrame(frame, CVector(1, 0, 0));
  EXPECT_NEAR(std::fabs(f.t.z), 1.0, 1e-12);
  EXPECT_NEAR(f.t.Dot(CVector(1, 0, 0)), 0.0, 1e-12);
  EXPECT_NEAR(f.b.Length(), 1.0, 1e-12);
}

// --- Names and channels ---

TEST(TextureKinds, NamesClassesAndChannelsOfEveryKind) {
  // No kind writes the filter or reflect colour unless its own switches say
  // so (the checkerboard's are MaterialSurface's); bumps write only normals.
  const struct {
    std::unique_ptr<ITexture> texture;
    const char* name;
    const char* className;
    bool color;
  } kinds[] = {
      {std::make_unique<IBitmapTexture>(), "Bitmap PLAIN.JPG", "IBitmapTexture", true},
      {std::make_unique<IRollingBumpsTexture>(), "Rolling Bumps", "IRollingBumpsTexture", false},
      {std::make_unique<IRadialWaveTexture>(), "Radial Wave", "IRadialWaveTexture", false},
      {std::make_unique<IWoodTexture>(), "Wood", "IWoodTexture", true},
      {std::make_unique<ICheckTexture>(), "Checkerboard", "ICheckTexture", true},
      {std::make_unique<IMarbleTexture>(), "Marble", "IMarbleTexture", true},
      {std::make_unique<ICloudsTexture>(), "Clouds", "ICloudsTexture", true},
      {std::make_unique<IGraniteTexture>(), "Granite", "IGraniteTexture", true},
      {std::make_unique<IWoodRangeTexture>(), "Wood - Range", "IWoodRangeTexture", true},
      {std::make_unique<IRoughnessTexture>(), "Roughness", "IRoughnessTexture", false},
      {std::make_unique<IColorRangeTexture>(), "Color Range", "IColorRangeTexture", true},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.name);
    EXPECT_EQ(k.texture->GetName(), k.name);
    EXPECT_STREQ(k.texture->GetRuntimeClass()->className, k.className);
    EXPECT_EQ(k.texture->AffectsColor(), k.color);
    EXPECT_EQ(k.texture->AffectsNormal(), !k.color);
    EXPECT_FALSE(k.texture->AffectsFilter() || k.texture->AffectsReflect());
  }
}

// --- Solid colour textures ---

TEST(WoodTexture, RingsAndTheAngleAtYZero) {
  IWoodTexture wood;
  const IWoodTexture::Values& d = wood.GetValues();
  // r = 0.5, s = sin(0.5): f = frac((2 s + r) / 0.2) = 0.294...
  EXPECT_EQ(Apply(wood, CVector(0.3, 0.4, 0.5)).color, d.baseColor);
  // On the axis: s = sin(z); z = 0.1 gives f = 0.998, z = 0.05 f = 0.4998.
  EXPECT_EQ(Apply(wood, CVector(0, 0, 0.1)).color, d.grainColor);
  EXPECT_EQ(Apply(wood, CVector(0, 0, 0.05)).color, d.baseColor);

  // At (1, 0, 0) with one radial wave: theta = pi/2 gives s = 1 and
  // f = 0.3, grain for a base share of 0.2; atan2's 3 pi / 2 would give
  // s = -1, f = -0.1 and the base colour.
  IWoodTexture::Values v = d;
  v.radialWaves = 1.0;
  v.radialRingSize = 10.0;
  v.percentBase = 0.2;
  wood.SetValues(v);
  EXPECT_EQ(Apply(wood, CVector(1, 0, 0)).color, v.grainColor);
  EXPECT_EQ(Apply(wood, CVector(1, -0.0, 0)).color, v.grainColor);

  EXPECT_EQ(AngleAroundZ(1.0, 0.0), 1.570796326795);
  EXPECT_EQ(AngleAroundZ(-3.0, -0.0), 1.570796326795);
}

TEST(ColorMapTextures, KnownAnswersOnARamp) {
  IMarbleTexture marble;
  marble.SetValues({0.0, Ramp()});
  // f = x mod 1 folded at 0.5, looked up at 2 f.
  ExpectNear(Apply(marble, CVector(0.3, 5, 5)).color, CVector(153, 153, 153), 1e-6);
  ExpectNear(Apply(marble, CVector(-0.3, 0, 0)).color, CVector(153, 153, 153), 1e-6);
  ExpectNear(Apply(marble, CVector(0.8, 0, 0)).color, CVector(102, 102, 102), 1e-6);

  IWoodRangeTexture woodRange;
  woodRange.SetValues({0.0, Ramp()});
  // |p| = 0.5 folds to 0.5 and looks up 1.0.
  ExpectNear(Apply(woodRange, CVector(0.3, 0.4, 0)).color, CVector(255, 255, 255), 1e-6);
  ExpectNear(Apply(woodRange, CVector(0, 0, 1.1)).color, CVector(51, 51, 51), 1e-6);

  ICloudsTexture clouds;
  clouds.SetValues({0.0, Ramp()});
  const CVector p(0.37, -1.2, 2.9);
  EXPECT_EQ(Apply(clouds, p).color, Ramp().Lookup(GetNoise().Noise(p)));

  // An empty map gives black.
  for (TextureKind kind : {TextureKind::marble, TextureKind::clouds, TextureKind::colorRange}) {
    EXPECT_EQ(Apply(*MakeTexture(kind), CVector(0.3, 0.7, -0.2)).color, CVector(0, 0, 0));
  }
  EXPECT_EQ(Apply(IWoodRangeTexture(), CVector(0.3, 0.7, -0.2)).color, CVector(0, 0, 0));
}

TEST(ColorRangeTexture, EachAreaTypeAndAnUnknownOne) {
  IColorRangeTexture range;
  auto with = [&](uint16_t type, const CVector& p) {
    range.SetValues({0.0, Ramp(), type});
    return Apply(range, p).color;
  };
  ExpectNear(with(IColorRangeTexture::kXYPlanes, CVector(9, 9, 3.25)), CVector(63.75, 63.75, 63.75), 1e-6);
  ExpectNear(with(IColorRangeTexture::kCylindersAroundZ, CVector(0.3, 0.4, 7)), CVector(127.5, 127.5, 127.5), 1e-6);
  ExpectNear(with(IColorRangeTexture::kSpheresAtOrigin, CVector(0.3, 0.4, 1.2)), CVector(76.5, 76.5, 76.5), 1e-6);
  ExpectNear(with(IColorRangeTexture::kRadialPlanesAroundZ, CVector(1, 0, 0)), CVector(191.25, 191.25, 191.25), 1e-6);
  // Negative values wrap into [0, 1).
  ExpectNear(with(IColorRangeTexture::kXYPlanes, CVector(0, 0, -0.25)), CVector(191.25, 191.25, 191.25), 1e-6);
  for (uint16_t type : {4, 0xFFFF}) {
    EXPECT_EQ(with(type, CVector(0.3, 0.4, 1.2)), CVector(10, 20, 30)) << type;
  }
  // Turbulence shifts the bands.
  range.SetValues({0.5, Ramp(), IColorRangeTexture::kXYPlanes});
  EXPECT_NE(Apply(range, CVector(0.1, 0.2, 0.25)).color.x, 63.75);

  // Solid textures evaluate in the layer frame: doubling its scale halves
  // the local radius, 0.5 becoming 0.25.
  range.SetValues({0.0, Ramp(), IColorRangeTexture::kCylindersAroundZ});
  IAxis frame;
  frame.SetPosition(CVector(5, -2, 1));
  frame.SetScale(CVector(2, 2, 2));
  ExpectNear(Apply(range, CVector(5.3, -1.6, 1), frame).color, CVector(63.75, 63.75, 63.75), 1e-6);
}

TEST(GraniteTexture, BlackOnTheNoiseLatticeAndScaledBelowItsColourElsewhere) {
  IGraniteTexture granite;
  granite.SetValues({CVector(100, 200, 50)});
  // Every octave samples lattice points, where the noise is exactly 0.5.
  EXPECT_EQ(Apply(granite, CVector(0, 0, 0)).color, CVector(0, 0, 0));
  EXPECT_EQ(Apply(granite, CVector(0.25, -0.5, 1.0)).color, CVector(0, 0, 0));

  const CVector c = Apply(granite, CVector(0.123, 0.456, 0.789)).color;
  EXPECT_GT(c.x, 0.0);
  EXPECT_LT(c.x, 100.0);
  EXPECT_NEAR(c.y, 2 * c.x, 1e-9);
  EXPECT_NEAR(c.z, 0.5 * c.x, 1e-9);
}

// --- Checkerboard ---

TEST(CheckTexture, CellsOfAPlaneBoardWithoutTwist) {
  ICheckTexture check;
  ICheckTexture::Values v = check.GetValues();
  v.mapping = kMapPlane;
  v.firstColor = CVector(255, 0, 0);
  v.secondColor = CVector(0, 0, 255);
  check.SetValues(v);

  // With no twist the point turns to (-y, -x): (0.7, 0.7) lands at
  // u = v = 0.15, the cell of (0, 0).
  SurfacePoint s = Apply(check, CVector(0.7, 0.7, 0));
  EXPECT_EQ(s.color, v.secondColor);
  EXPECT_EQ(s.filter, v.secondColor);
  EXPECT_EQ(s.reflect, v.secondColor);
  // u = 0.3, v = 0.15: cell (1, 0); u = 0.3, v = 0.25: cell (1, 1).
  EXPECT_EQ(Apply(check, CVector(0.4, 0.7, 0)).color, v.firstColor);
  EXPECT_EQ(Apply(check, CVector(0.4, 0.5, 0)).color, v.secondColor);

  // Far from the origin the cell numbers leave the integer range; the
  // parity is still defined and no conversion overflows.
  const CVector far = Apply(check, CVector(3e18, 1e19, 0)).color;
  EXPECT_TRUE(far == v.firstColor || far == v.secondColor);
}

TEST(CheckTexture, TwistTurnsTheBoardWithTheRadius) {
  ICheckTexture check;
  ICheckTexture::Values v = check.GetValues();
  v.mapping = kMapPlane;
  const CVector p(1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0);  // radius 1
  check.SetValues(v);
  EXPECT_EQ(Apply(check, p).color, v.secondColor);
  // A quarter turn at radius 1 moves it from cell (0, 0) to (u, v) =
  // (0.146, 0.854), cell (0, 5).
  v.twist = 90.0;
  check.SetValues(v);
  EXPECT_EQ(Apply(check, p).color, v.firstColor);
  // On the axis the twist has nothing to turn: u = v = 0.5, cell (3, 3).
  EXPECT_EQ(Apply(check, CVector(0, 0, 0.3)).color, v.secondColor);

  // Unknown mapping codes leave every output alone.
  v.mapping = 7;
  check.SetValues(v);
  SurfacePoint s = Apply(check, p);
  EXPECT_EQ(s.color, CVector(10, 20, 30));
  EXPECT_EQ(s.filter, CVector(40, 50, 60));
  EXPECT_EQ(s.reflect, CVector(70, 80, 90));
}

// --- Bump textures ---

TEST(RollingBumpsTexture, PrepareDerivesTheConstantsAndTheNormalTilts) {
  IRollingBumpsTexture bumps;
  // Without Prepare the constants are zero and the normal stays put.
  ExpectNear(Apply(bumps, CVector(0, -0.9, 0)).shadingNormal, CVector(0, 0, 1));
  bumps.Prepare();
  EXPECT_NEAR(bumps.GetK(), 31.4159265359, 1e-10);
  EXPECT_NEAR(bumps.GetM(), -0.314159265359, 1e-12);
  // Plane mapping: u = 0.05 puts the X wave at its crest, v = 0.5 the Y
  // wave at a node; t = (0, 1, 0), b = (1, 0, 0).
  const double m = bumps.GetM();
  ExpectNear(Apply(bumps, CVector(0, -0.9, 0)).shadingNormal, Unit(CVector(m, 0, 1)), 1e-9);

  // The dialog's values do not reach the constants until the next Prepare.
  IRollingBumpsTexture::Values v = bumps.GetValues();
  v.waveLength = 0.4;
  bumps.SetValues(v);
  EXPECT_EQ(bumps.GetM(), m);

  // A zero wave length has no wave; the normal stays as given.
  v.waveLength = 0.0;
  bumps.SetValues(v);
  bumps.Prepare();
  EXPECT_EQ(Apply(bumps, CVector(0.1, 0.2, 0)).shadingNormal, CVector(0, 0, 1));
}

TEST(RadialWaveTexture, KnownTiltAndAFlatCentre) {
  IRadialWaveTexture wave;
  wave.Prepare();
  EXPECT_NEAR(wave.GetK(), 31.4159265359, 1e-10);
  EXPECT_NEAR(wave.GetM(), 0.001, 1e-15);
  // (u, v) - 0.5 = (0.1, 0): a = k r = pi, g = m (cos a / r) / r^2 = -1.
  ExpectNear(Apply(wave, CVector(0, 0.2, 0)).shadingNormal, Unit(CVector(-0.1, 0, 1)), 1e-9);
  // At the centre of the rings the surface is flat.
  EXPECT_EQ(Apply(wave, CVector(0, 0, 0)).shadingNormal, CVector(0, 0, 1));

  // A phase of minus the wave length has no wave.
  IRadialWaveTexture::Values v = wave.GetValues();
  v.phase = -v.waveLength;
  wave.SetValues(v);
  wave.Prepare();
  EXPECT_EQ(Apply(wave, CVector(0.3, 0.1, 0)).shadingNormal, CVector(0, 0, 1));
}

TEST(RoughnessTexture, TinyOffsetsLeaveTheNormalExactlyAsGiven) {
  IRoughnessTexture rough;
  // Not unit length, so that a normalisation would show.
  const CVector given(0, 0, 2);
  for (uint16_t type : {IRoughnessTexture::kUseNoise, IRoughnessTexture::kUseTurbulence}) {
    rough.SetValues({0.000001, type});
    SurfacePoint s = At(CVector(0.31, 0.72, -0.4), given);
    rough.Apply(IAxis(), s);
    EXPECT_EQ(s.shadingNormal, given);

    rough.SetValues({0.5, type});
    s = At(CVector(0.31, 0.72, -0.4), CVector(0, 0, 1));
    rough.Apply(IAxis(), s);
    EXPECT_NEAR(s.shadingNormal.Length(), 1.0, 1e-12);
    EXPECT_NE(s.shadingNormal, CVector(0, 0, 1));
    EXPECT_GT(s.shadingNormal.z, 0.5);
    EXPECT_EQ(s.color, CVector(10, 20, 30));
  }
}

// --- Stored field orders ---

// A hand-built record with every value distinct loads as the values given
// and is written back byte for byte.
template <class T>
void ExpectRecord(const ByteWriter& record, const typename T::Values& values) {
  SCOPED_TRACE(T().GetName());
  T texture;
  EXPECT_EQ(LoadInto(texture, record.bytes()), 0u);
  EXPECT_TRUE(texture.GetValues() == values);
  EXPECT_EQ(StoreOf(texture), record.bytes());
}

// The kinds whose stored order differs from their declaration.
TEST(TextureRecords, FieldOrders) {
  ExpectRecord<IBitmapTexture>(ByteWriter()
                                   .Word(1).Byte(8).Chars("ROCK.BMP")
                                   .Byte(1).Byte(1).Byte(0).Byte(1)  // colour, reflect, filter, bump normal
                                   .Word(2).Word(3).Word(4)          // mapping, horizontal, vertical
                                   .Double(2.5),
                               {"ROCK.BMP", kMapPlane, 4, 3, 2.5, true, false, true, true});
  // Height, X, Y, wave length.
  ExpectRecord<IRollingBumpsTexture>(ByteWriter().Word(1).Double(0.5).Double(1.5).Double(2.5).Double(3.5).Word(1),
                                     {1.5, 2.5, 0.5, 3.5, kMapCylinder});
  // Height, phase, wave length, mapping, radius at A/2.
  ExpectRecord<IRadialWaveTexture>(ByteWriter().Word(1).Double(0.5).Double(1.5).Double(2.5).Word(0).Double(4.5),
                                   {1.5, 4.5, 0.5, 2.5, kMapSphere});
  // Waves, twist length, base %, ring, then the two colours.
  ExpectRecord<IWoodTexture>(
      ByteWriter().Word(1).Double(3.0).Double(2.0).Double(0.4).Double(0.1).Vector({1, 2, 3}).Vector({4, 5, 6}),
      {{1, 2, 3}, {4, 5, 6}, 3.0, 2.0, 0.4, 0.1});
  ExpectRecord<ICheckTexture>(ByteWriter()
                                  .Word(1).Word(1).Word(8).Word(9)  // mapping, vertical, horizontal
                                  .Byte(0).Byte(1).Byte(1)          // colour, filter, reflect
                                  .Double(12.5).Vector({7, 8, 9}).Vector({10, 11, 12}),
                              {kMapCylinder, 8, 9, {7, 8, 9}, {10, 11, 12}, false, true, true, 12.5});
  ByteWriter range;
  range.Word(1).Double(0.75).Word(3);
  Map(range, Ramp());
  ExpectRecord<IColorRangeTexture>(range, {0.75, Ramp(), IColorRangeTexture::kRadialPlanesAroundZ});
}

// Every kind but the image, with values that make it vary.
std::vector<std::unique_ptr<ITexture>> Varied() {
  std::vector<std::unique_ptr<ITexture>> all;
  for (TextureKind kind : {TextureKind::radialWave, TextureKind::wood, TextureKind::checkerboard,
                           TextureKind::granite, TextureKind::roughness}) {
    all.push_back(MakeTexture(kind));
  }
  auto add = [&](auto texture, auto values) {
    texture->SetValues(values);
    all.push_back(std::move(texture));
  };
  add(std::make_unique<IMarbleTexture>(), IColorMapTexture::Values{1.0, Ramp()});
  add(std::make_unique<ICloudsTexture>(), IColorMapTexture::Values{0.7, Ramp()});
  add(std::make_unique<IWoodRangeTexture>(), IColorMapTexture::Values{0.3, Ramp()});
  add(std::make_unique<IColorRangeTexture>(),
      IColorRangeTexture::Values{0.4, Ramp(), IColorRangeTexture::kSpheresAtOrigin});
  add(std::make_unique<IRoughnessTexture>(), IRoughnessTexture::Values{0.5, IRoughnessTexture::kUseTurbulence});
  all.push_back(std::make_unique<IRollingBumpsTexture>());
  return all;
}

TEST(TextureRecords, OtherVersionsReadNothingMoreAndKeepTheValues) {
  auto all = Varied();
  all.push_back(MakeTexture(TextureKind::bitmap));
  for (auto& t : all) {
    const Bytes defaults = StoreOf(*t);
    for (uint16_t version : {0, 2, 0xFFFF}) {
      // The record of the defaults under another version, padded with
      // bytes that would change every field if they were read.
      Bytes bytes = defaults;
      bytes[0] = version & 0xFF;
      bytes[1] = version >> 8;
      for (size_t i = 2; i < bytes.size(); ++i) bytes[i] = 0x5A;
      EXPECT_EQ(LoadInto(*t, bytes), bytes.size() - 2) << t->GetName() << " " << version;
      EXPECT_EQ(StoreOf(*t), defaults) << t->GetName() << " " << version;
    }
  }
}

// --- The image texture ---

// A 24-bit bottom-up BMP file from top-down rows of (r, g, b).
void WriteBmp(const std::string& path, int width, int height, const std::vector<CVector>& topDown) {
  const int row = (3 * width + 3) & ~3;
  ByteWriter w;
  w.Chars("BM").Dword(54 + row * height).Dword(0).Dword(54);
  w.Dword(40).Dword(width).Dword(height).Word(1).Word(24).Dword(0).Dword(row * height);
  w.Dword(2835).Dword(2835).Dword(0).Dword(0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const CVector& c = topDown[y * width + x];
      w.Byte(uint8_t(c.z)).Byte(uint8_t(c.y)).Byte(uint8_t(c.x));
    }
    for (int pad = 3 * width; pad < row; ++pad) w.Byte(0);
  }
  testing::WriteFile(path, w.bytes());
}

class BitmapTextureTest : public ::testing::Test {
 protected:
  BitmapTextureTest() : store_(dir_.path().string()), scoped_(ui_) {
    // 4 x 2: red carries the column, green the row; texel (1, 0) is the
    // only one with full red, for the bump.
    std::vector<CVector> pixels;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) pixels.emplace_back(x == 1 && y == 0 ? 255 : 10 * x, 100 + 50 * y, 7);
    }
    WriteBmp(dir_.File("TILE.BMP"), 4, 2, pixels);
  }

  IBitmapTexture::Values Plane(const std::string& name) const {
    IBitmapTexture::Values v;
    v.fileName = name;
    v.mapping = kMapPlane;
    return v;
  }

  // The local point whose plane (u, v) is given.
  static CVector PlanePoint(double u, double v) { return {2 * v - 1, 2 * u - 1, 0}; }

  testing::TempDir dir_;
  ScopedObjectStore store_;
  RecordingUi ui_;
  ScopedUserInterface scoped_;
};

TEST_F(BitmapTextureTest, ReadsTheTexelThePointFallsIn) {
  IBitmapTexture texture;
  IBitmapTexture::Values v = Plane("TILE.BMP");
  v.filter = true;
  texture.SetValues(v);
  texture.Prepare();
  ASSERT_TRUE(texture.IsLoaded());
  EXPECT_TRUE(ui_.Messages().empty());

  // u picks the column of 4, v the row of 2 counted from the top.
  SurfacePoint s = Apply(texture, PlanePoint(0.8, 0.7));
  EXPECT_EQ(s.color, CVector(30, 150, 7));
  EXPECT_EQ(s.filter, CVector(30, 150, 7));
  EXPECT_EQ(s.reflect, CVector(30, 150, 7));
  EXPECT_EQ(Apply(texture, PlanePoint(0.3, 0.2)).color, CVector(255, 100, 7));

  // Two repetitions each way: u = 0.8 is 0.6 of its repeat, column 2.
  v.horizontalRepetitions = 2;
  v.verticalRepetitions = 2;
  texture.SetValues(v);
  EXPECT_EQ(Apply(texture, PlanePoint(0.8, 0.7)).color, CVector(20, 100, 7));

  // Outside [0, 1) nothing is written.
  for (const CVector& p : {PlanePoint(1.0, 0.5), PlanePoint(0.5, -0.01), PlanePoint(-0.2, 0.5)}) {
    EXPECT_EQ(Apply(texture, p).color, CVector(10, 20, 30));
  }

  texture.Release();
  EXPECT_FALSE(texture.IsLoaded());
  EXPECT_EQ(texture.GetBitmap().bgr.capacity(), 0u);
  EXPECT_EQ(Apply(texture, PlanePoint(0.8, 0.7)).color, CVector(10, 20, 30));
}

TEST_F(BitmapTextureTest, BumpsFromRedAndColoursFromTheOwnTexel) {
  IBitmapTexture texture;
  IBitmapTexture::Values v = Plane("TILE.BMP");
  v.bumpNormal = true;
  v.bumpHeight = 1.0;
  texture.SetValues(v);
  texture.Prepare();
  ASSERT_TRUE(texture.IsLoaded());
  // Texel (1, 0) is full red, its neighbours (0, 1) and (2, 1) below are
  // 0 and 20 red: A = (0, 0.5, 1), P1 = (1, 0, 0), P2 = (1, 1, 20/255).
  SurfacePoint s = Apply(texture, PlanePoint(0.3, 0.2));
  const double h2 = 20.0 / 255.0;
  const CVector n = Unit(CVector(0, 1, h2).Cross(CVector(-1, 0.5, 1)));
  // Identity frame, N = z: t = y, b = x.
  ExpectNear(s.shadingNormal, Unit(CVector(n.x, n.y, n.z)));
  EXPECT_EQ(s.color, CVector(255, 100, 7));

  // At column 0, row 1 the steps wrap to column 3 and row 0.
  s = Apply(texture, PlanePoint(0.1, 0.9));
  // h0 = 0, h1 = red(3, 0) = 30, h2 = red(1, 0) = 255.
  const double h1 = 30.0 / 255.0;
  const CVector wrapped = Unit(CVector(0, 1, 1 - h1).Cross(CVector(-1, 0.5, -h1)));
  ExpectNear(s.shadingNormal, wrapped);
  EXPECT_EQ(s.color, CVector(0, 150, 7));
}

TEST_F(BitmapTextureTest, MissingAndCorruptImagesLeaveItInert) {
  // Which files the reader refuses, and why, is the image reader's test.
  std::ofstream(dir_.File("JUNK.BMP"), std::ios::binary) << "BM this is not an image at all";
  for (const char* name : {"NONE.BMP", "JUNK.BMP"}) {
    SCOPED_TRACE(name);
    ui_.Clear();
    IBitmapTexture texture;
    IBitmapTexture::Values v = Plane(name);
    v.bumpNormal = true;
    texture.SetValues(v);
    texture.Prepare();
    EXPECT_FALSE(texture.IsLoaded());
    EXPECT_TRUE(texture.GetBitmap().bgr.empty());
    ASSERT_EQ(ui_.Messages().size(), 1u);
    EXPECT_EQ(ui_.Messages()[0], "Unable to load bitmap " + dir_.File(name) + " for texture.");
    const SurfacePoint s = Apply(texture, PlanePoint(0.5, 0.5));
    EXPECT_EQ(s.color, CVector(10, 20, 30));
    EXPECT_EQ(s.shadingNormal, CVector(0, 0, 1));
  }

  // A failed Prepare after a good one drops the old image too.
  IBitmapTexture texture;
  texture.SetValues(Plane("TILE.BMP"));
  texture.Prepare();
  ASSERT_TRUE(texture.IsLoaded());
  texture.SetValues(Plane("NONE.BMP"));
  texture.Prepare();
  EXPECT_FALSE(texture.IsLoaded());
  EXPECT_EQ(Apply(texture, PlanePoint(0.5, 0.5)).color, CVector(10, 20, 30));
}

// --- Colour maps ---

using testing::Load;
using testing::Store;

const CVector kBlack(0, 0, 0);
const CVector kRed(255, 0, 0);
const CVector kWhite(255, 255, 255);

void ExpectColor(const CVector& actual, const CVector& expected) { testing::ExpectNear(actual, expected); }

TEST(ColorMapLookup, PositionsAreARunningSumOfTwentieths) {
  EXPECT_EQ(ColorMap::SegmentPosition(1), 0.05);
  EXPECT_EQ(ColorMap::SegmentPosition(10), 0.49999999999999994);
  EXPECT_EQ(ColorMap::SegmentPosition(20), 1.0000000000000002);
}

TEST(ColorMapLookup, SegmentsByTypeAndPosition) {
  using Segment = std::tuple<int, uint16_t, CVector>;
  const double last = ColorMap::SegmentPosition(20);
  const struct {
    const char* what;
    std::vector<Segment> segments;
    std::vector<std::pair<double, CVector>> lookups;
  } maps[] = {
      // A solid segment fills up to its own position.
      {"solid", {{10, ColorMapSegment::solid, kRed}},
       {{-1.0, kRed}, {0.3, kRed}, {0.49999999999999994, kRed}, {0.5, kBlack}, {1.0, kBlack}}},
      {"ramp", {{0, ColorMapSegment::solid, kBlack}, {20, ColorMapSegment::linear, kWhite}},
       {{0.0, kBlack}, {0.5, {127.5, 127.5, 127.5}}, {1.0, kWhite}}},
      // Empty segments between are passed over; the blend runs between the
      // positions of the two non-empty ones (0.25 and 0.75 here).
      {"gap", {{5, ColorMapSegment::solid, {10, 20, 30}}, {15, ColorMapSegment::linear, {200, 100, 50}}},
       {{0.1, {10, 20, 30}}, {0.5, {105, 60, 40}}, {0.3, {29, 28, 32}}, {0.8, kBlack}}},
      // With nothing before it, a linear segment blends up from black at 0.
      {"alone", {{10, ColorMapSegment::linear, kWhite}}, {{0.25, {127.5, 127.5, 127.5}}}},
      // A linear first segment acts as a solid one; the last segment reaches
      // the running sum's end just past 1.
      {"ends", {{0, ColorMapSegment::linear, {0, 0, 200}}, {20, ColorMapSegment::solid, {0, 255, 0}}},
       {{-0.5, {0, 0, 200}}, {0.0, {0, 0, 200}}, {0.01, {0, 255, 0}}, {last, {0, 255, 0}},
        {std::nextafter(last, 2.0), kBlack}}},
      {"empty", {}, {{-1.0, kBlack}, {0.37, kBlack}, {5.0, kBlack}, {std::numeric_limits<double>::quiet_NaN(), kBlack}}},
  };
  for (const auto& m : maps) {
    ColorMap map;
    for (const auto& [index, type, color] : m.segments) map.SetSegment(index, type, color);
    for (const auto& [t, expected] : m.lookups) {
      SCOPED_TRACE(::testing::Message() << m.what << " at " << t);
      ExpectColor(map.Lookup(t), expected);
    }
  }
}

TEST(ColorMapSegments, OutOfRangeAndUnknownCodes) {
  ColorMap map;
  // Indices outside 0..20 are refused and read as an empty black segment.
  map.SetSegment(-1, ColorMapSegment::solid, kRed);
  map.SetSegment(21, ColorMapSegment::solid, kRed);
  EXPECT_EQ(map, ColorMap());
  EXPECT_EQ(map.GetSegment(21).type, ColorMapSegment::empty);
  EXPECT_EQ(map.GetSegmentColor(-1), kBlack);

  // A type code only a damaged or newer file holds counts as solid.
  map.SetSegment(10, 7, kRed);
  EXPECT_EQ(map.Lookup(0.2), kRed);
  EXPECT_EQ(map.GetSegment(10).type, 7);
}

TEST(ColorMapDraw, FillsTheRectangleWithTheRampTruncatedAndClipped) {
  ColorMap map;
  map.SetSegment(10, ColorMapSegment::solid, kRed);
  map.SetSegment(20, ColorMapSegment::solid, CVector(0, 0, 255));
  RgbImage image(16, 4, 0xAA);
  map.Draw(image, 2, 1, 12, 3);
  // Ten columns: t = 0, 0.1, ..., 0.9 by running sum; 0.5 lies just past
  // segment 10 (0.49999999999999994), so column 5 is already blue.
  using Px = std::vector<uint8_t>;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const bool inside = x >= 2 && x < 12 && y >= 1 && y < 3;
      const Px want = !inside ? Px{0xAA, 0xAA, 0xAA} : x - 2 < 5 ? Px{255, 0, 0} : Px{0, 0, 255};
      EXPECT_EQ(Px(image.Pixel(x, y), image.Pixel(x, y) + 3), want) << x << "," << y;
    }
  }

  // Far larger than the image on every side: only the image is painted,
  // with the low eight bits of each truncated component.
  ColorMap odd;
  odd.SetSegment(20, ColorMapSegment::solid, CVector(300.7, -1.5, 127.9));
  RgbImage small(4, 2);
  odd.Draw(small, -10, -10, 100, 100);
  Px expected;
  for (int i = 0; i < 8; ++i) expected.insert(expected.end(), {300 & 0xFF, 0xFF, 127});
  EXPECT_EQ(small.bytes, expected);
  RgbImage untouched(4, 2, 9);
  odd.Draw(untouched, 3, 0, 3, 2);  // no columns
  odd.Draw(untouched, 0, 2, 4, 5);  // below the image
  EXPECT_EQ(untouched.bytes, std::vector<uint8_t>(4 * 2 * 3, 9));
}

ColorMap MixedMap() {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, CVector(1.5, 2.25, 3.125));
  map.SetSegment(7, ColorMapSegment::linear, CVector(255, 128, 0.1));
  map.SetSegment(20, ColorMapSegment::linear, kWhite);
  return map;
}

TEST(ColorMapPersistence, UnknownVersionsReadNothingMore) {
  // Map version 2 followed by what would be a segment: only the word is read
  // and the map keeps what it held.
  const Bytes newer = ByteWriter().Word(2).Word(1).Word(0).bytes();
  ColorMap map = MixedMap();
  Load(newer, [&](CArchive& ar) {
    map.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 4u);
  });
  EXPECT_EQ(map, MixedMap());

  ColorMapSegment segment(ColorMapSegment::linear, kRed);
  Load(ByteWriter().Word(0).Word(0).bytes(), [&](CArchive& ar) {
    segment.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 2u);
  });
  EXPECT_EQ(segment, ColorMapSegment(ColorMapSegment::linear, kRed));
}

TEST(ColorMapPersistence, RegisteredByNameAndTraced) {
  // Also as an object of its own, through the registry's factory.
  ColorMap map = MixedMap();
  const Bytes bytes = Store([&](CArchive& ar) { ar.WriteObject(&map); });
  std::unique_ptr<CObject> read;
  Load(bytes, [&](CArchive& ar) { read.reset(ar.ReadObject(RUNTIME_CLASS(ColorMap))); });
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(*static_cast<ColorMap*>(read.get()), map);

  struct Trace : IArchiveTrace {
    std::string text;
    void Value(std::string_view name, const std::string& v) override {
      text += std::string(name) + "=" + v + ";";
    }
    void BeginObject(std::string_view, uint32_t, std::string_view) override {}
    void EndObject() override {}
    void Reference(std::string_view, uint32_t, std::string_view) override {}
    void BeginGroup(std::string_view name, uint32_t) override { text += std::string(name) + "{"; }
    void EndGroup() override { text += "}"; }
  } trace;
  Load(Store([&](CArchive& ar) { map.Serialize(ar); }), [&](CArchive& ar) {
    ar.SetTrace(&trace);
    ColorMap loaded;
    loaded.Serialize(ar);
  });
  const std::string firstSegment =
      "ColorMap{version=1;ColorMapSegment{version=1;type=0;color=" + TraceText(CVector(1.5, 2.25, 3.125)) +
      ";}ColorMapSegment{version=1;type=2;";
  EXPECT_EQ(trace.text.substr(0, firstSegment.size()), firstSegment);
  EXPECT_EQ(trace.text.back(), '}');
}

}  // namespace
}  // namespace brevoxa
