// The render-settings document: its record in both versions and its range messages.
#include "render/render_doc.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "persist/link.h"
#include "support/settings_doc_suite.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::LoadInto;
using testing::StoreOf;

struct RenderTraits {
  using Doc = CRenderDoc;
  using Settings = RenderSettings;
  using Link = IRenderLink;
  static constexpr uint16_t kVersion = 2;
  static constexpr const char* kDefaultFile = "RENDER.RDR";

  static Settings Custom() {
    Settings s;
    s.width = 640;
    s.height = 480;
    s.depthLimit = 7;
    s.pixelRatio = 1.25;
    s.octreeLimit = 9;
    s.jpegQuality = 95;
    s.autoDisplay = false;
    s.name = "Final";
    s.supersampling = Supersampling::medium;
    return s;
  }

  static Bytes Record(uint16_t version, const Settings& s) {
    ByteWriter w;
    w.Word(version).Word(s.width).Word(s.height).Word(s.depthLimit);
    w.Double(s.pixelRatio);
    w.Word(s.octreeLimit).Word(s.jpegQuality).Byte(s.autoDisplay ? 1 : 0);
    w.Byte(static_cast<uint8_t>(s.name.size())).Chars(s.name);
    if (version == 2) w.Word(static_cast<uint16_t>(s.supersampling));
    return w.bytes();
  }

  static std::vector<uint16_t> UnknownVersions() { return {0, 3, 0xFFFF}; }

  static std::vector<void (*)(Settings&)> Refused() {
    return {
        [](Settings& s) { s.width = 0; },
        [](Settings& s) { s.height = 65535; },
        [](Settings& s) { s.depthLimit = 0; },
        [](Settings& s) { s.pixelRatio = std::numeric_limits<double>::quiet_NaN(); },
        [](Settings& s) { s.octreeLimit = 21; },
        [](Settings& s) { s.jpegQuality = 24; },
        [](Settings& s) { s.supersampling = static_cast<Supersampling>(4); },
    };
  }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Render, SettingsDocTest, RenderTraits);

// Spelled out once, so that the traits' record cannot hide a change of layout.
TEST(RenderDoc, DefaultRecordByteForByte) {
  CRenderDoc doc;
  EXPECT_EQ(StoreOf(doc), (Bytes{2, 0, 160, 0, 120, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 6, 0, 80, 0, 1, 0, 0, 0}));
}

TEST(RenderDoc, VersionOneLoadsWithoutSupersamplingAndSavesAsVersionTwo) {
  CRenderDoc doc;
  RenderSettings high = RenderTraits::Custom();
  high.supersampling = Supersampling::high;
  ASSERT_TRUE(doc.SetSettings(high));

  Bytes bytes = RenderTraits::Record(1, RenderTraits::Custom());
  bytes.push_back(0xAB);  // whatever follows the record stays unread
  EXPECT_EQ(LoadInto(doc, bytes), 1u);
  RenderSettings expected = RenderTraits::Custom();
  expected.supersampling = Supersampling::none;
  EXPECT_EQ(doc.Settings(), expected);
  EXPECT_EQ(StoreOf(doc), RenderTraits::Record(2, expected));
}

TEST(RenderDoc, FormRangesGiveTheRangeMessages) {
  RenderSettings s;
  EXPECT_EQ(s.Check(), std::nullopt);
  s.pixelRatio = 0.09;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.1 and 10.");
  s.jpegQuality = 101;
  // The first refused field in table order is reported.
  s.width = 1;
  EXPECT_EQ(s.Check(), "Please enter an integer between 2 and 30000.");
}

}  // namespace
}  // namespace brevoxa
