// Reduction of supersampled renders and the picture file writers.
#include "render/image_output.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "persist/safe_file.h"
#include "render/jpeg_rows.h"
#include "render/row_reducer.h"
#include "render/sample_file.h"

namespace brevoxa {

std::string RenderedImagePath(const std::string& label) {
  return (std::filesystem::path(ObjectStoreDir()) / "RENDERED" / (label + ".JPG")).string();
}

// --- Reduction ---

void ReduceSupersampled(const std::string& rawPath, const std::string& reducedPath) {
  {
    SampleFileReader reader(rawPath);
    const SampleHeader raw = reader.Header();
    if (raw.factor == 1) {
      reader.Close();
      // The samples take the reduced name in one step; deleting the file of
      // that name first would free the name for another render's temporary
      // file.
      if (const int err = TakeName(rawPath, reducedPath); err != 0) {
        throw CFileException(CFileException::CauseFromErrno(err), reducedPath, std::strerror(err));
      }
    } else {
      const int f = raw.factor;
      SampleFileWriter writer(reducedPath, {raw.width / f, raw.height / f, 1});
      RowReducer reducer(raw.width, f);
      std::vector<uint8_t> samples(raw.RowBytes());
      for (int32_t y = 0; y < raw.height; ++y) {
        reader.ReadRow(samples.data());
        if (reducer.AddSampleRow(samples.data())) writer.WriteRow(reducer.Pixels());
      }
      writer.Close();
      reader.Close();
    }
  }
  // After a swap of names: the empty file that held the reduced name.
  std::remove(rawPath.c_str());
}

// --- Shared by the writers ---

namespace {

std::string CantWriteText(const std::string& path) { return "Can't open " + path + " to write image to."; }

std::string CantReadText(const std::string& path) {
  std::string text = "Can't open ";
  text += path;
  text += " to read from.  Internal error.";
  return text;
}

std::string WriteFailedText(const std::string& path, const std::string& cause) {
  std::string text = "Can't write image to ";
  text += path;
  text += ": ";
  text += cause;
  return text;
}

const char kSupersampledText[] = "Internal error: Supersampled image passed to jpeg converter";

// The output through a temporary beside it, and the reduced file open for
// reading; both report their own failures. False when either failed.
struct OpenedFiles {
  std::unique_ptr<CSafeFile> output;
  std::unique_ptr<SampleFileReader> reduced;
};

bool OpenFiles(const std::string& outputPath, const std::string& reducedPath, IUserInterface& ui,
               OpenedFiles& files) {
  try {
    // A picture can be rendered again: not worth waiting for the disk.
    files.output = std::make_unique<CSafeFile>(outputPath, CSafeFile::Durability::unsynced);
  } catch (const std::exception&) {
    ui.Message(CantWriteText(outputPath));
    return false;
  }
  try {
    files.reduced = std::make_unique<SampleFileReader>(reducedPath);
  } catch (const std::exception&) {
    files.output.reset();
    ui.Message(CantReadText(reducedPath));
    return false;
  }
  return true;
}

// Feeds every row of the reduced file to write(row); then commits the output.
// A failure of either file is shown as a write failure.
template <class WriteRow>
bool CopyRows(const std::string& outputPath, OpenedFiles& files, IUserInterface& ui, WriteRow write) {
  try {
    std::vector<uint8_t> row(files.reduced->Header().RowBytes());
    for (int32_t y = 0; y < files.reduced->Header().height; ++y) {
      files.reduced->ReadRow(row.data());
      write(row.data());
    }
    files.reduced->Close();
    files.output->Commit();
  } catch (const std::exception& e) {
    files.output.reset();
    ui.Message(WriteFailedText(outputPath, e.what()));
    return false;
  }
  return true;
}

void PutBigEndian32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace

// --- JPEG ---

bool WriteJpegFile(const std::string& outputPath, int quality, const std::string& reducedPath, IUserInterface& ui) {
  OpenedFiles files;
  if (!OpenFiles(outputPath, reducedPath, ui, files)) return false;
  const SampleHeader header = files.reduced->Header();
  if (header.factor > 1) ui.Message(kSupersampledText);
  JpegRowWriter jpeg(*files.output, header.width, header.height, quality);
  // The file's last blocks go out after the last row, before the commit.
  int32_t rows = 0;
  return CopyRows(outputPath, files, ui, [&](const uint8_t* row) {
    bool written = jpeg.WriteRow(row);
    if (written && ++rows == header.height) written = jpeg.Finish();
    if (!written) throw std::runtime_error(jpeg.Failure());
  });
}

// --- PPM ---

bool WritePpmFile(const std::string& outputPath, const std::string& reducedPath, IUserInterface& ui) {
  OpenedFiles files;
  if (!OpenFiles(outputPath, reducedPath, ui, files)) return false;
  const SampleHeader header = files.reduced->Header();
  std::string head = "P6\n";
  head += std::to_string(header.width);
  head += ' ';
  head += std::to_string(header.height);
  head += "\n255\n";
  CSafeFile& output = *files.output;
  try {
    output.Write(head.data(), head.size());
  } catch (const std::exception& e) {
    files.output.reset();
    ui.Message(WriteFailedText(outputPath, e.what()));
    return false;
  }
  return CopyRows(outputPath, files, ui, [&](const uint8_t* row) { output.Write(row, header.RowBytes()); });
}

// --- PNG ---

namespace {

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t n) {
  static const auto table = [] {
    std::vector<uint32_t> t(256);
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// The zlib stream of the filtered rows, cut into stored deflate blocks of
// at most 65,535 bytes, each block one IDAT chunk.
class PngWriter {
 public:
  PngWriter(CFile& file, const SampleHeader& header) : file_(file) {
    rowBytes_ = header.RowBytes() + 1;  // filter byte "none" before every row
    total_ = static_cast<uint64_t>(rowBytes_) * static_cast<uint64_t>(header.height);
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    file_.Write(kSignature, sizeof kSignature);
    uint8_t ihdr[13] = {};
    PutBigEndian32(ihdr, static_cast<uint32_t>(header.width));
    PutBigEndian32(ihdr + 4, static_cast<uint32_t>(header.height));
    ihdr[8] = 8;  // bits per sample
    ihdr[9] = 2;  // colour type RGB
    Chunk("IHDR", ihdr, sizeof ihdr);
    block_.reserve(kBlockBytes);
  }

  void Row(const uint8_t* rgb) {
    Put(0);
    for (size_t i = 0; i + 1 < rowBytes_; ++i) Put(rgb[i]);
  }

  void Finish() { Chunk("IEND", nullptr, 0); }

 private:
  static constexpr size_t kBlockBytes = 65535;

  void Put(uint8_t byte) {
    block_.push_back(byte);
    ++written_;
    if (block_.size() == kBlockBytes || written_ == total_) EmitBlock();
  }

  void EmitBlock() {
    chunk_.clear();
    if (first_) {
      chunk_.push_back(0x78);  // deflate, 32 KiB window
      chunk_.push_back(0x01);  // no dictionary, check bits
      first_ = false;
    }
    const bool last = written_ == total_;
    const auto n = static_cast<uint16_t>(block_.size());
    chunk_.push_back(last ? 1 : 0);  // stored block, final flag
    chunk_.push_back(static_cast<uint8_t>(n));
    chunk_.push_back(static_cast<uint8_t>(n >> 8));
    chunk_.push_back(static_cast<uint8_t>(~n));
    chunk_.push_back(static_cast<uint8_t>(~n >> 8));
    for (uint8_t b : block_) {
      adlerA_ = (adlerA_ + b) % 65521;
      adlerB_ = (adlerB_ + adlerA_) % 65521;
    }
    chunk_.insert(chunk_.end(), block_.begin(), block_.end());
    if (last) {
      uint8_t adler[4];
      PutBigEndian32(adler, (adlerB_ << 16) | adlerA_);
      chunk_.insert(chunk_.end(), adler, adler + 4);
    }
    Chunk("IDAT", chunk_.data(), chunk_.size());
    block_.clear();
  }

  void Chunk(const char* type, const uint8_t* data, size_t n) {
    uint8_t head[8];
    PutBigEndian32(head, static_cast<uint32_t>(n));
    std::memcpy(head + 4, type, 4);
    file_.Write(head, 8);
    if (n > 0) file_.Write(data, n);
    uint32_t crc = Crc32(0, head + 4, 4);
    if (n > 0) crc = Crc32(crc, data, n);
    uint8_t tail[4];
    PutBigEndian32(tail, crc);
    file_.Write(tail, 4);
  }

  CFile& file_;
  size_t rowBytes_ = 0;
  uint64_t total_ = 0;
  uint64_t written_ = 0;
  bool first_ = true;
  uint32_t adlerA_ = 1;
  uint32_t adlerB_ = 0;
  std::vector<uint8_t> block_;
  std::vector<uint8_t> chunk_;
};

}  // namespace

bool WritePngFile(const std::string& outputPath, const std::string& reducedPath, IUserInterface& ui) {
  OpenedFiles files;
  if (!OpenFiles(outputPath, reducedPath, ui, files)) return false;
  std::unique_ptr<PngWriter> png;
  try {
    png = std::make_unique<PngWriter>(*files.output, files.reduced->Header());
  } catch (const std::exception& e) {
    files.output.reset();
    ui.Message(WriteFailedText(outputPath, e.what()));
    return false;
  }
  // IEND goes out after the last row, before the commit.
  const int32_t height = files.reduced->Header().height;
  int32_t rows = 0;
  return CopyRows(outputPath, files, ui, [&](const uint8_t* row) {
    png->Row(row);
    if (++rows == height) png->Finish();
  });
}

}  // namespace brevoxa
