// Render statistics, their file and their dialog lines.
#include "render/render_statistics.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <limits>

#include "persist/archive.h"
#include "persist/file.h"
#include "persist/safe_file.h"
#include "render/sample_file.h"

namespace brevoxa {

namespace {

// The eight counters in the order of the record and of the dialog.
constexpr int kCounterCount = 8;
constexpr uint64_t RenderCounters::*kCounters[kCounterCount] = {
    &RenderCounters::primaryRays, &RenderCounters::reflectedRays,   &RenderCounters::transmittedRays,
    &RenderCounters::shadowRays,  &RenderCounters::polygonHitTests, &RenderCounters::polygonHits,
    &RenderCounters::octreeHits,  &RenderCounters::octreeSize};

constexpr const char* kCounterNames[kCounterCount] = {
    "primaryRays", "reflectedRays", "transmittedRays", "shadowRays",
    "polygonHitTests", "polygonHits", "octreeHits", "octreeSize"};

uint32_t Saturated(uint64_t v) {
  return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

bool RenderStatistics::HasRender() const {
  // Every render that got as far as the octree divided its root at least
  // once, however small the scene.
  return counters.octreeSize != 0;
}

void RenderStatistics::Serialize(CArchive& ar) {
  for (int i = 0; i < kCounterCount; ++i) {
    uint32_t v = Saturated(counters.*kCounters[i]);
    ar.Transfer(kCounterNames[i], v);
    if (ar.IsLoading()) counters.*kCounters[i] = v;
  }
  // Times are kept as 32 bits; stored unsigned, they last until 2106.
  uint32_t start = static_cast<uint32_t>(startTime);
  uint32_t end = static_cast<uint32_t>(endTime);
  ar.Transfer("startTime", start);
  ar.Transfer("endTime", end);
  if (ar.IsLoading()) {
    startTime = start;
    endTime = end;
  }
  ar.Transfer("outputPath", outputPath);
}

std::string StatisticsFilePath() { return (std::filesystem::path(ProgramFolder()) / "RENSTAT.DAT").string(); }

RenderStatistics LoadStatistics(const std::string& path) {
  try {
    CDiskFile file(path, CDiskFile::modeRead);
    CArchive ar(&file, CArchive::load, 512);
    RenderStatistics statistics;
    statistics.Serialize(ar);
    // Anything after the path means the file is not one this program wrote.
    if (ar.BytesRemaining() == 0) return statistics;
  } catch (const std::exception&) {
    // Missing or damaged: no statistics, as after a fresh start.
  }
  return {};
}

bool SaveStatistics(const RenderStatistics& statistics, const std::string& path) {
  if (!statistics.HasRender()) return false;
  RenderStatistics copy = statistics;
  CSafeFile file(path);
  CArchive ar(&file, CArchive::store, 512);
  copy.Serialize(ar);
  ar.Close();
  file.Commit();
  return true;
}

std::vector<std::string> StatisticsLines(const RenderStatistics& s) {
  std::vector<std::string> lines;
  auto line = [&](const char* label, const std::string& value) {
    std::string text = label;
    text += value;
    lines.push_back(std::move(text));
  };

  line("Rendering\t", s.outputPath);

  char buffer[64];
  std::tm local{};
  const auto start = static_cast<std::time_t>(s.startTime);
  if (localtime_r(&start, &local) != nullptr && std::strftime(buffer, sizeof buffer, "%H:%M:%S", &local) > 0) {
    line("Start Time\t", buffer);
  } else {
    line("Start Time\t", "00:00:00");
  }
  // A clock set back during the render counts as no time at all.
  const int64_t span = std::max<int64_t>(0, s.endTime - s.startTime);
  std::snprintf(buffer, sizeof buffer, "%02lld:%02d:%02d", static_cast<long long>(span / 3600),
                static_cast<int>(span / 60 % 60), static_cast<int>(span % 60));
  line("Rendering Time\t", buffer);

  static constexpr const char* kLabels[kCounterCount] = {
      "Primary Rays\t", "Reflected Rays\t", "Transmitted Rays\t", "Shadow Rays\t",
      "Polygon Hit Tests\t", "Polygon Hits\t", "Octree Hits\t", "Octree Size\t"};
  for (int i = 0; i < kCounterCount; ++i) line(kLabels[i], std::to_string(s.counters.*kCounters[i]));
  return lines;
}

}  // namespace brevoxa
