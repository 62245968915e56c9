// The end of a render done while it traces. Each row of samples, as the
// tracer hands it over, goes through the reduction into the reduced file
// and the JPEG compressor, so that once the last row is traced only the
// files' last blocks remain to be written; on several threads the
// compression no longer waits for all of them. The result is the same, byte
// for byte, as reducing the sample file and writing the JPEG from the
// reduced one afterwards (ReduceSupersampled, WriteJpegFile).
//
// The stream never shows anything and never throws: whatever cannot be
// opened or written merely turns it (or its reduced file) off, and the
// render ends the usual way from the sample file, which reports whatever
// fails then.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "persist/safe_file.h"
#include "render/jpeg_rows.h"
#include "render/row_reducer.h"
#include "render/sample_file.h"

namespace brevoxa {

class PictureStream {
 public:
  // samples: the sample file's header. The picture goes through a
  // temporary beside outputPath, whose folder must exist; with a factor
  // above 1 the reduced file is written at reducedPath.
  PictureStream(const std::string& outputPath, int quality, const SampleHeader& samples,
                const std::string& reducedPath);
  PictureStream(const PictureStream&) = delete;
  PictureStream& operator=(const PictureStream&) = delete;

  // The next row of samples, width × 3 bytes.
  void AddSampleRow(const uint8_t* rgb);
  // After the last row handed over: completes the picture with white rows,
  // as the sample file is completed when a render stops early, and writes
  // the files' last blocks.
  void Finish();

  // Whether the reduced file was written whole (only ever with a factor
  // above 1).
  bool ReducedWritten() const { return reducedWritten_; }
  // Renames the picture over outputPath; false, with nothing changed, when
  // any step of it failed.
  bool Commit();

 private:
  void Add(const uint8_t* rgb);
  void TakePixels(const uint8_t* pixels);

  SampleHeader samples_;
  int32_t rowsAdded_ = 0;
  std::unique_ptr<RowReducer> reducer_;
  std::unique_ptr<SampleFileWriter> reduced_;
  bool reducedWritten_ = false;
  std::unique_ptr<CSafeFile> output_;
  // Writes into output_, so it is declared after it and goes first.
  std::unique_ptr<JpegRowWriter> jpeg_;
  bool finished_ = false;
};

}  // namespace brevoxa
