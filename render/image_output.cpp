// Reduction of supersampled renders and the picture file writers.
#include "render/image_output.h"

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "persist/exceptions.h"
#include "persist/object_store.h"
#include "persist/safe_file.h"
#include "render/sample_file.h"

namespace brevoxa {

std::string RenderedImagePath(const std::string& label) {
  return (std::filesystem::path(ObjectStoreDir()) / "RENDERED" / (label + ".JPG")).string();
}

// --- Reduction ---

namespace {

// Per-axis weights; the kernel is their outer product, and its sum (the
// divisor) the square of theirs: 4, 16 and 81.
struct Kernel {
  int taps[5];
  int divisor;
};

Kernel KernelFor(int factor) {
  switch (factor) {
    case 2: return {{1, 1}, 4};
    case 3: return {{1, 2, 1}, 16};
    default: return {{1, 2, 3, 2, 1}, 81};
  }
}

// The accumulators are 16-bit, as the largest sum allows.
static_assert(255 * 81 <= UINT16_MAX);

}  // namespace

void ReduceSupersampled(const std::string& rawPath, const std::string& reducedPath) {
  {
    SampleFileReader reader(rawPath);
    const SampleHeader raw = reader.Header();
    if (raw.factor == 1) {
      reader.Close();
      // rename replaces a file of the reduced name in one step; deleting it
      // first would free the name for another render's temporary file.
      if (std::rename(rawPath.c_str(), reducedPath.c_str()) != 0) {
        int err = errno;
        throw CFileException(CFileException::CauseFromErrno(err), reducedPath, std::strerror(err));
      }
      return;
    }

    const int f = raw.factor;
    const Kernel kernel = KernelFor(f);
    const SampleHeader out{raw.width / f, raw.height / f, 1};
    const auto w = static_cast<size_t>(out.width);
    SampleFileWriter writer(reducedPath, out);
    std::vector<uint8_t> samples(raw.RowBytes());
    std::vector<uint16_t> red(w), green(w), blue(w);
    std::vector<uint8_t> pixels(out.RowBytes());
    for (int32_t y = 0; y < out.height; ++y) {
      std::fill(red.begin(), red.end(), 0);
      std::fill(green.begin(), green.end(), 0);
      std::fill(blue.begin(), blue.end(), 0);
      for (int j = 0; j < f; ++j) {
        reader.ReadRow(samples.data());
        const uint8_t* s = samples.data();
        for (size_t x = 0; x < w; ++x) {
          for (int i = 0; i < f; ++i, s += 3) {
            const int weight = kernel.taps[i] * kernel.taps[j];
            red[x] = static_cast<uint16_t>(red[x] + s[0] * weight);
            green[x] = static_cast<uint16_t>(green[x] + s[1] * weight);
            blue[x] = static_cast<uint16_t>(blue[x] + s[2] * weight);
          }
        }
      }
      for (size_t x = 0; x < w; ++x) {
        pixels[3 * x] = static_cast<uint8_t>(red[x] / kernel.divisor);
        pixels[3 * x + 1] = static_cast<uint8_t>(green[x] / kernel.divisor);
        pixels[3 * x + 2] = static_cast<uint8_t>(blue[x] / kernel.divisor);
      }
      writer.WriteRow(pixels.data());
    }
    writer.Close();
    reader.Close();
  }
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

namespace {

// libjpeg's own handler ends the process on an error; this one jumps back to
// the compressor's caller, which destroys the compression object and reports.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char text[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->text);
  std::longjmp(errors->jump, 1);
}

// Warnings (a corrupt-data note, say) are of no use on the compression side.
void JpegSilence(j_common_ptr) {}

constexpr size_t kJpegBufferBytes = 4096;

// Compressed bytes go into the output file. A failure of the file is kept
// as text and turned into a libjpeg error, so that no C++ exception passes
// through libjpeg's C frames.
struct JpegDestination {
  jpeg_destination_mgr manager;
  CFile* file;
  JOCTET buffer[kJpegBufferBytes];
  char failure[JMSG_LENGTH_MAX];
};

bool FlushJpegBytes(j_compress_ptr cinfo, size_t n) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  try {
    dest->file->Write(dest->buffer, n);
    return true;
  } catch (const std::exception& e) {
    std::snprintf(dest->failure, sizeof dest->failure, "%s", e.what());
  }
  return false;
}

void JpegInitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  dest->manager.next_output_byte = dest->buffer;
  dest->manager.free_in_buffer = kJpegBufferBytes;
}

boolean JpegEmptyBuffer(j_compress_ptr cinfo) {
  if (!FlushJpegBytes(cinfo, kJpegBufferBytes)) ERREXIT(cinfo, JERR_FILE_WRITE);
  JpegInitDestination(cinfo);
  return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  if (!FlushJpegBytes(cinfo, kJpegBufferBytes - dest->manager.free_in_buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Reads one row without letting an exception out; the text is kept.
bool ReadRowQuietly(SampleFileReader& reader, uint8_t* row, char* failure, size_t failureBytes) {
  try {
    reader.ReadRow(row);
    return true;
  } catch (const std::exception& e) {
    std::snprintf(failure, failureBytes, "%s", e.what());
  }
  return false;
}

// Compresses every row. No object with a destructor lives in this frame, as
// the jump back from the error handler requires.
bool Compress(jpeg_compress_struct* cinfo, JpegErrors* errors, JpegDestination* dest, SampleFileReader* reader,
              JSAMPLE* row, int quality) {
  if (setjmp(errors->jump)) {
    jpeg_destroy_compress(cinfo);
    return false;
  }
  jpeg_create_compress(cinfo);
  cinfo->dest = &dest->manager;
  cinfo->image_width = static_cast<JDIMENSION>(reader->Header().width);
  cinfo->image_height = static_cast<JDIMENSION>(reader->Header().height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, FALSE);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    if (!ReadRowQuietly(*reader, row, errors->text, sizeof errors->text)) {
      jpeg_destroy_compress(cinfo);
      return false;
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(cinfo, rows, 1);
  }
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return true;
}

}  // namespace

bool WriteJpegFile(const std::string& outputPath, int quality, const std::string& reducedPath, IUserInterface& ui) {
  OpenedFiles files;
  if (!OpenFiles(outputPath, reducedPath, ui, files)) return false;
  if (files.reduced->Header().factor > 1) ui.Message(kSupersampledText);

  auto cinfo = std::make_unique<jpeg_compress_struct>();
  auto errors = std::make_unique<JpegErrors>();
  auto dest = std::make_unique<JpegDestination>();
  std::vector<JSAMPLE> row(files.reduced->Header().RowBytes());
  cinfo->err = jpeg_std_error(&errors->manager);
  errors->manager.error_exit = JpegErrorExit;
  errors->manager.output_message = JpegSilence;
  errors->text[0] = '\0';
  dest->manager.init_destination = JpegInitDestination;
  dest->manager.empty_output_buffer = JpegEmptyBuffer;
  dest->manager.term_destination = JpegTermDestination;
  dest->file = files.output.get();
  dest->failure[0] = '\0';

  if (!Compress(cinfo.get(), errors.get(), dest.get(), files.reduced.get(), row.data(), quality)) {
    files.output.reset();
    // A failed write of the file says more than libjpeg's "Output file write error".
    ui.Message(WriteFailedText(outputPath, dest->failure[0] != '\0' ? dest->failure : errors->text));
    return false;
  }
  try {
    files.reduced->Close();
    files.output->Commit();
  } catch (const std::exception& e) {
    files.output.reset();
    ui.Message(WriteFailedText(outputPath, e.what()));
    return false;
  }
  return true;
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
