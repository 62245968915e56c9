// CSafeFile: a file written through a temporary in the same folder and
// renamed over the target only when every byte was written, so a failed
// save (disk full, a bad index, a crash) leaves the previous file as it was.
#pragma once

#include <cstdio>
#include <string>

#include "persist/file.h"

namespace brevoxa {

class CSafeFile : public CFile {
 public:
  // synced: Commit waits until the bytes are on the disk before the rename,
  // so that even a power cut leaves the old file or the whole new one.
  // unsynced: the new file takes the target's name at once; for files
  // that can be made again (a rendered image), where the wait, a
  // millisecond and at times many, is not worth it.
  enum class Durability { synced, unsynced };

  // Creates the temporary; throws CFileException naming the target path
  // when the folder is missing or the target is read-only.
  explicit CSafeFile(const std::string& path, Durability durability = Durability::synced);
  // Without Commit the temporary is removed and the target left alone.
  ~CSafeFile() override;
  CSafeFile(const CSafeFile&) = delete;
  CSafeFile& operator=(const CSafeFile&) = delete;

  // Flushes, closes and renames the temporary over the target.
  void Commit();

  size_t Read(void* buffer, size_t n) override;
  void Write(const void* buffer, size_t n) override;
  uint64_t GetLength() const override { return position_; }
  uint64_t GetPosition() const override { return position_; }
  void Flush() override;
  std::string GetFilePath() const override { return path_; }

 private:
  void Fail(int err) const;
  void Discard();

  std::string path_;
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  uint64_t position_ = 0;
  Durability durability_;
};

}  // namespace brevoxa
