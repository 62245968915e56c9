// The render-settings document: defaults, its record in both versions,
// refusal of damaged records, the form's ranges, and loading through a link.
#include "render/render_doc.h"

#include <gtest/gtest.h>

#include <cmath>
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

// A record of the given version holding the fields of s (supersampling only
// for version 2).
Bytes Record(uint16_t version, const RenderSettings& s) {
  ByteWriter w;
  w.Word(version).Word(s.width).Word(s.height).Word(s.depthLimit);
  w.Double(s.pixelRatio);
  w.Word(s.octreeLimit).Word(s.jpegQuality).Byte(s.autoDisplay ? 1 : 0);
  w.Byte(static_cast<uint8_t>(s.name.size())).Chars(s.name);
  if (version == 2) w.Word(static_cast<uint16_t>(s.supersampling));
  return w.bytes();
}

RenderSettings Custom() {
  RenderSettings s;
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

// Loads bytes into doc and answers how many bytes were left unread.
uint64_t LoadInto(CRenderDoc& doc, const Bytes& bytes) {
  uint64_t left = 0;
  testing::Load(bytes, [&](CArchive& ar) {
    doc.Serialize(ar);
    left = ar.BytesRemaining();
  });
  return left;
}

TEST(RenderDoc, StartsWithTheDocumentedDefaults) {
  const CRenderDoc doc;
  const RenderSettings& s = doc.Settings();
  EXPECT_EQ(s.width, 160);
  EXPECT_EQ(s.height, 120);
  EXPECT_EQ(s.depthLimit, 3);
  EXPECT_EQ(s.pixelRatio, 1.0);
  EXPECT_EQ(s.octreeLimit, 6);
  EXPECT_EQ(s.jpegQuality, 80);
  EXPECT_TRUE(s.autoDisplay);
  EXPECT_EQ(s.name, "");
  EXPECT_EQ(s.supersampling, Supersampling::none);

  RenderSettings sampled;
  const int factors[] = {1, 2, 3, 5};
  for (uint16_t code = 0; code < 4; ++code) {
    sampled.supersampling = static_cast<Supersampling>(code);
    EXPECT_EQ(sampled.SupersamplingFactor(), factors[code]) << code;
  }
}

TEST(RenderDoc, StoresVersionTwoByteForByte) {
  CRenderDoc doc;
  EXPECT_EQ(testing::Store([&](CArchive& ar) { doc.Serialize(ar); }), Record(2, RenderSettings{}));
  // Spelled out once, so that a change to the helper cannot hide a change
  // to the layout.
  EXPECT_EQ(testing::Store([&](CArchive& ar) { doc.Serialize(ar); }),
            (Bytes{2, 0, 160, 0, 120, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 6, 0, 80, 0, 1, 0, 0, 0}));

  ASSERT_TRUE(doc.SetSettings(Custom()));
  Bytes bytes = testing::Store([&](CArchive& ar) { doc.Serialize(ar); });
  EXPECT_EQ(bytes, Record(2, Custom()));
  CRenderDoc read;
  EXPECT_EQ(LoadInto(read, bytes), 0u);
  EXPECT_EQ(read.Settings(), Custom());
}

TEST(RenderDoc, VersionOneLoadsWithoutSupersampling) {
  CRenderDoc doc;
  RenderSettings high = Custom();
  high.supersampling = Supersampling::high;
  ASSERT_TRUE(doc.SetSettings(high));

  Bytes bytes = Record(1, Custom());
  bytes.push_back(0xAB);  // whatever follows the record stays unread
  EXPECT_EQ(LoadInto(doc, bytes), 1u);
  RenderSettings expected = Custom();
  expected.supersampling = Supersampling::none;
  EXPECT_EQ(doc.Settings(), expected);

  // Saved again, it is a version-2 record.
  EXPECT_EQ(testing::Store([&](CArchive& ar) { doc.Serialize(ar); }), Record(2, expected));
}

TEST(RenderDoc, UnknownVersionsReadNothingMoreAndKeepTheValues) {
  for (uint16_t version : {0, 3, 0xFFFF}) {
    CRenderDoc doc;
    Bytes bytes = Record(2, Custom());
    bytes[0] = static_cast<uint8_t>(version);
    bytes[1] = static_cast<uint8_t>(version >> 8);
    EXPECT_EQ(LoadInto(doc, bytes), bytes.size() - 2) << version;
    EXPECT_EQ(doc.Settings(), RenderSettings{}) << version;
  }
}

TEST(RenderDoc, ARecordCutShortChangesNothing) {
  const Bytes full = Record(2, Custom());
  for (size_t length : {size_t{3}, size_t{12}, full.size() - 1}) {
    CRenderDoc doc;
    Bytes cut(full.begin(), full.begin() + length);
    try {
      LoadInto(doc, cut);
      FAIL() << length;
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), CArchiveException::endOfFile) << length;
    }
    EXPECT_EQ(doc.Settings(), RenderSettings{}) << length;
  }
}

