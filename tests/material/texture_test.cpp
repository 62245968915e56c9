// Texture kinds at points with known answers, their stored records, and colour maps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
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

// A grey ramp: Lookup(t) is 255 t to within rounding.
ColorMap Ramp() {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, CVector(0, 0, 0));
  map.SetSegment(20, ColorMapSegment::linear, CVector(255, 255, 255));
  return map;
}

// Marker colours show which outputs a texture wrote.
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

TEST(TextureMapping, KnownAnswersAndTheTangentFrame) {
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
    SCOPED_TRACE(row.u);
    ASSERT_TRUE(MapToUV(row.mapping, row.p, u, v));
    EXPECT_NEAR(u, row.u, 1e-12);
    EXPECT_NEAR(v, row.v, 1e-12);
  }
  u = v = 7.0;
  EXPECT_FALSE(MapToUV(3, CVector(1, 2, 3), u, v));
  EXPECT_TRUE(u == 7.0 && v == 7.0);

  // The tangent frame follows the layer, falling back on its y axis.
  IAxis frame;
  SurfaceFrame f = BuildSurfaceFrame(frame, CVector(1, 0, 0));
  ExpectNear(f.t, CVector(0, 1, 0));
  ExpectNear(f.b, CVector(0, 0, -1));
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

// On the grey ramp a lookup at t gives 255 t.
TEST(SolidTextures, KnownAnswers) {
  auto with = [](auto texture, auto values) {
    texture->SetValues(values);
    return std::shared_ptr<ITexture>(std::move(texture));
  };
  auto range = [&](uint16_t type) {
    return with(std::make_unique<IColorRangeTexture>(), IColorRangeTexture::Values{0.0, Ramp(), type});
  };
  const auto marble = with(std::make_unique<IMarbleTexture>(), IColorMapTexture::Values{0.0, Ramp()});
  const auto woodRange = with(std::make_unique<IWoodRangeTexture>(), IColorMapTexture::Values{0.0, Ramp()});
  const auto granite = with(std::make_unique<IGraniteTexture>(), IGraniteTexture::Values{{100, 200, 50}});
  const auto wood = std::make_shared<IWoodTexture>();
  const IWoodTexture::Values& w = wood->GetValues();
  IWoodTexture::Values one = w;  // one radial wave
  one.radialWaves = 1.0;
  one.radialRingSize = 10.0;
  one.percentBase = 0.2;
  const auto waved = with(std::make_unique<IWoodTexture>(), one);
  auto grey = [](double g) { return CVector(g, g, g); };
  const struct {
    std::shared_ptr<ITexture> texture;
    CVector p, color;
  } rows[] = {
      {wood, {0.3, 0.4, 0.5}, w.baseColor}, {wood, {0, 0, 0.1}, w.grainColor}, {wood, {0, 0, 0.05}, w.baseColor},
      // At (1, 0, 0) the angle is pi/2, grain; atan2's 3 pi / 2 would give the base colour.
      {waved, {1, 0, 0}, one.grainColor}, {waved, {1, -0.0, 0}, one.grainColor},
      {granite, {0, 0, 0}, grey(0)}, {granite, {0.25, -0.5, 1.0}, grey(0)},  // every octave on the lattice
      {marble, {0.3, 5, 5}, grey(153)}, {marble, {-0.3, 0, 0}, grey(153)}, {marble, {0.8, 0, 0}, grey(102)},
      {woodRange, {0.3, 0.4, 0}, grey(255)}, {woodRange, {0, 0, 1.1}, grey(51)},
      {range(IColorRangeTexture::kXYPlanes), {9, 9, 3.25}, grey(63.75)},
      {range(IColorRangeTexture::kXYPlanes), {0, 0, -0.25}, grey(191.25)},  // negative values wrap
      {range(IColorRangeTexture::kCylindersAroundZ), {0.3, 0.4, 7}, grey(127.5)},
      {range(IColorRangeTexture::kSpheresAtOrigin), {0.3, 0.4, 1.2}, grey(76.5)},
      {range(IColorRangeTexture::kRadialPlanesAroundZ), {1, 0, 0}, grey(191.25)},
      {range(4), {0.3, 0.4, 1.2}, {10, 20, 30}}, {range(0xFFFF), {0.3, 0.4, 1.2}, {10, 20, 30}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.texture->GetName() + " " + std::to_string(row.p.z));
    ExpectNear(Apply(*row.texture, row.p).color, row.color, 1e-6);
  }
  // Solid textures evaluate in the layer frame: doubling its scale halves the radius.
  IAxis frame;
  frame.SetPosition(CVector(5, -2, 1));
  frame.SetScale(CVector(2, 2, 2));
  const auto cylinders = range(IColorRangeTexture::kCylindersAroundZ);
  ExpectNear(Apply(*cylinders, CVector(5.3, -1.6, 1), frame).color, CVector(63.75, 63.75, 63.75), 1e-6);
  // An empty map gives black.
  for (TextureKind kind : {TextureKind::marble, TextureKind::clouds, TextureKind::colorRange}) {
    EXPECT_EQ(Apply(*MakeTexture(kind), CVector(0.3, 0.7, -0.2)).color, CVector(0, 0, 0));
  }
}

