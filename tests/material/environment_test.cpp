// The environment document: defaults, the stored field order (which is not
// the order of the form), refusal of damaged records, the form's ranges,
// and loading through a link.
#include "material/environment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/link.h"
#include "persist/object_store.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;

// Every value different, so that two fields swapped cannot go unnoticed.
EnvironmentSettings Custom() {
  EnvironmentSettings s;
  s.positivePole = {1, 2, 3};
  s.horizon = {4, 5, 6};
  s.negativePole = {7, 8, 9};
  s.fogColor = {10, 11, 12};
  s.ambientLight = {13, 14, 15};
  s.shadows = true;
  s.enablePoles = false;
  s.fogOccludedPerUnit = 2.5;
  s.stars = 12.0;
  s.poleTension = 0.75;
  s.shellSize = 500.0;
  s.name = "Dusk";
  return s;
}

// The record of Custom(), written out field by field as the file holds it.
Bytes CustomRecord(uint16_t version = 1) {
  ByteWriter w;
  w.Word(version).Word(1);  // shadows
  w.Double(2.5);           // fog occluded per unit
  w.Double(12.0);          // stars
  w.Word(0);                // enable poles
  w.Double(0.75);          // pole tension
  w.Double(500.0);         // shell size
  w.Byte(4).Chars("Dusk");
  w.Vector({1, 2, 3});     // positive pole
  w.Vector({7, 8, 9});     // negative pole
  w.Vector({4, 5, 6});     // horizon
  w.Vector({10, 11, 12});  // fog
  w.Vector({13, 14, 15});  // ambient
  return w.bytes();
}

uint64_t LoadInto(CEnvironment& env, const Bytes& bytes) {
  uint64_t left = 0;
  testing::Load(bytes, [&](CArchive& ar) {
    env.Serialize(ar);
    left = ar.BytesRemaining();
  });
  return left;
}

TEST(Environment, StartsWithTheDocumentedDefaults) {
  const CEnvironment env;
  const EnvironmentSettings& s = env.Settings();
  for (const CVector* color : {&s.positivePole, &s.horizon, &s.negativePole, &s.fogColor, &s.ambientLight}) {
    EXPECT_EQ(*color, CVector(0, 0, 0));
  }
  EXPECT_FALSE(s.shadows);
  EXPECT_FALSE(s.enablePoles);
  EXPECT_EQ(s.fogOccludedPerUnit, 0.0);
  EXPECT_EQ(s.stars, 0.0);
  EXPECT_EQ(s.poleTension, 1.0);
  EXPECT_EQ(s.shellSize, 30000.0);
  EXPECT_EQ(s.name, "");
}

TEST(Environment, ReadsAndWritesTheFieldsInStoredOrder) {
  CEnvironment env;
  EXPECT_EQ(LoadInto(env, CustomRecord()), 0u);
  EXPECT_EQ(env.Settings(), Custom());
  EXPECT_EQ(testing::Store([&](CArchive& ar) { env.Serialize(ar); }), CustomRecord());

  CEnvironment fresh;
  Bytes defaults = testing::Store([&](CArchive& ar) { fresh.Serialize(ar); });
  ASSERT_EQ(defaults.size(), 2u + 2 + 8 + 8 + 2 + 8 + 8 + 1 + 5 * 24);
  EXPECT_EQ(defaults[0], 1);
  EXPECT_EQ(defaults[1], 0);
}

TEST(Environment, AnyNonZeroFlagWordIsOn) {
  Bytes bytes = CustomRecord();
  bytes[2] = 7;  // shadows
  bytes[20] = 0;
  bytes[21] = 1;  // enable poles = 256
  CEnvironment env;
  LoadInto(env, bytes);
  EXPECT_TRUE(env.Settings().shadows);
  EXPECT_TRUE(env.Settings().enablePoles);
}

TEST(Environment, OtherVersionsReadNothingMoreAndKeepTheValues) {
  for (uint16_t version : {0, 2, 0xFFFF}) {
    CEnvironment env;
    Bytes bytes = CustomRecord(version);
    EXPECT_EQ(LoadInto(env, bytes), bytes.size() - 2) << version;
    EXPECT_EQ(env.Settings(), EnvironmentSettings{}) << version;
  }
}

