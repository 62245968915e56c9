// OBJSTORE names, saving through a temporary, and the message for every failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/failure_message.h"
#include "persist/file.h"
#include "persist/link.h"
#include "persist/object_store.h"
#include "persist/safe_file.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::Bytes;

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
  const std::string saved = old ? old : "";
  setenv("BREVOXA_STORE", "/env/store", 1);
  EXPECT_EQ(ObjectStoreDir(), "/env/store");
  unsetenv("BREVOXA_STORE");
  EXPECT_EQ(ObjectStoreDir(), (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "OBJSTORE").string());
  if (old) setenv("BREVOXA_STORE", saved.c_str(), 1);
}

// Unsynced, the new file swaps names with the old one, which then goes.
TEST(SafeFile, ReplacesTheTargetOnlyOnCommitKeepingItsPermissions) {
  for (CSafeFile::Durability durability : {CSafeFile::Durability::synced, CSafeFile::Durability::unsynced}) {
    testing::TempDir dir;
    const std::string path = dir.File("FORM.FRM");
    testing::WriteFile(path, {'o', 'l', 'd'});
    chmod(path.c_str(), 0640);
    for (bool commit : {false, true}) {
      CSafeFile file(path, durability);
      file.Write("new", 3);
      if (commit) file.Commit();
    }
    EXPECT_EQ(testing::ReadFile(path), (Bytes{'n', 'e', 'w'}));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no temporaries left
    // A new target: nothing to swap with.
    CSafeFile fresh(dir.File("NEW.FRM"), durability);
    fresh.Write("x", 1);
    fresh.Commit();
    EXPECT_EQ(testing::ReadFile(dir.File("NEW.FRM")), (Bytes{'x'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  }
}

// A file with something in it is emptied first; an empty one (a fresh
// temporary) is written as it is.
TEST(DiskFile, CreatingLeavesOnlyWhatIsWritten) {
  testing::TempDir dir;
  const std::string full = dir.File("FULL.DMS"), empty = dir.File("EMPTY.DMS"), fresh = dir.File("NEW.DMS");
  testing::WriteFile(full, {'l', 'o', 'n', 'g', 'e', 'r'});
  testing::WriteFile(empty, {});
  for (const std::string& path : {full, empty, fresh}) {
    CDiskFile file(path, CDiskFile::modeCreate);
    file.Write("abc", 3);
    file.Close();
    EXPECT_EQ(testing::ReadFile(path), (Bytes{'a', 'b', 'c'})) << path;
  }
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
    const std::string path = dir.File("LOCKED.FRM");
    testing::WriteFile(path, {'k'});
    chmod(path.c_str(), 0444);
    EXPECT_THROW(CSafeFile file(path), CFileException);
    EXPECT_EQ(testing::ReadFile(path), Bytes{'k'});
  }
  // Opening a pipe for reading would wait for a writer for ever.
  ASSERT_EQ(mkfifo(dir.File("PIPE.FRM").c_str(), 0600), 0);
  for (const std::string& path : {dir.File("PIPE.FRM"), dir.path().string()}) {
    try {
      CDiskFile file(path, CDiskFile::modeRead);
      ADD_FAILURE() << path;
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
};

// The settings document suite runs each real link on files; here the path,
// and the fallback without any file name.
TEST(Links, WithoutAFileNameFallBackToDefaults) {
  testing::TempDir dir;
  ScopedObjectStore store(dir.path().string());
  IRenderLink::SetDocumentFactory([]() -> std::unique_ptr<CObject> { return std::make_unique<TestSettings>(); });
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
const std::string kDiskFull = "Destination disk drive is full.";
const std::string kReading = "An unexpected error occurred while reading " + kPath + ".";

std::exception_ptr Archive(CArchiveException::Cause cause) { return std::make_exception_ptr(CArchiveException(cause)); }
std::exception_ptr File(CFileException::Cause cause, const std::string& path = kPath) {
  return std::make_exception_ptr(CFileException(cause, path));
}

TEST(FailureMessage, CausesByOperation) {
  using A = CArchiveException;
  using F = CFileException;
  const struct {
    std::vector<std::exception_ptr> failures;
    std::string opening, saving;
  } rows[] = {
      {{Archive(A::endOfFile), Archive(A::badIndex), Archive(A::badClass), Archive(A::badSchema)},
       kUnexpected, kUnexpected},
      {{File(F::fileNotFound), File(F::badPath)},
       kPath + "\nCannot find this file.\nPlease verify that the correct path and file name are given.",
       "Invalid filename."},
      {{File(F::accessDenied), File(F::sharingViolation), File(F::lockViolation)},
       "Unable to read from " + kPath + ", it is opened by someone else.",
       "Unable to write to " + kPath + ", it is read-only or opened by someone else."},
      {{File(F::diskFull), File(F::diskFull, "")}, kDiskFull, kDiskFull},
      {{File(F::generic), File(F::tooManyOpenFiles), File(F::invalidFile), File(F::directoryFull), File(F::badSeek),
        File(F::hardIO), File(F::endOfFile), File(F::hardIO, "")},
       kReading, "An unexpected error occurred while writing " + kPath + "."},
      {{Archive(A::generic), Archive(A::readOnly), Archive(A::writeOnly), File(F::removeCurrentDir),
        std::make_exception_ptr(CNotSupportedException("x")), std::make_exception_ptr(std::bad_alloc()),
        std::make_exception_ptr(std::runtime_error("x")), std::make_exception_ptr(42)},
       "Failed to open document.", "Failed to save document."},
      // Saving a workspace also writes its form files: the one that failed is named.
      {{File(F::accessDenied, "/s/CUBE.FRM")}, "Unable to read from /s/CUBE.FRM, it is opened by someone else.",
       "Unable to write to /s/CUBE.FRM, it is read-only or opened by someone else."},
  };
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.failures.size(); ++i) {
      SCOPED_TRACE(row.opening + " #" + std::to_string(i));
      EXPECT_EQ(FailureMessage(row.failures[i], DocumentOperation::open, kPath), row.opening);
      EXPECT_EQ(FailureMessage(row.failures[i], DocumentOperation::save, kPath), row.saving);
    }
  }
  // A path holding "%1" is not substituted again.
  EXPECT_EQ(FailureMessage(File(F::hardIO, ""), DocumentOperation::open, "a%1b"),
            "An unexpected error occurred while reading a%1b.");
}

TEST(FailureMessage, ReportShowsOneMessageOrNone) {
  const auto reported = std::make_exception_ptr(CUserException());
  EXPECT_EQ(FailureMessage(reported, DocumentOperation::open, kPath), std::nullopt);
  EXPECT_EQ(FailureMessage(nullptr, DocumentOperation::open, kPath), std::nullopt);
  RecordingUi ui;
  ReportFailure(ui, Archive(CArchiveException::badClass), DocumentOperation::open, kPath);
  ReportFailure(ui, reported, DocumentOperation::save, kPath);
  ReportFailure(ui, File(CFileException::diskFull), DocumentOperation::save, kPath);
  EXPECT_EQ(ui.Messages(), (std::vector<std::string>{kUnexpected, kDiskFull}));
  EXPECT_TRUE(ui.Questions().empty());
}

}  // namespace
}  // namespace brevoxa
