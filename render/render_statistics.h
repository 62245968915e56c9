// What one render counted and when it ran, as the statistics dialog shows
// it and as RENSTAT.DAT keeps the last render's between sessions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/render_counters.h"

namespace brevoxa {

class CArchive;

struct RenderStatistics {
  RenderCounters counters;
  int64_t startTime = 0;  // seconds since 1970
  int64_t endTime = 0;
  std::string outputPath;

  void ZeroCounters() { counters = {}; }
  // Whether a render was recorded at all: the octree's root is always
  // divided, so its size is never 0 after a render.
  bool HasRender() const;
  bool operator==(const RenderStatistics&) const = default;

  // The record: the eight counters as 32-bit ints in RenderCounters order, start
  // and end as 32-bit seconds, the output path as an archive string. A count
  // beyond 32 bits is stored as 0xFFFFFFFF; counters and times are read back
  // as unsigned, so the times hold until 2106.
  void Serialize(CArchive& ar);
};

// RENSTAT.DAT in the folder that holds OBJSTORE.
std::string StatisticsFilePath();

// Reads the record at path. A missing, truncated or otherwise damaged file
// gives empty statistics (zero counters, empty path).
RenderStatistics LoadStatistics(const std::string& path = StatisticsFilePath());

// Writes the record to path through a temporary and a rename. Skipped, and
// false, when no render was recorded; true when written. Throws
// CFileException when the file cannot be written.
bool SaveStatistics(const RenderStatistics& statistics, const std::string& path = StatisticsFilePath());

// The lines of the "Rendering Statistics" dialog, each a label, a tab and
// the value: output path, start time, rendering time, then the counters.
// Times are local "%H:%M:%S"; the rendering time counts whole hours past 24.
std::vector<std::string> StatisticsLines(const RenderStatistics& statistics);

}  // namespace brevoxa
