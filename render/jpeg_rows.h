// A JFIF file compressed through libjpeg from rows of pixels handed in one
// at a time: the given quality (25 to 100), no forced baseline tables, the
// default YCbCr conversion and sampling. libjpeg keeps a band of rows for
// its sampling, never the picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "persist/file.h"

namespace brevoxa {

class JpegRowWriter {
 public:
  // Starts the compression into file, which must outlive the writer.
  JpegRowWriter(CFile& file, int32_t width, int32_t height, int quality);
  ~JpegRowWriter();
  JpegRowWriter(const JpegRowWriter&) = delete;
  JpegRowWriter& operator=(const JpegRowWriter&) = delete;

  // The next row, width × 3 bytes red, green, blue. False once anything
  // failed (then every later call does nothing and fails too).
  bool WriteRow(const uint8_t* rgb);
  // After the last row: writes the rest of the file.
  bool Finish();
  // Why it failed: the file's own error when writing failed, else
  // libjpeg's message.
  std::string Failure() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace brevoxa
