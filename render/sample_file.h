// The intermediate picture of a render: a header of three little-endian
// 32-bit ints (width, height, supersampling factor) followed by the rows
// from the top down, each pixel three bytes red, green, blue. The tracer
// writes one with the raw samples; the reduction writes one of factor 1.
// Both directions stream row by row, so memory never grows with the picture.
// Also the temporary files that hold them while a render runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "persist/archive.h"
#include "persist/file.h"

namespace brevoxa {

inline constexpr size_t kSampleHeaderBytes = 12;
// The tracer hands samples over through a buffer of this size; the other
// intermediate files use the archive's usual 4,096 bytes.
inline constexpr size_t kSampleStreamBuffer = 5120;
inline constexpr size_t kSampleFileBuffer = 4096;

struct SampleHeader {
  int32_t width = 0;
  int32_t height = 0;
  int32_t factor = 1;

  size_t RowBytes() const { return static_cast<size_t>(width) * 3; }
};

// Whether f is a supersampling factor a sample file may carry: 1, 2, 3 or 5.
bool IsSampleFactor(int32_t f);

// The folder that holds OBJSTORE: the program's own folder, where the
// temporary files of a render and RENSTAT.DAT live.
std::string ProgramFolder();

// A new, empty file with a unique name made from the prefix in the folder,
// created exclusively so that two renders never share one. Removed when the
// holder goes, whether the render succeeded or failed; a file that was
// renamed away or removed already is simply not there to remove.
class TemporaryFile {
 public:
  // Throws CFileException when the folder cannot take a new file.
  TemporaryFile(const std::string& folder, const std::string& prefix);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& Path() const { return path_; }
  // Removes the file now (if it is there).
  void Remove();

 private:
  std::string path_;
};

// Writes a sample file from the top row down, pixel by pixel or row by row.
class SampleFileWriter {
 public:
  // Creates (or truncates) the file and writes the header. Throws
  // CFileException when it cannot be created, std::invalid_argument for a
  // size below 1 or a factor that is not a supersampling factor.
  SampleFileWriter(const std::string& path, const SampleHeader& header,
                   size_t bufferBytes = kSampleFileBuffer);
  // Without Close the file is flushed silently and may be incomplete.
  ~SampleFileWriter();
  SampleFileWriter(const SampleFileWriter&) = delete;
  SampleFileWriter& operator=(const SampleFileWriter&) = delete;

  // Throw std::out_of_range past the last row.
  void WriteSample(uint8_t red, uint8_t green, uint8_t blue);
  // One whole row of width x 3 bytes; only at the start of a row.
  void WriteRow(const uint8_t* rgb);

  const SampleHeader& Header() const { return header_; }
  // Whole rows written so far.
  int32_t RowsWritten() const;

  // Completes every sample not written yet with white, so that a render
  // stopped early still leaves a file of height full rows, then flushes and
  // closes. Throws CFileException when the data could not be written.
  void Close();

 private:
  void PadWithWhite();

  SampleHeader header_;
  CDiskFile file_;
  std::unique_ptr<CArchive> archive_;
  uint64_t samplesWritten_ = 0;
  uint64_t samplesTotal_ = 0;
};

// Reads a sample file row by row. The header is checked against the file's
// length before anything is sized from it.
class SampleFileReader {
 public:
  // Throws CFileException: the cause of a failed open; invalidFile for a
  // header that is not a sample file's (sizes below 1, an unknown factor,
  // sizes that are not multiples of the factor, bytes after the last row);
  // endOfFile when the file holds fewer rows than its header says.
  explicit SampleFileReader(const std::string& path, size_t bufferBytes = kSampleFileBuffer);
  SampleFileReader(const SampleFileReader&) = delete;
  SampleFileReader& operator=(const SampleFileReader&) = delete;

  const SampleHeader& Header() const { return header_; }
  // Reads the next row (width x 3 bytes) into rgb; throws CArchiveException
  // endOfFile past the last row.
  void ReadRow(uint8_t* rgb);
  void Close();

 private:
  SampleHeader header_;
  CDiskFile file_;
  std::unique_ptr<CArchive> archive_;
};

// A whole sample file in memory, for small pictures (tests, comparisons).
struct SampleImage {
  SampleHeader header;
  std::vector<uint8_t> rgb;  // height rows of width x 3 bytes

  const uint8_t* Pixel(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * header.width + x) * 3; }
};

// Throws as SampleFileReader does.
SampleImage ReadSampleImage(const std::string& path);
// Throws as SampleFileWriter does; rgb must hold height rows.
void WriteSampleImage(const std::string& path, const SampleImage& image);

}  // namespace brevoxa