TEST(GraniteTexture, ScaledBelowItsColourOffTheLattice) {
  IGraniteTexture granite;
  granite.SetValues({CVector(100, 200, 50)});
  const CVector c = Apply(granite, CVector(0.123, 0.456, 0.789)).color;
  EXPECT_TRUE(c.x > 0.0 && c.x < 100.0);
  EXPECT_NEAR(c.y, 2 * c.x, 1e-9);
  EXPECT_NEAR(c.z, 0.5 * c.x, 1e-9);
}

TEST(CheckTexture, CellsTwistAndUnknownMappings) {
  ICheckTexture check;
  ICheckTexture::Values v = check.GetValues();
  v.mapping = kMapPlane;
  v.firstColor = CVector(255, 0, 0);
  v.secondColor = CVector(0, 0, 255);
  check.SetValues(v);
  // Untwisted, the point turns to (-y, -x): (0.7, 0.7) lands at u = v = 0.15, cell (0, 0).
  EXPECT_EQ(Apply(check, CVector(0.7, 0.7, 0)).color, v.secondColor);
  EXPECT_EQ(Apply(check, CVector(0.4, 0.7, 0)).color, v.firstColor);  // cell (1, 0)
  EXPECT_EQ(Apply(check, CVector(0.4, 0.5, 0)).color, v.secondColor);  // cell (1, 1)
  // Cell numbers beyond the integer range still have a parity.
  const CVector far = Apply(check, CVector(3e18, 1e19, 0)).color;
  EXPECT_TRUE(far == v.firstColor || far == v.secondColor);

  // A quarter turn at radius 1 moves a point from cell (0, 0) to (0, 5).
  const CVector p(1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0);
  EXPECT_EQ(Apply(check, p).color, v.secondColor);
  v.twist = 90.0;
  check.SetValues(v);
  EXPECT_EQ(Apply(check, p).color, v.firstColor);
  EXPECT_EQ(Apply(check, CVector(0, 0, 0.3)).color, v.secondColor);  // nothing to turn on the axis

  v.mapping = 7;
  check.SetValues(v);
  const SurfacePoint s = Apply(check, p);  // leaves every output alone
  EXPECT_TRUE(s.color == CVector(10, 20, 30) && s.filter == CVector(40, 50, 60) && s.reflect == CVector(70, 80, 90));
}

