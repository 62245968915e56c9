// The messages for document failures, by exception type and cause.
#include "persist/failure_message.h"

#include "persist/exceptions.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

std::string WithPath(std::string text, const std::string& path) {
  for (auto at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + path.size())) {
    text.replace(at, 2, path);
  }
  return text;
}

std::string Fallback(DocumentOperation op) {
  return op == DocumentOperation::open ? "Failed to open document." : "Failed to save document.";
}

std::string ArchiveMessage(const CArchiveException& e, DocumentOperation op) {
  switch (e.cause()) {
    case CArchiveException::endOfFile:
    case CArchiveException::badIndex:
    case CArchiveException::badClass:
    case CArchiveException::badSchema:
      return "Unexpected file format.";
    default:
      return Fallback(op);
  }
}

std::string FileMessage(const CFileException& e, DocumentOperation op, const std::string& path) {
  const bool opening = op == DocumentOperation::open;
  switch (e.cause()) {
    case CFileException::fileNotFound:
    case CFileException::badPath:
      // When saving, the path names a file that could not be created.
      if (!opening) return "Invalid filename.";
      return WithPath("%1\nCannot find this file.\nPlease verify that the correct path and file name are given.",
                      path);
    case CFileException::accessDenied:
    case CFileException::sharingViolation:
    case CFileException::lockViolation:
      return WithPath(opening ? "Unable to read from %1, it is opened by someone else."
                              : "Unable to write to %1, it is read-only or opened by someone else.",
                      path);
    case CFileException::diskFull:
      return "Destination disk drive is full.";
    case CFileException::generic:
    case CFileException::tooManyOpenFiles:
    case CFileException::invalidFile:
    case CFileException::directoryFull:
    case CFileException::badSeek:
    case CFileException::hardIO:
    case CFileException::endOfFile:
      return WithPath(opening ? "An unexpected error occurred while reading %1."
                              : "An unexpected error occurred while writing %1.",
                      path);
    default:
      return Fallback(op);
  }
}

}  // namespace

std::optional<std::string> FailureMessage(std::exception_ptr failure, DocumentOperation op,
                                          const std::string& path) {
  if (!failure) return std::nullopt;
  try {
    std::rethrow_exception(failure);
  } catch (const CUserException&) {
    return std::nullopt;
  } catch (const CArchiveException& e) {
    return ArchiveMessage(e, op);
  } catch (const CFileException& e) {
    // A file met on the way (a form file while a workspace is saved) is the
    // one the user needs to hear about.
    return FileMessage(e, op, e.fileName().empty() ? path : e.fileName());
  } catch (...) {
    return Fallback(op);
  }
}

void ReportFailure(IUserInterface& ui, std::exception_ptr failure, DocumentOperation op,
                   const std::string& path) {
  if (auto message = FailureMessage(failure, op, path)) ui.Message(*message);
}

}  // namespace brevoxa
