// The environment document: its stored field order (which is not the order
// of the form), its flags and range messages, and the behaviour every
// settings document shares.
#include "material/environment.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "persist/link.h"
#include "support/settings_doc_suite.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;

struct EnvironmentTraits {
  using Doc = CEnvironment;
  using Settings = EnvironmentSettings;
  using Link = IEnvironmentLink;
  static constexpr uint16_t kVersion = 1;
  static constexpr const char* kDefaultFile = "ENVIRONM.ENV";

  static Settings Custom() {
    Settings s;
    s.positivePole = {1, 2, 3};
    s.horizon = {4, 5, 6};
    s.negativePole = {7, 8, 9};
    s.fogColor = {10, 11, 12};
    s.ambientLight = {13, 14, 15};
    s.shadows = true;
    s.fogOccludedPerUnit = 2.5;
    s.stars = 12.0;
    s.poleTension = 0.75;
    s.shellSize = 500.0;
    s.name = "Dusk";
    return s;
  }

  static Bytes Record(uint16_t version, const Settings& s) {
    ByteWriter w;
    w.Word(version).Word(s.shadows).Double(s.fogOccludedPerUnit).Double(s.stars).Word(s.enablePoles);
    w.Double(s.poleTension).Double(s.shellSize);
    w.Byte(static_cast<uint8_t>(s.name.size())).Chars(s.name);
    for (const CVector& v : {s.positivePole, s.negativePole, s.horizon, s.fogColor, s.ambientLight}) w.Vector(v);
    return w.bytes();
  }

  static std::vector<uint16_t> UnknownVersions() { return {0, 2, 0xFFFF}; }

  static std::vector<void (*)(Settings&)> Refused() {
    return {
        [](Settings& s) { s.shellSize = 0.0; },
        [](Settings& s) { s.stars = 100.5; },
        [](Settings& s) { s.poleTension = 0.0; },
        [](Settings& s) { s.fogOccludedPerUnit = std::numeric_limits<double>::quiet_NaN(); },
        [](Settings& s) { s.ambientLight.y = std::numeric_limits<double>::quiet_NaN(); },
        [](Settings& s) { s.negativePole.z = 256.0; },
        [](Settings& s) { s.horizon.x = -1.0; },
    };
  }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Environment, SettingsDocTest, EnvironmentTraits);

// Spelled out once, so that a change to the traits' record cannot hide a
// change to the layout.
TEST(Environment, StoredOrderIsNotTheFormOrder) {
  CEnvironment env;
  ASSERT_TRUE(env.SetSettings(EnvironmentTraits::Custom()));
  const Bytes bytes = ByteWriter()
                          .Word(1)
                          .Word(1)           // shadows
                          .Double(2.5)       // fog occluded per unit
                          .Double(12.0)      // stars
                          .Word(0)           // enable poles
                          .Double(0.75)      // pole tension
                          .Double(500.0)     // shell size
                          .Byte(4).Chars("Dusk")
                          .Vector({1, 2, 3})     // positive pole
                          .Vector({7, 8, 9})     // negative pole
                          .Vector({4, 5, 6})     // horizon
                          .Vector({10, 11, 12})  // fog
                          .Vector({13, 14, 15})  // ambient
                          .bytes();
  EXPECT_EQ(testing::StoreOf(env), bytes);
}

TEST(Environment, AnyNonZeroFlagWordIsOn) {
  Bytes bytes = EnvironmentTraits::Record(1, EnvironmentTraits::Custom());
  bytes[2] = 7;  // shadows
  bytes[20] = 0;
  bytes[21] = 1;  // enable poles = 256
  CEnvironment env;
  testing::LoadInto(env, bytes);
  EXPECT_TRUE(env.Settings().shadows);
  EXPECT_TRUE(env.Settings().enablePoles);
}

TEST(Environment, FormRangesGiveTheRangeMessages) {
  EnvironmentSettings s;
  EXPECT_EQ(s.Check(), std::nullopt);
  s.poleTension = 0.005;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.01 and 100.");
  // The first refused field in form order is the one reported.
  s.shellSize = 0.5;
  EXPECT_EQ(s.Check(), "Please enter a number between 1 and 30000.");
}

}  // namespace
}  // namespace brevoxa