TEST(BumpTextures, KnownTiltsAndFlatSurfaces) {
  IRollingBumpsTexture bumps;
  ExpectNear(Apply(bumps, CVector(0, -0.9, 0)).shadingNormal, CVector(0, 0, 1));  // not yet prepared
  bumps.Prepare();
  // Plane mapping: u = 0.05 puts the X wave at its crest, v = 0.5 the Y wave at a node.
  ExpectNear(Apply(bumps, CVector(0, -0.9, 0)).shadingNormal, Unit(CVector(-0.314159265359, 0, 1)), 1e-9);
  IRollingBumpsTexture::Values v = bumps.GetValues();
  v.waveLength = 0.0;
  bumps.SetValues(v);
  bumps.Prepare();
  EXPECT_EQ(Apply(bumps, CVector(0.1, 0.2, 0)).shadingNormal, CVector(0, 0, 1));

  IRadialWaveTexture wave;
  wave.Prepare();
  // (u, v) - 0.5 = (0.1, 0): a = k r = pi, g = m (cos a / r) / r^2 = -1.
  ExpectNear(Apply(wave, CVector(0, 0.2, 0)).shadingNormal, Unit(CVector(-0.1, 0, 1)), 1e-9);
  EXPECT_EQ(Apply(wave, CVector(0, 0, 0)).shadingNormal, CVector(0, 0, 1));  // the centre of the rings
  IRadialWaveTexture::Values w = wave.GetValues();
  w.phase = -w.waveLength;
  wave.SetValues(w);
  wave.Prepare();
  EXPECT_EQ(Apply(wave, CVector(0.3, 0.1, 0)).shadingNormal, CVector(0, 0, 1));

  IRoughnessTexture rough;
  for (uint16_t type : {IRoughnessTexture::kUseNoise, IRoughnessTexture::kUseTurbulence}) {
    rough.SetValues({0.000001, type});
    SurfacePoint s = At(CVector(0.31, 0.72, -0.4), CVector(0, 0, 2));  // not unit: a normalisation would show
    rough.Apply(IAxis(), s);
    EXPECT_EQ(s.shadingNormal, CVector(0, 0, 2));
    rough.SetValues({0.5, type});
    s = Apply(rough, CVector(0.31, 0.72, -0.4));
    EXPECT_NEAR(s.shadingNormal.Length(), 1.0, 1e-12);
    EXPECT_TRUE(s.shadingNormal.z > 0.5 && s.shadingNormal.z < 1.0);
  }
}

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
  // The colour map: its version, then 21 segments of version, type, colour.
  ByteWriter range;
  range.Word(1).Double(0.75).Word(3).Word(1);
  for (int i = 0; i < ColorMap::kSegmentCount; ++i) {
    range.Word(1).Word(Ramp().GetSegment(i).type).Vector(Ramp().GetSegment(i).color);
  }
  ExpectRecord<IColorRangeTexture>(range, {0.75, Ramp(), IColorRangeTexture::kRadialPlanesAroundZ});
}

TEST(TextureRecords, OtherVersionsReadNothingMoreAndKeepTheValues) {
  std::vector<std::unique_ptr<ITexture>> all;
  for (const TextureChoice& choice : add_texture_dialog::kChoices) all.push_back(MakeTexture(choice.kind));
  all.push_back(std::make_unique<IRollingBumpsTexture>());
  all.push_back(std::make_unique<IWoodRangeTexture>());
  for (auto& t : all) {
    const Bytes defaults = StoreOf(*t);
    for (uint16_t version : {0, 2, 0xFFFF}) {
      SCOPED_TRACE(t->GetName() + " " + std::to_string(version));
      // Padded with bytes that would change every field if they were read.
      Bytes bytes(defaults.size(), 0x5A);
      bytes[0] = version & 0xFF;
      bytes[1] = version >> 8;
      EXPECT_EQ(LoadInto(*t, bytes), bytes.size() - 2);
      EXPECT_EQ(StoreOf(*t), defaults);
    }
  }
}

class BitmapTextureTest : public ::testing::Test {
 protected:
  // A 4 x 2 bottom-up BMP: red is 10 x but full in texel (1, 0), green 100 + 50 y.
  BitmapTextureTest() : store_(dir_.path().string()), scoped_(ui_) {
    ByteWriter w;
    w.Chars("BM").Dword(54 + 24).Dword(0).Dword(54);
    w.Dword(40).Dword(4).Dword(2).Word(1).Word(24).Dword(0).Dword(24).Dword(2835).Dword(2835).Dword(0).Dword(0);
    for (int y = 1; y >= 0; --y)
      for (int x = 0; x < 4; ++x) w.Byte(7).Byte(100 + 50 * y).Byte(x == 1 && y == 0 ? 255 : 10 * x);
    testing::WriteFile(dir_.File("TILE.BMP"), w.bytes());
  }

  // A texture of the image on a plane; PlanePoint gives the point at (u, v).
  IBitmapTexture::Values Plane(const std::string& name) const { return {name, kMapPlane, 1, 1}; }
  static CVector PlanePoint(double u, double v) { return {2 * v - 1, 2 * u - 1, 0}; }

  testing::TempDir dir_;
  ScopedObjectStore store_;
  RecordingUi ui_;
  ScopedUserInterface scoped_;
};

