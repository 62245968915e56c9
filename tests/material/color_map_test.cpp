// Colour maps: segment positions, lookup semantics, the ramp picture and
// inline persistence.
#include "material/color_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "persist/archive.h"
#include "persist/class_registry.h"
#include "support/bytes.h"

namespace brevoxa {
namespace {

using testing::Bytes;
using testing::ByteWriter;
using testing::Load;
using testing::Store;

const CVector kBlack(0, 0, 0);
const CVector kRed(255, 0, 0);
const CVector kWhite(255, 255, 255);

void ExpectColor(const CVector& actual, const CVector& expected, double tolerance = 1e-9) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

TEST(ColorMapPositions, AreARunningSumOfTwentieths) {
  EXPECT_EQ(ColorMap::SegmentPosition(0), 0.0);
  EXPECT_EQ(ColorMap::SegmentPosition(1), 0.05);
  EXPECT_EQ(ColorMap::SegmentPosition(10), 0.49999999999999994);
  EXPECT_EQ(ColorMap::SegmentPosition(20), 1.0000000000000002);
}

TEST(ColorMapLookup, SolidSegmentFillsUpToItsPosition) {
  ColorMap map;
  map.SetSegment(10, ColorMapSegment::solid, kRed);
  for (double t : {-1.0, 0.0, 0.3, 0.49999999999999994}) EXPECT_EQ(map.Lookup(t), kRed) << t;
  for (double t : {0.5, 0.75, 1.0}) EXPECT_EQ(map.Lookup(t), kBlack) << t;
}

TEST(ColorMapLookup, LinearSegmentBlendsFromThePreviousOne) {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, kBlack);
  map.SetSegment(20, ColorMapSegment::linear, kWhite);
  EXPECT_EQ(map.Lookup(0.0), kBlack);
  ExpectColor(map.Lookup(0.5), CVector(127.5, 127.5, 127.5));
  ExpectColor(map.Lookup(1.0), kWhite);

  // Empty segments between are passed over; the blend runs between the
  // positions of the two non-empty ones (0.25 and 0.75 here).
  ColorMap gap;
  gap.SetSegment(5, ColorMapSegment::solid, CVector(10, 20, 30));
  gap.SetSegment(15, ColorMapSegment::linear, CVector(200, 100, 50));
  EXPECT_EQ(gap.Lookup(0.1), CVector(10, 20, 30));
  ExpectColor(gap.Lookup(0.5), CVector(105, 60, 40));
  ExpectColor(gap.Lookup(0.3), CVector(29, 28, 32));
  EXPECT_EQ(gap.Lookup(0.8), kBlack);

  // With nothing before it, a linear segment blends up from black at 0.
  ColorMap alone;
  alone.SetSegment(10, ColorMapSegment::linear, kWhite);
  ExpectColor(alone.Lookup(0.25), CVector(127.5, 127.5, 127.5));
}

TEST(ColorMapLookup, LinearAtZeroActsAsSolid) {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::linear, CVector(0, 0, 200));
  EXPECT_EQ(map.Lookup(0.0), CVector(0, 0, 200));
  EXPECT_EQ(map.Lookup(-0.5), CVector(0, 0, 200));
  EXPECT_EQ(map.Lookup(0.01), kBlack);
}

TEST(ColorMapLookup, OneUsesTheLastSegment) {
  ColorMap map;
  map.SetSegment(20, ColorMapSegment::solid, CVector(0, 255, 0));
  EXPECT_EQ(map.Lookup(1.0), CVector(0, 255, 0));
  EXPECT_EQ(map.Lookup(1.0000000000000002), CVector(0, 255, 0));
  EXPECT_EQ(map.Lookup(std::nextafter(1.0000000000000002, 2.0)), kBlack);
}

