// OBJSTORE name resolution, saving through a temporary, links falling back
// to defaults, and the user's message for every kind of failure when
// opening or saving.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/failure_message.h"
#include "persist/link.h"
#include "persist/object_store.h"
#include "persist/safe_file.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "support/test_classes.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(ObjectStore, ResolvesStoredNames) {
  ScopedObjectStore store("/data/store");
  EXPECT_EQ(StoredNamePath(""), "");
  EXPECT_EQ(StoredNamePath("FORM.FRM"), "/data/store/FORM.FRM");
  EXPECT_EQ(StoredNamePath("RENDERED\\DEMO.JPG"), "/data/store/RENDERED/DEMO.JPG");
  EXPECT_EQ(StoredNamePath("D:\\MODELS\\CUBE.FRM"), "D:\\MODELS\\CUBE.FRM");
  EXPECT_EQ(StoredNamePath("/abs/cube.frm"), "/abs/cube.frm");
  EXPECT_EQ(CFileName("Cube.Frm").GetFullPath(), "/data/store/Cube.Frm");
  {
    ScopedObjectStore inner("/other/");
    EXPECT_EQ(StoredNamePath("A"), "/other/A");
  }
  EXPECT_EQ(ObjectStoreDir(), "/data/store");
}

TEST(ObjectStore, DefaultsToTheEnvironmentThenBesideTheProgram) {
  const char* old = std::getenv("BREVOXA_STORE");
  std::string saved = old ? old : "";
  setenv("BREVOXA_STORE", "/env/store", 1);
  EXPECT_EQ(ObjectStoreDir(), "/env/store");
  unsetenv("BREVOXA_STORE");
  auto beside = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "OBJSTORE";
  EXPECT_EQ(ObjectStoreDir(), beside.string());
  if (old) setenv("BREVOXA_STORE", saved.c_str(), 1);
}

TEST(SafeFile, ReplacesTheTargetOnlyOnCommit) {
  testing::TempDir dir;
  std::string path = dir.File("FORM.FRM");
  WriteText(path, "old contents");
  {
    CSafeFile file(path);
    file.Write("new", 3);
    // Abandoned without Commit: a failed save.
  }
  EXPECT_EQ(Contents(path), "old contents");
  {
    CSafeFile file(path);
    file.Write("new", 3);
    file.Commit();
  }
  EXPECT_EQ(Contents(path), "new");
  // No temporaries are left behind either way.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SafeFile, RefusesWhatADirectWriteWouldRefuse) {
  testing::TempDir dir;
  try {
    CSafeFile file(dir.File("missing/FORM.FRM"));
    FAIL();
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), CFileException::fileNotFound);
    EXPECT_EQ(e.fileName(), dir.File("missing/FORM.FRM"));
  }
  if (geteuid() != 0) {  // root may write anything
    std::string path = dir.File("LOCKED.FRM");
    WriteText(path, "keep");
    chmod(path.c_str(), 0444);
    EXPECT_THROW(CSafeFile file(path), CFileException);
    EXPECT_EQ(Contents(path), "keep");
  }
}

TEST(SafeFile, KeepsThePermissionsOfTheFileItReplaces) {
  testing::TempDir dir;
  std::string path = dir.File("A.WSP");
  WriteText(path, "x");
  chmod(path.c_str(), 0640);
  CSafeFile file(path);
  file.Write("y", 1);
  file.Commit();
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(DiskFile, ReadsOnlyRegularFiles) {
  testing::TempDir dir;
  std::string fifo = dir.File("PIPE.FRM");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Opening a pipe for reading would wait for a writer for ever.
  for (const std::string& path : {fifo, dir.path().string()}) {
    try {
      CDiskFile file(path, CDiskFile::modeRead);
      FAIL() << path;
    } catch (const CFileException& e) {
      EXPECT_EQ(e.cause(), CFileException::invalidFile) << path;
    }
  }
}

// A settings document for the links: one number, 7 by default.
class TestSettings : public CObject {
 public:
  int32_t value = 7;
  void Serialize(CArchive& ar) override { ar.Transfer("value", value); }
  static std::unique_ptr<CObject> Make() { return std::make_unique<TestSettings>(); }
};

// Each settings document's link is run on real files by the settings
// document suite; here the path, and the fallback without any file name.
TEST(Links, WithoutAFileNameFallBackToDefaults) {
  testing::TempDir dir;
  ScopedObjectStore store(dir.path().string());
  IRenderLink::SetDocumentFactory(&TestSettings::Make);
  RecordingUi ui;
  ScopedUserInterface scoped(ui);
  IRenderLink link;
  EXPECT_EQ(link.GetFullPath(), dir.File("RENDER.RDR"));
  link.SetFileName("");
  link.Open();
  EXPECT_EQ(static_cast<TestSettings*>(link.GetLinkedDocument())->value, 7);
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Unable to load.  Using defaults."});
  IRenderLink::SetDocumentFactory(nullptr);
}

// --- Failure messages ---

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

std::exception_ptr Archive(CArchiveException::Cause cause) {
  return std::make_exception_ptr(CArchiveException(cause));
}
std::exception_ptr File(CFileException::Cause cause) { return std::make_exception_ptr(CFileException(cause, kPath)); }

TEST(FailureMessage, CausesByOperation) {
  using A = CArchiveException;
  using F = CFileException;
  const struct {
    std::vector<std::exception_ptr> failures;
    std::string opening, saving;
  } rows[] = {
      {{Archive(A::endOfFile), Archive(A::badIndex), Archive(A::badClass), Archive(A::badSchema)},
       kUnexpected, kUnexpected},
      {{File(F::fileNotFound), File(F::badPath)}, kNotFound, "Invalid filename."},
      {{File(F::accessDenied), File(F::sharingViolation), File(F::lockViolation)}, kReadDenied, kWriteDenied},
      {{File(F::diskFull)}, kDiskFull, kDiskFull},
      {{File(F::generic), File(F::tooManyOpenFiles), File(F::invalidFile), File(F::directoryFull), File(F::badSeek),
        File(F::hardIO), File(F::endOfFile)},
       kReading, kWriting},
      {{Archive(A::generic), Archive(A::readOnly), Archive(A::writeOnly), File(F::removeCurrentDir),
        std::make_exception_ptr(CNotSupportedException("x")), std::make_exception_ptr(std::bad_alloc()),
        std::make_exception_ptr(std::runtime_error("x")), std::make_exception_ptr(42)},
       kOpenFailed, kSaveFailed},
  };
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.failures.size(); ++i) {
      SCOPED_TRACE(row.opening + " #" + std::to_string(i));
      EXPECT_EQ(FailureMessage(row.failures[i], DocumentOperation::open, kPath), row.opening);
      EXPECT_EQ(FailureMessage(row.failures[i], DocumentOperation::save, kPath), row.saving);
    }
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