TEST_F(BitmapTextureTest, ReadsTheTexelThePointFallsInAndBumpsFromRed) {
  IBitmapTexture texture;
  IBitmapTexture::Values v = Plane("TILE.BMP");
  v.filter = v.bumpNormal = true;
  v.bumpHeight = 1.0;
  texture.SetValues(v);
  texture.Prepare();
  ASSERT_TRUE(texture.IsLoaded());
  EXPECT_TRUE(ui_.Messages().empty());
  // u picks the column of 4, v the row of 2 counted from the top.
  SurfacePoint s = Apply(texture, PlanePoint(0.8, 0.7));
  EXPECT_TRUE(s.color == CVector(30, 150, 7) && s.filter == s.color && s.reflect == s.color);
  // Texel (1, 0) is full red, (0, 1) and (2, 1) below it 0 and 20: with the
  // identity frame t = y, b = x, and N = (0, 1, 20/255) x (-1, 0.5, 1).
  s = Apply(texture, PlanePoint(0.3, 0.2));
  ExpectNear(s.shadingNormal, Unit(CVector(0, 1, 20.0 / 255).Cross(CVector(-1, 0.5, 1))));
  EXPECT_EQ(s.color, CVector(255, 100, 7));
  // At column 0, row 1 the steps wrap to column 3 and row 0: red 30 and 255.
  s = Apply(texture, PlanePoint(0.1, 0.9));
  const double h1 = 30.0 / 255.0;
  ExpectNear(s.shadingNormal, Unit(CVector(0, 1, 1 - h1).Cross(CVector(-1, 0.5, -h1))));
  EXPECT_EQ(s.color, CVector(0, 150, 7));
  // Two repetitions each way: u = 0.8 is 0.6 of its repeat, column 2.
  v.horizontalRepetitions = v.verticalRepetitions = 2;
  texture.SetValues(v);
  EXPECT_EQ(Apply(texture, PlanePoint(0.8, 0.7)).color, CVector(20, 100, 7));
  for (const CVector& p : {PlanePoint(1.0, 0.5), PlanePoint(0.5, -0.01), PlanePoint(-0.2, 0.5)}) {
    EXPECT_EQ(Apply(texture, p).color, CVector(10, 20, 30));  // outside [0, 1)
  }
  texture.Release();
  EXPECT_EQ(texture.GetBitmap().bgr.capacity(), 0u);
  EXPECT_EQ(Apply(texture, PlanePoint(0.8, 0.7)).color, CVector(10, 20, 30));
}

// Which files the reader refuses, and why, is the image reader's test.
TEST_F(BitmapTextureTest, MissingAndCorruptImagesLeaveItInert) {
  testing::WriteFile(dir_.File("JUNK.BMP"), ByteWriter().Chars("BM this is not an image at all").bytes());
  for (const char* name : {"NONE.BMP", "JUNK.BMP"}) {
    SCOPED_TRACE(name);
    ui_.Clear();
    IBitmapTexture texture;
    IBitmapTexture::Values v = Plane("TILE.BMP");
    v.bumpNormal = true;
    texture.SetValues(v);
    texture.Prepare();  // a failed Prepare after a good one drops the old image too
    v.fileName = name;
    texture.SetValues(v);
    texture.Prepare();
    EXPECT_FALSE(texture.IsLoaded());
    EXPECT_TRUE(texture.GetBitmap().bgr.empty());
    EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Unable to load bitmap " + dir_.File(name) + " for texture."});
    const SurfacePoint s = Apply(texture, PlanePoint(0.5, 0.5));
    EXPECT_EQ(s.color, CVector(10, 20, 30));
    EXPECT_EQ(s.shadingNormal, CVector(0, 0, 1));
  }
}

const CVector kBlack(0, 0, 0);
const CVector kRed(255, 0, 0);
const CVector kWhite(255, 255, 255);

