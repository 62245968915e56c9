// RENSTAT.DAT byte for byte, damaged files, and the dialog's lines.
#include "render/render_statistics.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "persist/object_store.h"
#include "support/bytes.h"
#include "support/temp_dir.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

RenderStatistics Sample() {
  RenderStatistics s;
  s.counters = {1, 2, 3, 4, 5, 6, 7, 8};
  s.startTime = 1000;
  s.endTime = 1065;
  s.outputPath = "/store/RENDERED/scene.JPG";
  return s;
}

Bytes Record(const RenderStatistics& s) {
  ByteWriter w;
  for (uint32_t v = 1; v <= 8; ++v) w.Dword(v);
  w.Dword(static_cast<uint32_t>(s.startTime)).Dword(static_cast<uint32_t>(s.endTime));
  w.Byte(static_cast<uint8_t>(s.outputPath.size())).Chars(s.outputPath);
  return w.bytes();
}

TEST(RenderStatistics, FileHoldsTheRecordAndReadsBack) {
  TempDir dir;
  const std::string path = dir.File("RENSTAT.DAT");
  ASSERT_TRUE(SaveStatistics(Sample(), path));
  EXPECT_EQ(ReadFile(path), Record(Sample()));
  EXPECT_EQ(LoadStatistics(path), Sample());
  ScopedObjectStore store((dir.path() / "OBJSTORE").string());
  EXPECT_EQ(StatisticsFilePath(), path);

  // Large counts saturate; times past 2038 survive.
  RenderStatistics s = Sample();
  s.counters.polygonHitTests = 5'000'000'000;
  s.startTime = 0x90000000;
  ASSERT_TRUE(SaveStatistics(s, path));
  RenderStatistics back = LoadStatistics(path);
  EXPECT_EQ(back.counters.polygonHitTests, 0xFFFFFFFFu);
  EXPECT_EQ(back.startTime, 0x90000000);
}

// Only a record with an octree (every render divides the root) is a render.
TEST(RenderStatistics, SavedOnlyWhenARenderWasRecorded) {
  TempDir dir;
  const std::string path = dir.File("RENSTAT.DAT");
  RenderStatistics noOctree = Sample();
  noOctree.counters.octreeSize = 0;
  EXPECT_FALSE(SaveStatistics(noOctree, path));
  EXPECT_FALSE(std::filesystem::exists(path));
  RenderStatistics emptyScene;
  emptyScene.counters.octreeSize = 8;
  EXPECT_TRUE(SaveStatistics(emptyScene, path));
  EXPECT_EQ(LoadStatistics(path), emptyScene);
}

TEST(RenderStatistics, MissingOrDamagedFileGivesEmptyStatistics) {
  TempDir dir;
  EXPECT_EQ(LoadStatistics(dir.File("missing")), RenderStatistics{});

  const Bytes good = Record(Sample());
  Bytes longPath(good.begin(), good.begin() + 40);
  longPath.push_back(200);  // a path longer than the file
  Bytes trailing = good;
  trailing.push_back(0);
  const std::pair<const char*, Bytes> cases[] = {
      {"empty", {}},
      {"truncated counters", Bytes(good.begin(), good.begin() + 17)},
      {"truncated path", Bytes(good.begin(), good.end() - 3)},
      {"path past the end", longPath},
      {"trailing bytes", trailing},
  };
  for (const auto& [name, bytes] : cases) {
    WriteFile(dir.File(name), bytes);
    EXPECT_EQ(LoadStatistics(dir.File(name)), RenderStatistics{}) << name;
  }
  EXPECT_EQ(LoadStatistics(dir.path().string()), RenderStatistics{});  // a folder
}

TEST(RenderStatistics, DialogLines) {
  std::tm local{};
  local.tm_sec = 9, local.tm_min = 5, local.tm_hour = 13, local.tm_mday = 14, local.tm_mon = 5, local.tm_year = 124;
  local.tm_isdst = -1;
  RenderStatistics s = Sample();
  s.startTime = std::mktime(&local);
  s.endTime = s.startTime + 3725;
  const std::vector<std::string> expected = {
      "Rendering\t/store/RENDERED/scene.JPG", "Start Time\t13:05:09", "Rendering Time\t01:02:05",
      "Primary Rays\t1", "Reflected Rays\t2", "Transmitted Rays\t3", "Shadow Rays\t4", "Polygon Hit Tests\t5",
      "Polygon Hits\t6", "Octree Hits\t7", "Octree Size\t8"};
  EXPECT_EQ(StatisticsLines(s), expected);

  // Hours go on past a day; a clock set back shows no time.
  s.endTime = s.startTime + 25 * 3600 + 1;
  EXPECT_EQ(StatisticsLines(s)[2], "Rendering Time\t25:00:01");
  s.endTime = s.startTime - 10;
  EXPECT_EQ(StatisticsLines(s)[2], "Rendering Time\t00:00:00");
  s.counters.polygonHitTests = 5'000'000'000;
  EXPECT_EQ(StatisticsLines(s)[7], "Polygon Hit Tests\t5000000000");
}

}  // namespace
}  // namespace brevoxa
