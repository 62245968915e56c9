// The OBJSTORE folder and stored-name resolution.
#include "persist/object_store.h"


#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>

namespace brevoxa {

namespace {

std::mutex& StoreMutex() {
  static std::mutex mutex;
  return mutex;
}

std::optional<std::string>& ExplicitStore() {
  static std::optional<std::string> dir;
  return dir;
}

std::string ProgramDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return exe.parent_path().string();
}

}  // namespace

std::string ObjectStoreDir() {
  std::lock_guard lock(StoreMutex());
  if (ExplicitStore()) return *ExplicitStore();
  if (const char* env = std::getenv("BREVOXA_STORE"); env != nullptr && *env != '\0') return env;
  return (std::filesystem::path(ProgramDir()) / "OBJSTORE").string();
}

void SetObjectStoreDir(const std::string& dir) {
  std::lock_guard lock(StoreMutex());
  ExplicitStore() = dir;
}

std::string StoredNamePath(const std::string& name) {
  if (name.empty()) return {};
  if (name[0] == '/' || (name.size() >= 2 && name[1] == ':')) return name;
  std::string relative = name;
  for (char& c : relative)
    if (c == '\\') c = '/';
  std::string dir = ObjectStoreDir();
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir + relative;
}

ScopedObjectStore::ScopedObjectStore(const std::string& dir) {
  std::lock_guard lock(StoreMutex());
  hadPrevious_ = ExplicitStore().has_value();
  if (hadPrevious_) previous_ = *ExplicitStore();
  ExplicitStore() = dir;
}

ScopedObjectStore::~ScopedObjectStore() {
  std::lock_guard lock(StoreMutex());
  if (hadPrevious_) ExplicitStore() = previous_;
  else ExplicitStore().reset();
}

}  // namespace brevoxa