TEST(RenderDoc, RefusesRecordsThatTheFormWouldRefuse) {
  auto with = [](auto change) {
    RenderSettings s = Custom();
    change(s);
    return Record(2, s);
  };
  const Bytes damaged[] = {
      with([](RenderSettings& s) { s.width = 0; }),
      with([](RenderSettings& s) { s.height = 65535; }),
      with([](RenderSettings& s) { s.depthLimit = 0; }),
      with([](RenderSettings& s) { s.pixelRatio = std::numeric_limits<double>::quiet_NaN(); }),
      with([](RenderSettings& s) { s.octreeLimit = 21; }),
      with([](RenderSettings& s) { s.jpegQuality = 24; }),
      with([](RenderSettings& s) { s.supersampling = static_cast<Supersampling>(4); }),
  };
  for (const Bytes& bytes : damaged) {
    CRenderDoc doc;
    try {
      LoadInto(doc, bytes);
      FAIL();
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), CArchiveException::generic);
    }
    EXPECT_EQ(doc.Settings(), RenderSettings{});
  }
}

TEST(RenderDoc, FormRangesGiveTheRangeMessages) {
  RenderSettings s;
  EXPECT_EQ(s.Check(), std::nullopt);
  s.pixelRatio = 0.09;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.1 and 10.");
  s.jpegQuality = 101;
  // The first refused field in table order is the one reported.
  s.width = 1;
  EXPECT_EQ(s.Check(), "Please enter an integer between 2 and 30000.");

  CRenderDoc doc;
  EXPECT_FALSE(doc.SetSettings(s));
  EXPECT_EQ(doc.Settings(), RenderSettings{});
}

TEST(RenderDoc, StoringTakesTheFormValuesFirst) {
  CRenderDoc doc;
  doc.SetViewExchange([&] { return doc.SetSettings(Custom()); });
  EXPECT_EQ(testing::Store([&](CArchive& ar) { doc.Serialize(ar); }), Record(2, Custom()));

  // A refused field blocks the save before anything is written.
  doc.SetViewExchange([] { return false; });
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  EXPECT_THROW(doc.Serialize(ar), CUserException);
  ar.Close();
  EXPECT_EQ(file.GetLength(), 0u);
}

TEST(RenderLink, OpensTheFileOrFallsBackToTheDefaults) {
  testing::TempDir dir;
  ScopedObjectStore store(dir.path().string());
  RecordingUi ui;
  ScopedUserInterface scoped(ui);
  auto write = [&](const std::string& name, const Bytes& bytes) {
    CDiskFile file(dir.File(name), CDiskFile::modeCreate);
    file.Write(bytes.data(), bytes.size());
    file.Close();
  };
  IRenderLink link;
  auto linked = [&] {
    auto* doc = dynamic_cast<CRenderDoc*>(link.GetLinkedDocument());
    EXPECT_NE(doc, nullptr);
    return doc ? doc->Settings() : RenderSettings{};
  };

  write("RENDER.RDR", Record(1, Custom()));
  link.Open();
  RenderSettings expected = Custom();
  expected.supersampling = Supersampling::none;
  EXPECT_EQ(linked(), expected);
  EXPECT_TRUE(ui.Messages().empty());

  link.SetFileName("MISSING.RDR");
  link.Open();
  EXPECT_EQ(linked(), RenderSettings{});
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0], "Unable to load" + dir.File("MISSING.RDR") + ".  Using defaults.");

  // A damaged file gives the defaults too, not a half-read mixture.
  RenderSettings zero = Custom();
  zero.width = 0;
  write("ZERO.RDR", Record(2, zero));
  link.SetFileName("ZERO.RDR");
  link.Open();
  EXPECT_EQ(linked(), RenderSettings{});
  ASSERT_EQ(ui.Messages().size(), 2u);
  EXPECT_EQ(ui.Messages()[1], "Unable to load" + dir.File("ZERO.RDR") + ".  Using defaults.");
  link.Close();
}

}  // namespace
}  // namespace brevoxa
