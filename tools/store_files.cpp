// Settings documents and the plain image, written through safe files.
#include "tools/store_files.h"

#include <cstdint>
#include <exception>
#include <filesystem>

#include "persist/archive.h"
#include "persist/failure_message.h"
#include "persist/object.h"
#include "persist/safe_file.h"
#include "render/image_output.h"
#include "render/sample_file.h"
#include "ui/user_interface.h"

namespace brevoxa::store {

namespace {
// Document files have always been written through an archive of this size.
constexpr size_t kDocumentBufferSize = 4096;
// Plenty for a flat picture; the writer accepts 25 to 100.
constexpr int kPlainImageQuality = 90;
}  // namespace

bool WriteDocument(CObject& document, const std::string& path, IUserInterface& ui) {
  ScopedUserInterface scoped(ui);
  try {
    CSafeFile file(path);
    CArchive ar(&file, CArchive::store, kDocumentBufferSize);
    document.Serialize(ar);
    ar.Close();
    file.Commit();
    return true;
  } catch (...) {
    ReportFailure(ui, std::current_exception(), DocumentOperation::save, path);
    return false;
  }
}

bool WritePlainImage(const std::string& path, int size, int grey, IUserInterface& ui) {
  SampleImage image;
  image.header = {size, size, 1};
  image.rgb.assign(image.header.RowBytes() * static_cast<size_t>(size), static_cast<uint8_t>(grey));
  try {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    TemporaryFile reduced(folder.empty() ? std::string(".") : folder, "plain");
    WriteSampleImage(reduced.Path(), image);
    return WriteJpegFile(path, kPlainImageQuality, reduced.Path(), ui);
  } catch (...) {
    ReportFailure(ui, std::current_exception(), DocumentOperation::save, path);
    return false;
  }
}

}  // namespace brevoxa::store
