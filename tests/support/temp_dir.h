// A fresh folder for a test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace brevoxa::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace brevoxa::testing
