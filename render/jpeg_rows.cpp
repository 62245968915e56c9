#include "render/jpeg_rows.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>

#include <jpeglib.h>
#include <jerror.h>

namespace brevoxa {

namespace {

// libjpeg's own handler ends the process on an error; this one jumps back to
// the call into libjpeg, which destroys the compression object and fails.
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

}  // namespace

struct JpegRowWriter::State {
  jpeg_compress_struct cinfo;
  JpegErrors errors;
  JpegDestination dest;
  // libjpeg takes rows it may not write to as its own; each is copied here.
  std::vector<JSAMPLE> row;
  bool created = false;
  bool failed = false;
};

namespace {

// Each call into libjpeg below has a frame of its own to jump back to, in
// which no object with a destructor lives.

bool Fail(jpeg_compress_struct* cinfo, bool* created, bool* failed) {
  if (*created) jpeg_destroy_compress(cinfo);
  *created = false;
  *failed = true;
  return false;
}

bool StartCompression(jpeg_compress_struct* cinfo, JpegErrors* errors, bool* created, bool* failed,
                      JDIMENSION width, JDIMENSION height, int quality) {
  if (setjmp(errors->jump)) return Fail(cinfo, created, failed);
  jpeg_create_compress(cinfo);
  *created = true;
  cinfo->image_width = width;
  cinfo->image_height = height;
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, FALSE);
  return true;
}

bool StartWriting(jpeg_compress_struct* cinfo, JpegErrors* errors, bool* created, bool* failed) {
  if (setjmp(errors->jump)) return Fail(cinfo, created, failed);
  jpeg_start_compress(cinfo, TRUE);
  return true;
}

bool WriteScanline(jpeg_compress_struct* cinfo, JpegErrors* errors, bool* created, bool* failed, JSAMPLE* row) {
  if (setjmp(errors->jump)) return Fail(cinfo, created, failed);
  JSAMPROW rows[1] = {row};
  jpeg_write_scanlines(cinfo, rows, 1);
  return true;
}

bool FinishCompression(jpeg_compress_struct* cinfo, JpegErrors* errors, bool* created, bool* failed) {
  if (setjmp(errors->jump)) return Fail(cinfo, created, failed);
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  *created = false;
  return true;
}

}  // namespace

JpegRowWriter::JpegRowWriter(CFile& file, int32_t width, int32_t height, int quality)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.cinfo.err = jpeg_std_error(&s.errors.manager);
  s.errors.manager.error_exit = JpegErrorExit;
  s.errors.manager.output_message = JpegSilence;
  s.errors.text[0] = '\0';
  s.dest.manager.init_destination = JpegInitDestination;
  s.dest.manager.empty_output_buffer = JpegEmptyBuffer;
  s.dest.manager.term_destination = JpegTermDestination;
  s.dest.file = &file;
  s.dest.failure[0] = '\0';
  s.row.resize(static_cast<size_t>(width) * 3);
  if (!StartCompression(&s.cinfo, &s.errors, &s.created, &s.failed, static_cast<JDIMENSION>(width),
                        static_cast<JDIMENSION>(height), quality)) {
    return;
  }
  s.cinfo.dest = &s.dest.manager;
  StartWriting(&s.cinfo, &s.errors, &s.created, &s.failed);
}

JpegRowWriter::~JpegRowWriter() {
  if (state_->created) jpeg_destroy_compress(&state_->cinfo);
}

bool JpegRowWriter::WriteRow(const uint8_t* rgb) {
  State& s = *state_;
  if (s.failed) return false;
  std::memcpy(s.row.data(), rgb, s.row.size());
  return WriteScanline(&s.cinfo, &s.errors, &s.created, &s.failed, s.row.data());
}

bool JpegRowWriter::Finish() {
  State& s = *state_;
  if (s.failed) return false;
  return FinishCompression(&s.cinfo, &s.errors, &s.created, &s.failed);
}

std::string JpegRowWriter::Failure() const {
  const State& s = *state_;
  // A failed write of the file says more than libjpeg's "Output file write error".
  return s.dest.failure[0] != '\0' ? s.dest.failure : s.errors.text;
}

}  // namespace brevoxa
