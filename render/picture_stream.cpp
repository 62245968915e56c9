#include "render/picture_stream.h"

#include <exception>
#include <vector>

namespace brevoxa {

PictureStream::PictureStream(const std::string& outputPath, int quality, const SampleHeader& samples,
                             const std::string& reducedPath)
    : samples_(samples) {
  const int f = samples.factor;
  const SampleHeader pixels{samples.width / f, samples.height / f, 1};
  try {
    // A picture can be rendered again: not worth waiting for the disk.
    output_ = std::make_unique<CSafeFile>(outputPath, CSafeFile::Durability::unsynced);
    jpeg_ = std::make_unique<JpegRowWriter>(*output_, pixels.width, pixels.height, quality);
  } catch (const std::exception&) {
    jpeg_.reset();
    output_.reset();
  }
  if (f > 1) {
    try {
      reducer_ = std::make_unique<RowReducer>(samples.width, f);
      reduced_ = std::make_unique<SampleFileWriter>(reducedPath, pixels);
    } catch (const std::exception&) {
      reduced_.reset();
    }
  }
}

void PictureStream::AddSampleRow(const uint8_t* rgb) {
  if (rowsAdded_ >= samples_.height) return;
  Add(rgb);
}

void PictureStream::Add(const uint8_t* rgb) {
  ++rowsAdded_;
  if (!reducer_) {
    TakePixels(rgb);
  } else if (reducer_->AddSampleRow(rgb)) {
    TakePixels(reducer_->Pixels());
  }
}

void PictureStream::TakePixels(const uint8_t* pixels) {
  if (jpeg_ && !jpeg_->WriteRow(pixels)) jpeg_.reset();
  if (reduced_) {
    try {
      reduced_->WriteRow(pixels);
    } catch (const std::exception&) {
      reduced_.reset();
    }
  }
}

void PictureStream::Finish() {
  if (finished_) return;
  finished_ = true;
  const std::vector<uint8_t> white(samples_.RowBytes(), 255);
  while (rowsAdded_ < samples_.height) Add(white.data());
  if (jpeg_ && !jpeg_->Finish()) jpeg_.reset();
  if (reduced_) {
    try {
      reduced_->Close();
      reducedWritten_ = true;
    } catch (const std::exception&) {
    }
    reduced_.reset();
  }
}

bool PictureStream::Commit() {
  if (!finished_ || !jpeg_ || !output_) return false;
  jpeg_.reset();
  try {
    output_->Commit();
  } catch (const std::exception&) {
    output_.reset();
    return false;
  }
  output_.reset();
  return true;
}

}  // namespace brevoxa