TEST(ColorMapLookup, SegmentsByTypeAndPosition) {
  using Segment = std::tuple<int, uint16_t, CVector>;
  const double last = ColorMap::SegmentPosition(20);
  const struct {
    const char* what;
    std::vector<Segment> segments;
    std::vector<std::pair<double, CVector>> lookups;
  } maps[] = {
      // A solid segment fills up to its own position, a running sum of twentieths.
      {"solid", {{10, ColorMapSegment::solid, kRed}},
       {{-1.0, kRed}, {0.3, kRed}, {0.49999999999999994, kRed}, {0.5, kBlack}, {1.0, kBlack}}},
      {"ramp", {{0, ColorMapSegment::solid, kBlack}, {20, ColorMapSegment::linear, kWhite}},
       {{0.0, kBlack}, {0.5, {127.5, 127.5, 127.5}}, {1.0, kWhite}}},
      // Empty segments between are passed over; the blend runs from 0.25 to 0.75.
      {"gap", {{5, ColorMapSegment::solid, {10, 20, 30}}, {15, ColorMapSegment::linear, {200, 100, 50}}},
       {{0.1, {10, 20, 30}}, {0.5, {105, 60, 40}}, {0.3, {29, 28, 32}}, {0.8, kBlack}}},
      {"alone", {{10, ColorMapSegment::linear, kWhite}}, {{0.25, {127.5, 127.5, 127.5}}}},  // from black at 0
      // A linear first segment acts as a solid one; the last ends just past 1.
      {"ends", {{0, ColorMapSegment::linear, {0, 0, 200}}, {20, ColorMapSegment::solid, {0, 255, 0}}},
       {{-0.5, {0, 0, 200}}, {0.0, {0, 0, 200}}, {0.01, {0, 255, 0}}, {last, {0, 255, 0}},
        {std::nextafter(last, 2.0), kBlack}}},
      {"empty", {}, {{-1.0, kBlack}, {5.0, kBlack}, {std::numeric_limits<double>::quiet_NaN(), kBlack}}},
      // Indices outside 0..20 are refused; a type code only a damaged or newer file holds counts as solid.
      {"odd", {{-1, ColorMapSegment::solid, kWhite}, {21, ColorMapSegment::solid, kWhite}, {10, 7, kRed}},
       {{0.0, kRed}, {0.2, kRed}, {0.7, kBlack}}},
  };
  for (const auto& m : maps) {
    ColorMap map;
    for (const auto& [index, type, color] : m.segments) map.SetSegment(index, type, color);
    for (const auto& [t, expected] : m.lookups) {
      SCOPED_TRACE(::testing::Message() << m.what << " at " << t);
      ExpectNear(map.Lookup(t), expected);
    }
  }
}

TEST(ColorMapDraw, FillsTheRectangleWithTheRampTruncatedAndClipped) {
  ColorMap map;
  map.SetSegment(10, ColorMapSegment::solid, kRed);
  map.SetSegment(20, ColorMapSegment::solid, CVector(0, 0, 255));
  RgbImage image(16, 4, 0xAA);
  map.Draw(image, 2, 1, 12, 3);
  // Ten columns at t = 0, 0.1, ...: 0.5 lies just past segment 10, so column 5 is blue.
  using Px = std::vector<uint8_t>;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const bool inside = x >= 2 && x < 12 && y >= 1 && y < 3;
      const Px want = !inside ? Px{0xAA, 0xAA, 0xAA} : x - 2 < 5 ? Px{255, 0, 0} : Px{0, 0, 255};
      EXPECT_EQ(Px(image.Pixel(x, y), image.Pixel(x, y) + 3), want) << x << "," << y;
    }
  }
  // Far larger than the image: only the image is painted, with the low eight
  // bits of each truncated component.
  ColorMap odd;
  odd.SetSegment(20, ColorMapSegment::solid, CVector(300.7, -1.5, 127.9));
  RgbImage small(4, 2);
  odd.Draw(small, -10, -10, 100, 100);
  for (size_t i = 0; i < small.bytes.size(); ++i) EXPECT_EQ(small.bytes[i], (Px{44, 255, 127})[i % 3]);
  RgbImage untouched(4, 2, 9);
  odd.Draw(untouched, 0, 2, 4, 5);  // below the image
  EXPECT_EQ(untouched.bytes, std::vector<uint8_t>(4 * 2 * 3, 9));
}

TEST(ColorMapPersistence, UnknownVersionsReadNothingMore) {
  ColorMap map = Ramp();
  map.SetSegment(7, ColorMapSegment::linear, CVector(255, 128, 0.1));
  ColorMap read = map;
  testing::Load(ByteWriter().Word(2).Word(1).Word(0).bytes(), [&](CArchive& ar) {
    read.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 4u);
  });
  EXPECT_EQ(read, map);
  ColorMapSegment segment(ColorMapSegment::linear, kRed);
  EXPECT_EQ(LoadInto(segment, ByteWriter().Word(0).Word(0).bytes()), 2u);
  EXPECT_EQ(segment, ColorMapSegment(ColorMapSegment::linear, kRed));
}

}  // namespace
}  // namespace brevoxa
