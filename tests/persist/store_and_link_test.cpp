// OBJSTORE name resolution, saving through a temporary, and links falling
// back to defaults.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "persist/archive.h"
#include "persist/exceptions.h"
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

int32_t LinkedValue(const ILink& link) { return static_cast<TestSettings*>(link.GetLinkedDocument())->value; }

TEST(Links, OpenTheirFileOrFallBackToDefaults) {
  testing::TempDir dir;
  ScopedObjectStore store(dir.path().string());
  IRenderLink::SetDocumentFactory(&TestSettings::Make);
  RecordingUi ui;
  ScopedUserInterface scoped(ui);

  {
    CDiskFile file(dir.File("RENDER.RDR"), CDiskFile::modeCreate);
    CArchive ar(&file, CArchive::store);
    ar << int32_t{42};
    ar.Close();
    file.Close();
  }
  IRenderLink link;
  EXPECT_EQ(link.GetFullPath(), dir.File("RENDER.RDR"));
  link.Open();
  EXPECT_EQ(LinkedValue(link), 42);
  EXPECT_TRUE(ui.Messages().empty());
  link.Close();
  EXPECT_FALSE(link.IsOpen());

  link.SetFileName("NONE.RDR");
  link.Open();
  EXPECT_EQ(LinkedValue(link), 7);
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0], "Unable to load" + dir.File("NONE.RDR") + ".  Using defaults.");

  // A file cut short keeps what was read before the failure: here, nothing.
  WriteText(dir.File("SHORT.RDR"), "ab");
  link.SetFileName("SHORT.RDR");
  link.Open();
  EXPECT_EQ(LinkedValue(link), 7);
  link.SetFileName("");
  link.Open();
  EXPECT_EQ(ui.Messages().back(), "Unable to load.  Using defaults.");
  IRenderLink::SetDocumentFactory(nullptr);
}

TEST(Links, RecordIsTheFileNameAloneAndCopies) {
  IMaterialLink link;
  EXPECT_EQ(link.GetFileName(), "MATERIAL.MAT");
  EXPECT_EQ(IEnvironmentLink().GetFileName(), "ENVIRONM.ENV");
  link.SetFileName("GLASS.MAT");
  auto bytes = testing::Store([&](CArchive& ar) { link.Serialize(ar); });
  EXPECT_EQ(bytes, (testing::Bytes{9, 'G', 'L', 'A', 'S', 'S', '.', 'M', 'A', 'T'}));
  IMaterialLink read;
  testing::Load(bytes, [&](CArchive& ar) { read.Serialize(ar); });
  EXPECT_EQ(read.GetFileName(), "GLASS.MAT");
  IMaterialLink copy;
  copy.CopyFileName(read);
  EXPECT_EQ(copy.GetFileName(), "GLASS.MAT");
}

}  // namespace
}  // namespace brevoxa