TEST(Environment, ARecordCutShortChangesNothing) {
  const Bytes full = CustomRecord();
  for (size_t length : {size_t{1}, size_t{30}, full.size() - 1}) {
    CEnvironment env;
    Bytes cut(full.begin(), full.begin() + length);
    try {
      LoadInto(env, cut);
      FAIL() << length;
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), CArchiveException::endOfFile) << length;
    }
    EXPECT_EQ(env.Settings(), EnvironmentSettings{}) << length;
  }
}

TEST(Environment, RefusesRecordsThatTheFormWouldRefuse) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto with = [](auto change) {
    EnvironmentSettings s = Custom();
    change(s);
    // Written through a document that has not checked the values.
    ByteWriter w;
    w.Word(1).Word(s.shadows);
    w.Double(s.fogOccludedPerUnit);
    w.Double(s.stars);
    w.Word(s.enablePoles);
    w.Double(s.poleTension);
    w.Double(s.shellSize);
    w.Byte(static_cast<uint8_t>(s.name.size())).Chars(s.name);
    for (const CVector& v : {s.positivePole, s.negativePole, s.horizon, s.fogColor, s.ambientLight}) w.Vector(v);
    return w.bytes();
  };
  const Bytes damaged[] = {
      with([](EnvironmentSettings& s) { s.shellSize = 0.0; }),
      with([](EnvironmentSettings& s) { s.stars = 100.5; }),
      with([](EnvironmentSettings& s) { s.poleTension = 0.0; }),
      with([&](EnvironmentSettings& s) { s.fogOccludedPerUnit = nan; }),
      with([&](EnvironmentSettings& s) { s.ambientLight.y = nan; }),
      with([](EnvironmentSettings& s) { s.negativePole.z = 256.0; }),
      with([](EnvironmentSettings& s) { s.horizon.x = -1.0; }),
  };
  for (const Bytes& bytes : damaged) {
    CEnvironment env;
    try {
      LoadInto(env, bytes);
      FAIL();
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), CArchiveException::generic);
    }
    EXPECT_EQ(env.Settings(), EnvironmentSettings{});
  }
}

TEST(Environment, FormRangesGiveTheRangeMessages) {
  EnvironmentSettings s;
  EXPECT_EQ(s.Check(), std::nullopt);
  s.poleTension = 0.005;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.01 and 100.");
  s.shellSize = 0.5;
  EXPECT_EQ(s.Check(), "Please enter a number between 1 and 30000.");

  CEnvironment env;
  EXPECT_FALSE(env.SetSettings(s));
  EXPECT_EQ(env.Settings(), EnvironmentSettings{});
  EXPECT_TRUE(env.SetSettings(Custom()));
  EXPECT_EQ(env.Settings(), Custom());
}

TEST(Environment, StoringTakesTheFormValuesFirst) {
  CEnvironment env;
  env.SetViewExchange([&] { return env.SetSettings(Custom()); });
  EXPECT_EQ(testing::Store([&](CArchive& ar) { env.Serialize(ar); }), CustomRecord());

  // A refused field blocks the save before anything is written.
  env.SetViewExchange([] { return false; });
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  EXPECT_THROW(env.Serialize(ar), CUserException);
  ar.Close();
  EXPECT_EQ(file.GetLength(), 0u);
}

TEST(EnvironmentLink, OpensTheFileOrFallsBackToTheDefaults) {
  testing::TempDir dir;
  ScopedObjectStore store(dir.path().string());
  RecordingUi ui;
  ScopedUserInterface scoped(ui);
  {
    CDiskFile file(dir.File("ENVIRONM.ENV"), CDiskFile::modeCreate);
    const Bytes bytes = CustomRecord();
    file.Write(bytes.data(), bytes.size());
    file.Close();
  }
  IEnvironmentLink link;
  link.Open();
  auto* env = dynamic_cast<CEnvironment*>(link.GetLinkedDocument());
  ASSERT_NE(env, nullptr);
  EXPECT_EQ(env->Settings(), Custom());
  EXPECT_TRUE(ui.Messages().empty());

  link.SetFileName("NIGHT.ENV");
  link.Open();
  env = dynamic_cast<CEnvironment*>(link.GetLinkedDocument());
  ASSERT_NE(env, nullptr);
  EXPECT_EQ(env->Settings(), EnvironmentSettings{});
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0], "Unable to load" + dir.File("NIGHT.ENV") + ".  Using defaults.");
  link.Close();
}

}  // namespace
}  // namespace brevoxa
