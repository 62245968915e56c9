// Sample files: the exact bytes, completion of a stopped render with white,
// refusal of damaged files by cause, and the temporary files of a render.
#include "render/sample_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "persist/exceptions.h"
#include "persist/object_store.h"
#include "support/bytes.h"
#include "support/temp_dir.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SampleFile, WritesHeaderAndRowsLittleEndian) {
  TempDir dir;
  const std::string path = dir.File("dms1");
  SampleFileWriter writer(path, {2, 2, 2}, kSampleStreamBuffer);
  writer.WriteSample(1, 2, 3);
  writer.WriteSample(4, 5, 6);
  EXPECT_EQ(writer.RowsWritten(), 1);
  const uint8_t row[6] = {7, 8, 9, 10, 11, 12};
  writer.WriteRow(row);
  writer.Close();

  ByteWriter expected;
  expected.Dword(2).Dword(2).Dword(2);
  for (uint8_t b = 1; b <= 12; ++b) expected.Byte(b);
  EXPECT_EQ(ReadFile(path), expected.bytes());

  SampleImage image = ReadSampleImage(path);
  EXPECT_EQ(image.header.width, 2);
  EXPECT_EQ(image.header.factor, 2);
  EXPECT_EQ(image.Pixel(1, 1)[2], 12);
}

TEST(SampleFile, CloseCompletesAStoppedRenderWithWhite) {
  TempDir dir;
  const std::string path = dir.File("dms");
  SampleFileWriter writer(path, {3, 3, 1});
  const uint8_t row[9] = {1, 1, 1, 2, 2, 2, 3, 3, 3};
  writer.WriteRow(row);
  writer.WriteSample(9, 9, 9);  // a row cut short
  writer.Close();

  SampleImage image = ReadSampleImage(path);
  EXPECT_EQ(image.Pixel(2, 0)[0], 3);
  EXPECT_EQ(image.Pixel(0, 1)[0], 9);
  for (int y = 1; y < 3; ++y)
    for (int x = (y == 1 ? 1 : 0); x < 3; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(image.Pixel(x, y)[c], 255) << x << "," << y;
}

TEST(SampleFile, WriterRefusesMisuse) {
  TempDir dir;
  EXPECT_THROW(SampleFileWriter(dir.File("a"), {0, 1, 1}), std::invalid_argument);
  EXPECT_THROW(SampleFileWriter(dir.File("b"), {4, 4, 4}), std::invalid_argument);
  EXPECT_THROW(SampleFileWriter(dir.File("no/such/folder"), {1, 1, 1}), CFileException);

  SampleFileWriter writer(dir.File("c"), {2, 1, 1});
  writer.WriteSample(0, 0, 0);
  const uint8_t row[6] = {};
  EXPECT_THROW(writer.WriteRow(row), std::out_of_range);  // not at a row start
  writer.WriteSample(0, 0, 0);
  EXPECT_THROW(writer.WriteSample(0, 0, 0), std::out_of_range);
}

// Each damaged file fails with its own cause, and nothing is sized from a
// header the file cannot back.
TEST(SampleFile, ReaderRefusesDamagedFilesByCause) {
  TempDir dir;
  struct Case {
    const char* name;
    Bytes bytes;
    CFileException::Cause cause;
  };
  auto header = [](uint32_t w, uint32_t h, uint32_t f) { return ByteWriter().Dword(w).Dword(h).Dword(f); };
  Bytes oneByOne = header(1, 1, 1).Byte(1).Byte(2).Byte(3).bytes();
  const Case cases[] = {
      {"empty", {}, CFileException::endOfFile},
      {"short header", ByteWriter().Dword(1).Dword(1).bytes(), CFileException::endOfFile},
      {"zero width", header(0, 1, 1).bytes(), CFileException::invalidFile},
      {"negative height", header(1, 0xFFFFFFFF, 1).bytes(), CFileException::invalidFile},
      {"factor 4", header(4, 4, 4).bytes(), CFileException::invalidFile},
      {"not a multiple", header(5, 4, 2).bytes(), CFileException::invalidFile},
      {"truncated rows", header(2, 2, 1).Byte(0).Byte(0).Byte(0).bytes(), CFileException::endOfFile},
      {"huge claim", header(0x7FFFFFFF, 0x7FFFFFFF, 1).bytes(), CFileException::endOfFile},
      {"trailing bytes", ByteWriter(header(1, 1, 1)).Byte(1).Byte(2).Byte(3).Byte(4).bytes(),
       CFileException::invalidFile},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    WriteFile(path, c.bytes);
    try {
      SampleFileReader reader(path);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const CFileException& e) {
      EXPECT_EQ(e.cause(), c.cause) << c.name;
    }
  }
  try {
    SampleFileReader reader(dir.File("missing"));
    ADD_FAILURE() << "a missing file was opened";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), CFileException::fileNotFound);
  }

  WriteFile(dir.File("good"), oneByOne);
  SampleFileReader reader(dir.File("good"));
  uint8_t rgb[3];
  reader.ReadRow(rgb);
  EXPECT_EQ(rgb[2], 3);
  EXPECT_THROW(reader.ReadRow(rgb), CArchiveException);
}

TEST(TemporaryFile, IsCreatedEmptyWithItsPrefixAndAlwaysRemoved) {
  TempDir dir;
  std::string first;
  std::string renamed = dir.File("kept-elsewhere");
  try {
    TemporaryFile a(dir.path().string(), "dms");
    TemporaryFile b(dir.path().string(), "dms");
    TemporaryFile c(dir.path().string(), "dmp");
    first = a.Path();
    EXPECT_NE(a.Path(), b.Path());
    EXPECT_EQ(std::filesystem::path(a.Path()).parent_path(), dir.path());
    EXPECT_EQ(std::filesystem::path(a.Path()).filename().string().rfind("dms", 0), 0u);
    EXPECT_EQ(std::filesystem::path(c.Path()).filename().string().rfind("dmp", 0), 0u);
    EXPECT_EQ(std::filesystem::file_size(a.Path()), 0u);
    std::filesystem::rename(b.Path(), renamed);  // b is gone before its holder
    throw std::runtime_error("render failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(std::filesystem::exists(first));
  EXPECT_TRUE(std::filesystem::exists(renamed));
  std::filesystem::remove(renamed);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  try {
    TemporaryFile missing(dir.File("no-such-folder"), "dms");
    ADD_FAILURE() << "created in a missing folder";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), CFileException::fileNotFound);
  }
}

TEST(TemporaryFile, ProgramFolderHoldsObjectStore) {
  for (const auto& [store, folder] : {std::pair{"/opt/brevoxa/OBJSTORE", "/opt/brevoxa"},
                                      std::pair{"/opt/brevoxa/OBJSTORE/", "/opt/brevoxa"}, std::pair{"OBJSTORE", "."}}) {
    ScopedObjectStore scoped(store);
    EXPECT_EQ(ProgramFolder(), folder) << store;
  }
}

}  // namespace
}  // namespace brevoxa
