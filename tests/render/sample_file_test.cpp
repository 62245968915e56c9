// Sample files byte for byte, a stopped render's completion, damaged files by cause.
#include "render/sample_file.h"

#include <gtest/gtest.h>


#include "persist/exceptions.h"
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

// Nothing is sized from a header the file cannot back.
TEST(SampleFile, ReaderRefusesDamagedFilesByCause) {
  TempDir dir;
  struct Case {
    const char* name;
    Bytes bytes;
    CFileException::Cause cause;
  };
  auto header = [](uint32_t w, uint32_t h, uint32_t f) { return ByteWriter().Dword(w).Dword(h).Dword(f); };
  auto causeOf = [](const std::string& path) {
    try {
      SampleFileReader reader(path);
    } catch (const CFileException& e) {
      return e.cause();
    }
    return CFileException::none;
  };
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
    WriteFile(dir.File(c.name), c.bytes);
    EXPECT_EQ(causeOf(dir.File(c.name)), c.cause) << c.name;
  }
  EXPECT_EQ(causeOf(dir.File("missing")), CFileException::fileNotFound);

  WriteFile(dir.File("good"), header(1, 1, 1).Byte(1).Byte(2).Byte(3).bytes());
  SampleFileReader reader(dir.File("good"));
  uint8_t rgb[3];
  reader.ReadRow(rgb);
  EXPECT_EQ(rgb[2], 3);
  EXPECT_THROW(reader.ReadRow(rgb), CArchiveException);
}

}  // namespace
}  // namespace brevoxa