TEST(ColorMapLookup, EmptyMapIsBlackEverywhere) {
  const ColorMap map;
  for (int i = 0; i < ColorMap::kSegmentCount; ++i) {
    EXPECT_EQ(map.GetSegment(i).type, ColorMapSegment::empty);
    EXPECT_EQ(map.GetSegmentColor(i), kBlack);
  }
  for (double t : {-1.0, 0.0, 0.37, 1.0, 5.0, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(map.Lookup(t), kBlack) << t;
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

TEST(ColorMapDraw, FillsTheRectangleWithTheRamp) {
  ColorMap map;
  map.SetSegment(10, ColorMapSegment::solid, kRed);
  map.SetSegment(20, ColorMapSegment::solid, CVector(0, 0, 255));
  RgbImage image(16, 4, 0xAA);
  map.Draw(image, 2, 1, 12, 3);

  // Ten columns: t = 0, 0.1, ..., 0.9 by running sum; 0.5 lies just past
  // segment 10 (0.49999999999999994), so column 5 is already blue.
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* px = image.Pixel(x, y);
      const bool inside = x >= 2 && x < 12 && y >= 1 && y < 3;
      if (!inside) {
        EXPECT_EQ(px[0], 0xAA) << x << "," << y;
        continue;
      }
      const bool red = x - 2 < 5;
      EXPECT_EQ(px[0], red ? 255 : 0) << x << "," << y;
      EXPECT_EQ(px[1], 0) << x << "," << y;
      EXPECT_EQ(px[2], red ? 0 : 255) << x << "," << y;
    }
  }
}

TEST(ColorMapDraw, TruncatesToTheLowEightBitsAndClips) {
  ColorMap map;
  map.SetSegment(20, ColorMapSegment::solid, CVector(300.7, -1.5, 127.9));
  RgbImage image(4, 2);
  // Far larger than the image on every side: only the image is painted.
  map.Draw(image, -10, -10, 100, 100);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      const uint8_t* px = image.Pixel(x, y);
      EXPECT_EQ(px[0], 300 & 0xFF);
      EXPECT_EQ(px[1], 0xFF);  // -1.5 truncates to -1
      EXPECT_EQ(px[2], 127);
    }
  }

  RgbImage untouched(4, 2, 9);
  map.Draw(untouched, 3, 0, 3, 2);  // no columns
  map.Draw(untouched, 0, 2, 4, 5);  // below the image
  EXPECT_EQ(untouched.bytes, std::vector<uint8_t>(4 * 2 * 3, 9));
}

ColorMap MixedMap() {
  ColorMap map;
  map.SetSegment(0, ColorMapSegment::solid, CVector(1.5, 2.25, 3.125));
  map.SetSegment(7, ColorMapSegment::linear, CVector(255, 128, 0.1));
  map.SetSegment(20, ColorMapSegment::linear, kWhite);
  return map;
}

TEST(ColorMapPersistence, RoundTripsInExactly590Bytes) {
  ColorMap map = MixedMap();
  const Bytes bytes = Store([&](CArchive& ar) { map.Serialize(ar); });
  // Version word, then 21 times: version word, type word, three doubles.
  EXPECT_EQ(bytes.size(), 2u + 21u * (2u + 2u + 24u));

  const Bytes head(bytes.begin(), bytes.begin() + 6);
  EXPECT_EQ(head, ByteWriter().Word(1).Word(1).Word(ColorMapSegment::solid).bytes());
  const size_t second = 2 + 28;
  EXPECT_EQ(Bytes(bytes.begin() + second, bytes.begin() + second + 4),
            ByteWriter().Word(1).Word(ColorMapSegment::empty).bytes());

  ColorMap loaded;
  Load(bytes, [&](CArchive& ar) {
    loaded.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 0u);
  });
  EXPECT_EQ(loaded, map);
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
  for (const char* name : {"ColorMap", "ColorMapSegment"}) {
    const CRuntimeClass* cls = ClassRegistry::Instance().Find(name);
    ASSERT_NE(cls, nullptr) << name;
    EXPECT_EQ(cls->schema, 0);
    EXPECT_TRUE(cls->IsPersistent());
  }

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
