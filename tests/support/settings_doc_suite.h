// What every settings document must do with its record, its form and its
// link, run for each document through a traits type (records cut short are
// replayed at every length by the settings corpus):
//   Doc, Settings, Link       the document, its values and the link opening it
//   kVersion, kDefaultFile    the version it writes and the file a new link opens
//   Custom()                  accepted values, every one different from the default
//   Record(version, values)   the record built by hand in stored order
//   UnknownVersions()         versions after which nothing more is read
//   Refused()                 changes to Custom() that the form refuses
// A test file instantiates it with INSTANTIATE_TYPED_TEST_SUITE_P.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

// In brevoxa itself, so that each test file's anonymous namespace sees it.
namespace brevoxa {

template <class T>
class SettingsDocTest : public ::testing::Test {};
TYPED_TEST_SUITE_P(SettingsDocTest);

TYPED_TEST_P(SettingsDocTest, RecordRoundTripsInStoredOrder) {
  using T = TypeParam;
  typename T::Doc doc;
  EXPECT_EQ(testing::StoreOf(doc), T::Record(T::kVersion, {}));
  const testing::Bytes custom = T::Record(T::kVersion, T::Custom());
  EXPECT_EQ(testing::LoadInto(doc, custom), 0u);
  EXPECT_EQ(doc.Settings(), T::Custom());
  EXPECT_EQ(testing::StoreOf(doc), custom);
}

TYPED_TEST_P(SettingsDocTest, UnknownVersionsReadNothingMoreAndKeepTheValues) {
  using T = TypeParam;
  for (uint16_t version : T::UnknownVersions()) {
    typename T::Doc doc;
    const testing::Bytes bytes = T::Record(version, T::Custom());
    EXPECT_EQ(testing::LoadInto(doc, bytes), bytes.size() - 2) << version;
    EXPECT_EQ(doc.Settings(), typename T::Settings{}) << version;
  }
}

// A damaged file must not reach the renderer with values the form never
// stores, and the form and the record refuse the same ones.
TYPED_TEST_P(SettingsDocTest, ValuesTheFormRefusesAreRefusedByTheRecordToo) {
  using T = TypeParam;
  int index = 0;
  for (auto change : T::Refused()) {
    SCOPED_TRACE(index++);
    typename T::Settings s = T::Custom();
    change(s);
    EXPECT_TRUE(s.Check().has_value());
    typename T::Doc doc;
    EXPECT_FALSE(doc.SetSettings(s));
    EXPECT_EQ(testing::LoadCause(doc, T::Record(T::kVersion, s)), CArchiveException::generic);
    EXPECT_EQ(doc.Settings(), typename T::Settings{});
  }
  typename T::Doc doc;
  EXPECT_TRUE(doc.SetSettings(T::Custom()));
  EXPECT_EQ(doc.Settings(), T::Custom());
}

TYPED_TEST_P(SettingsDocTest, StoringTakesTheFormValuesFirst) {
  using T = TypeParam;
  typename T::Doc doc;
  doc.SetViewExchange([&] { return doc.SetSettings(T::Custom()); });
  EXPECT_EQ(testing::StoreOf(doc), T::Record(T::kVersion, T::Custom()));

  // A refused field blocks the save before anything is written.
  doc.SetViewExchange([] { return false; });
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  EXPECT_THROW(doc.Serialize(ar), CUserException);
  ar.Close();
  EXPECT_EQ(file.GetLength(), 0u);
}

TYPED_TEST_P(SettingsDocTest, TheLinkOpensTheFileOrFallsBackToTheDefaults) {
  using T = TypeParam;
  testing::TempDir dir;
  ScopedObjectStore store(dir.path().string());
  RecordingUi ui;
  ScopedUserInterface scoped(ui);
  const std::string defaultFile = T::kDefaultFile;
  const std::string extension = defaultFile.substr(defaultFile.find('.'));
  testing::WriteFile(dir.File(defaultFile), T::Record(T::kVersion, T::Custom()));
  typename T::Settings refused = T::Custom();
  T::Refused().front()(refused);
  testing::WriteFile(dir.File("REFUSED" + extension), T::Record(T::kVersion, refused));

  typename T::Link link;
  auto opened = [&] {
    auto* doc = dynamic_cast<typename T::Doc*>(link.GetLinkedDocument());
    EXPECT_NE(doc, nullptr);
    return doc ? doc->Settings() : typename T::Settings{};
  };
  link.Open();
  EXPECT_EQ(opened(), T::Custom());
  EXPECT_TRUE(ui.Messages().empty());
  // A damaged file gives the defaults too, not a half-read mixture.
  for (const std::string& name : {"MISSING" + extension, "REFUSED" + extension}) {
    link.SetFileName(name);
    link.Open();
    EXPECT_EQ(opened(), typename T::Settings{}) << name;
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_EQ(ui.Messages().back(), "Unable to load" + dir.File(name) + ".  Using defaults.");
  }
  EXPECT_EQ(ui.Messages().size(), 2u);
  link.Close();
}

REGISTER_TYPED_TEST_SUITE_P(SettingsDocTest, RecordRoundTripsInStoredOrder,
                            UnknownVersionsReadNothingMoreAndKeepTheValues, ValuesTheFormRefusesAreRefusedByTheRecordToo, StoringTakesTheFormValuesFirst,
                            TheLinkOpensTheFileOrFallsBackToTheDefaults);

}  // namespace brevoxa
