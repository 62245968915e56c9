// File and archive failures.
#include "persist/exceptions.h"

#include <cerrno>

namespace brevoxa {

namespace {
const char* ArchiveCauseName(CArchiveException::Cause cause) {
  switch (cause) {
    case CArchiveException::none: return "no failure";
    case CArchiveException::generic: return "archive failure";
    case CArchiveException::readOnly: return "archive is read-only";
    case CArchiveException::endOfFile: return "unexpected end of data";
    case CArchiveException::writeOnly: return "archive is write-only";
    case CArchiveException::badIndex: return "bad object index";
    case CArchiveException::badClass: return "bad class";
    case CArchiveException::badSchema: return "bad schema";
  }
  return "archive failure";
}

std::string WithDetail(const char* what, const std::string& detail) {
  return detail.empty() ? std::string(what) : std::string(what) + ": " + detail;
}
}  // namespace

CArchiveException::CArchiveException(Cause cause, const std::string& detail)
    : std::runtime_error(WithDetail(ArchiveCauseName(cause), detail)), cause_(cause) {}

CFileException::CFileException(Cause cause, std::string fileName, const std::string& detail)
    : std::runtime_error(WithDetail("file failure", detail.empty() ? fileName : fileName + ": " + detail)),
      cause_(cause),
      fileName_(std::move(fileName)) {}

CFileException::Cause CFileException::CauseFromErrno(int err) {
  switch (err) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return accessDenied;
    case EISDIR:
    case EINVAL: return invalidFile;
    case ESPIPE: return badSeek;
    case EIO: return hardIO;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return diskFull;
    default: return generic;
  }
}

}  // namespace brevoxa
