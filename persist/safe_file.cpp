// Saving through a temporary file and a rename.
#include "persist/safe_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "persist/exceptions.h"
#include "persist/file.h"

namespace brevoxa {

void CSafeFile::Fail(int err) const { throw CFileException(CFileException::CauseFromErrno(err), path_, std::strerror(err)); }

CSafeFile::CSafeFile(const std::string& path, Durability durability) : path_(path), durability_(durability) {
  if (path.empty()) throw CFileException(CFileException::badPath, path, "empty file name");
  // Renaming would replace a read-only file that a direct write must not.
  struct stat existing {};
  bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) throw CFileException(CFileException::invalidFile, path, "is a folder");
  if (exists && ::access(path.c_str(), W_OK) != 0) Fail(errno);

  std::string pattern = path + ".tmp-XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) Fail(errno);
  tempPath_ = pattern;
  // A new file gets the usual permissions, a replaced one keeps its own.
  mode_t mode = 0666;
  if (exists) {
    mode = existing.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::fchmod(fd, mode);
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    int err = errno;
    ::close(fd);
    Discard();
    Fail(err);
  }
}

CSafeFile::~CSafeFile() { Discard(); }

void CSafeFile::Discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

size_t CSafeFile::Read(void*, size_t) { throw CFileException(CFileException::accessDenied, path_, "opened for writing"); }

void CSafeFile::Write(const void* buffer, size_t n) {
  if (!file_) throw CFileException(CFileException::generic, path_, "file is closed");
  if (std::fwrite(buffer, 1, n, file_) != n) Fail(errno);
  position_ += n;
}

void CSafeFile::Flush() {
  if (file_ && std::fflush(file_) != 0) Fail(errno);
}

void CSafeFile::Commit() {
  if (!file_) throw CFileException(CFileException::generic, path_, "file is closed");
  std::FILE* f = file_;
  file_ = nullptr;
  int err = 0;
  if (std::fflush(f) != 0 || (durability_ == Durability::synced && ::fsync(::fileno(f)) != 0)) err = errno;
  if (std::fclose(f) != 0 && err == 0) err = errno;
  if (err == 0) {
    if (durability_ == Durability::synced) {
      if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) err = errno;
    } else {
      // A file replaced by a rename would be written out to the disk at
      // once (see TakeName); the old picture is removed under the
      // temporary's name instead.
      err = TakeName(tempPath_, path_);
      if (err == 0) ::unlink(tempPath_.c_str());
    }
  }
  if (err != 0) {
    Discard();
    Fail(err);
  }
  tempPath_.clear();
}

}  // namespace brevoxa
