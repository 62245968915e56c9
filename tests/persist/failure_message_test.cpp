// The user's message for every kind of failure when opening or saving.
#include "persist/failure_message.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "persist/exceptions.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

const std::string kPath = "/home/a/OBJSTORE/ROOM.WSP";
const std::string kUnexpected = "Unexpected file format.";
const std::string kNotFound =
    kPath + "\nCannot find this file.\nPlease verify that the correct path and file name are given.";
const std::string kReadDenied = "Unable to read from " + kPath + ", it is opened by someone else.";
const std::string kWriteDenied = "Unable to write to " + kPath + ", it is read-only or opened by someone else.";
const std::string kDiskFull = "Destination disk drive is full.";
const std::string kReading = "An unexpected error occurred while reading " + kPath + ".";
const std::string kWriting = "An unexpected error occurred while writing " + kPath + ".";
const std::string kOpenFailed = "Failed to open document.";
const std::string kSaveFailed = "Failed to save document.";

struct Case {
  const char* name;
  std::exception_ptr failure;
  std::string opening;
  std::string saving;
};

std::exception_ptr Archive(CArchiveException::Cause cause) {
  return std::make_exception_ptr(CArchiveException(cause));
}
std::exception_ptr File(CFileException::Cause cause) {
  return std::make_exception_ptr(CFileException(cause, kPath));
}

TEST(FailureMessage, CausesByOperation) {
  const Case cases[] = {
      {"archive endOfFile", Archive(CArchiveException::endOfFile), kUnexpected, kUnexpected},
      {"archive badIndex", Archive(CArchiveException::badIndex), kUnexpected, kUnexpected},
      {"archive badClass", Archive(CArchiveException::badClass), kUnexpected, kUnexpected},
      {"archive badSchema", Archive(CArchiveException::badSchema), kUnexpected, kUnexpected},
      {"archive generic", Archive(CArchiveException::generic), kOpenFailed, kSaveFailed},
      {"archive readOnly", Archive(CArchiveException::readOnly), kOpenFailed, kSaveFailed},
      {"archive writeOnly", Archive(CArchiveException::writeOnly), kOpenFailed, kSaveFailed},
      {"file fileNotFound", File(CFileException::fileNotFound), kNotFound, "Invalid filename."},
      {"file badPath", File(CFileException::badPath), kNotFound, "Invalid filename."},
      {"file accessDenied", File(CFileException::accessDenied), kReadDenied, kWriteDenied},
      {"file sharingViolation", File(CFileException::sharingViolation), kReadDenied, kWriteDenied},
      {"file lockViolation", File(CFileException::lockViolation), kReadDenied, kWriteDenied},
      {"file diskFull", File(CFileException::diskFull), kDiskFull, kDiskFull},
      {"file generic", File(CFileException::generic), kReading, kWriting},
      {"file tooManyOpenFiles", File(CFileException::tooManyOpenFiles), kReading, kWriting},
      {"file invalidFile", File(CFileException::invalidFile), kReading, kWriting},
      {"file directoryFull", File(CFileException::directoryFull), kReading, kWriting},
      {"file badSeek", File(CFileException::badSeek), kReading, kWriting},
      {"file hardIO", File(CFileException::hardIO), kReading, kWriting},
      {"file endOfFile", File(CFileException::endOfFile), kReading, kWriting},
      {"file removeCurrentDir", File(CFileException::removeCurrentDir), kOpenFailed, kSaveFailed},
      {"not supported", std::make_exception_ptr(CNotSupportedException("x")), kOpenFailed, kSaveFailed},
      {"bad_alloc", std::make_exception_ptr(std::bad_alloc()), kOpenFailed, kSaveFailed},
      {"runtime_error", std::make_exception_ptr(std::runtime_error("x")), kOpenFailed, kSaveFailed},
      {"not an exception", std::make_exception_ptr(42), kOpenFailed, kSaveFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FailureMessage(c.failure, DocumentOperation::open, kPath), c.opening);
    EXPECT_EQ(FailureMessage(c.failure, DocumentOperation::save, kPath), c.saving);
  }
}

TEST(FailureMessage, NamesTheFileThatFailed) {
  // Saving a workspace also writes its form files: a form file that cannot
  // be written is the one to name.
  auto formFailure = std::make_exception_ptr(CFileException(CFileException::accessDenied, "/s/CUBE.FRM"));
  EXPECT_EQ(FailureMessage(formFailure, DocumentOperation::save, kPath),
            "Unable to write to /s/CUBE.FRM, it is read-only or opened by someone else.");
  auto unnamed = std::make_exception_ptr(CFileException(CFileException::diskFull, ""));
  EXPECT_EQ(FailureMessage(unnamed, DocumentOperation::save, kPath), kDiskFull);
  auto unnamedRead = std::make_exception_ptr(CFileException(CFileException::hardIO, ""));
  EXPECT_EQ(FailureMessage(unnamedRead, DocumentOperation::open, kPath), kReading);
}

TEST(FailureMessage, NothingToShow) {
  const auto reported = std::make_exception_ptr(CUserException());
  EXPECT_EQ(FailureMessage(reported, DocumentOperation::open, kPath), std::nullopt);
  EXPECT_EQ(FailureMessage(reported, DocumentOperation::save, kPath), std::nullopt);
  EXPECT_EQ(FailureMessage(nullptr, DocumentOperation::open, kPath), std::nullopt);
}

TEST(FailureMessage, PathIsInsertedVerbatim) {
  // A path that itself holds "%1" is not substituted again.
  const auto failure = std::make_exception_ptr(CFileException(CFileException::hardIO, ""));
  EXPECT_EQ(FailureMessage(failure, DocumentOperation::open, "a%1b"),
            "An unexpected error occurred while reading a%1b.");
  EXPECT_EQ(FailureMessage(failure, DocumentOperation::save, ""), "An unexpected error occurred while writing .");
}

TEST(FailureMessage, ReportShowsOneMessageOrNone) {
  RecordingUi ui;
  ReportFailure(ui, Archive(CArchiveException::badClass), DocumentOperation::open, kPath);
  ReportFailure(ui, std::make_exception_ptr(CUserException()), DocumentOperation::save, kPath);
  ReportFailure(ui, File(CFileException::diskFull), DocumentOperation::save, kPath);
  EXPECT_EQ(ui.Messages(), (std::vector<std::string>{kUnexpected, kDiskFull}));
  EXPECT_TRUE(ui.Questions().empty());
}

}  // namespace
}  // namespace brevoxa
