// The failures that files and archive streams raise. Causes carry explicit
// numbers: they are the ones the document boundary turns into messages.
#pragma once

#include <stdexcept>
#include <string>

namespace brevoxa {

class CArchiveException : public std::runtime_error {
 public:
  enum Cause {
    none = 0,
    generic = 1,
    readOnly = 2,
    endOfFile = 3,
    writeOnly = 4,
    badIndex = 5,
    badClass = 6,
    badSchema = 7,
  };
  explicit CArchiveException(Cause cause, const std::string& detail = {});
  Cause cause() const { return cause_; }

 private:
  Cause cause_;
};

class CFileException : public std::runtime_error {
 public:
  enum Cause {
    none = 0,
    generic = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };
  CFileException(Cause cause, std::string fileName, const std::string& detail = {});
  Cause cause() const { return cause_; }
  const std::string& fileName() const { return fileName_; }

  // The cause that matches a C library error number.
  static Cause CauseFromErrno(int err);

 private:
  Cause cause_;
  std::string fileName_;
};

// An operation the object or stream does not support (writing an object of a
// class that is not persistent, or expecting such a class on reading).
class CNotSupportedException : public std::runtime_error {
 public:
  explicit CNotSupportedException(const std::string& detail) : std::runtime_error(detail) {}
};

// A failure that has already been shown to the user; the document boundary
// adds no further message.
class CUserException : public std::runtime_error {
 public:
  CUserException() : std::runtime_error("failure already reported") {}
};

}  // namespace brevoxa
