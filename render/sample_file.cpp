// Sample files and the temporary files of a render.
#include "render/sample_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "persist/exceptions.h"
#include "persist/object_store.h"

namespace brevoxa {

namespace {

[[noreturn]] void Invalid(const std::string& path, const std::string& why) {
  throw CFileException(CFileException::invalidFile, path, why);
}

}  // namespace

bool IsSampleFactor(int32_t f) { return f == 1 || f == 2 || f == 3 || f == 5; }

std::string ProgramFolder() {
  std::filesystem::path store(ObjectStoreDir());
  // "/x/OBJSTORE/" names the same folder as "/x/OBJSTORE".
  if (!store.has_filename()) store = store.parent_path();
  std::filesystem::path folder = store.parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

// --- Temporary files ---

TemporaryFile::TemporaryFile(const std::string& folder, const std::string& prefix) {
  std::string pattern = (std::filesystem::path(folder) / (prefix + "XXXXXX")).string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    int err = errno;
    throw CFileException(CFileException::CauseFromErrno(err), pattern, std::strerror(err));
  }
  ::close(fd);
  path_ = pattern;
}

TemporaryFile::~TemporaryFile() { Remove(); }

void TemporaryFile::Remove() {
  // A name renamed away (the factor-1 reduction) could in principle be taken
  // again by another render's mkstemp before this runs; with six random
  // characters that chance is negligible, so the name is not re-checked.
  if (!path_.empty()) ::unlink(path_.c_str());
}

// --- Writing ---

SampleFileWriter::SampleFileWriter(const std::string& path, const SampleHeader& header, size_t bufferBytes)
    : header_(header) {
  if (header.width < 1 || header.height < 1) throw std::invalid_argument("sample file size below 1");
  if (!IsSampleFactor(header.factor)) throw std::invalid_argument("not a supersampling factor");
  samplesTotal_ = static_cast<uint64_t>(header.width) * static_cast<uint64_t>(header.height);
  file_.Open(path, CDiskFile::modeCreate);
  archive_ = std::make_unique<CArchive>(&file_, CArchive::store, bufferBytes);
  *archive_ << header.width << header.height << header.factor;
}

SampleFileWriter::~SampleFileWriter() = default;

void SampleFileWriter::WriteSample(uint8_t red, uint8_t green, uint8_t blue) {
  if (!archive_ || samplesWritten_ >= samplesTotal_) throw std::out_of_range("sample past the last row");
  const uint8_t rgb[3] = {red, green, blue};
  archive_->Write(rgb, 3);
  ++samplesWritten_;
}

void SampleFileWriter::WriteRow(const uint8_t* rgb) {
  const auto width = static_cast<uint64_t>(header_.width);
  if (!archive_ || samplesWritten_ % width != 0 || samplesWritten_ >= samplesTotal_) {
    throw std::out_of_range("row not at the start of a row, or past the last row");
  }
  archive_->Write(rgb, header_.RowBytes());
  samplesWritten_ += width;
}

int32_t SampleFileWriter::RowsWritten() const {
  return static_cast<int32_t>(samplesWritten_ / static_cast<uint64_t>(header_.width));
}

void SampleFileWriter::PadWithWhite() {
  uint8_t white[256 * 3];
  std::memset(white, 255, sizeof white);
  while (samplesWritten_ < samplesTotal_) {
    uint64_t n = std::min<uint64_t>(samplesTotal_ - samplesWritten_, sizeof white / 3);
    archive_->Write(white, static_cast<size_t>(n) * 3);
    samplesWritten_ += n;
  }
}

void SampleFileWriter::Close() {
  if (!archive_) return;
  PadWithWhite();
  archive_->Close();
  archive_.reset();
  file_.Close();
}

// --- Reading ---

SampleFileReader::SampleFileReader(const std::string& path, size_t bufferBytes) {
  file_.Open(path, CDiskFile::modeRead);
  if (file_.GetLength() < kSampleHeaderBytes) {
    throw CFileException(CFileException::endOfFile, path, "shorter than a sample file header");
  }
  archive_ = std::make_unique<CArchive>(&file_, CArchive::load, bufferBytes);
  *archive_ >> header_.width >> header_.height >> header_.factor;
  if (header_.width < 1 || header_.height < 1) Invalid(path, "sample file size below 1");
  if (!IsSampleFactor(header_.factor)) Invalid(path, "unknown supersampling factor");
  if (header_.width % header_.factor != 0 || header_.height % header_.factor != 0) {
    Invalid(path, "size not a multiple of the supersampling factor");
  }
  // Both sizes are below 2^31, so the product cannot overflow 64 bits.
  const uint64_t pixelBytes = static_cast<uint64_t>(header_.width) * static_cast<uint64_t>(header_.height) * 3;
  const uint64_t remaining = file_.GetLength() - kSampleHeaderBytes;
  if (remaining < pixelBytes) throw CFileException(CFileException::endOfFile, path, "fewer rows than the header says");
  if (remaining > pixelBytes) Invalid(path, "bytes after the last row");
}

void SampleFileReader::ReadRow(uint8_t* rgb) {
  if (!archive_) throw CArchiveException(CArchiveException::endOfFile, "sample file closed");
  archive_->Read(rgb, header_.RowBytes());
}

void SampleFileReader::Close() {
  if (archive_) archive_->Close();
  archive_.reset();
  file_.Close();
}

// --- Whole pictures ---

SampleImage ReadSampleImage(const std::string& path) {
  SampleFileReader reader(path);
  SampleImage image;
  image.header = reader.Header();
  const size_t rowBytes = image.header.RowBytes();
  image.rgb.resize(rowBytes * static_cast<size_t>(image.header.height));
  for (int32_t y = 0; y < image.header.height; ++y) reader.ReadRow(image.rgb.data() + rowBytes * y);
  return image;
}

void WriteSampleImage(const std::string& path, const SampleImage& image) {
  SampleFileWriter writer(path, image.header);
  const size_t rowBytes = image.header.RowBytes();
  if (image.rgb.size() < rowBytes * static_cast<size_t>(image.header.height)) {
    throw std::invalid_argument("sample image holds fewer rows than its header says");
  }
  for (int32_t y = 0; y < image.header.height; ++y) writer.WriteRow(image.rgb.data() + rowBytes * y);
  writer.Close();
}

}  // namespace brevoxa
