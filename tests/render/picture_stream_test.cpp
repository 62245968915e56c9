// The picture written while a render traces against the picture written
// afterwards from the sample file: the same bytes, whatever the factor and
// wherever the render stopped.
#include "render/picture_stream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <vector>

#include "render/image_output.h"
#include "render/sample_file.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::ReadFile;
using testing::TempDir;

// Rows of noise with runs of one colour, so that the JPEG has edges and
// flat parts alike.
std::vector<std::vector<uint8_t>> Rows(const SampleHeader& header, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(header.height));
  for (auto& row : rows) {
    row.resize(header.RowBytes());
    for (size_t i = 0; i < row.size(); ++i) row[i] = random() % 4 == 0 ? 255 : static_cast<uint8_t>(random());
  }
  return rows;
}

TEST(PictureStream, WritesTheBytesTheSampleFileGivesAtEveryFactorAndStop) {
  for (int32_t f : {1, 2, 3, 5}) {
    // 19 × 17 pixels: neither a multiple of libjpeg's 16-row bands nor of
    // its 8-pixel blocks.
    const SampleHeader header{19 * f, 17 * f, f};
    const auto rows = Rows(header, 7u * static_cast<unsigned>(f));
    for (int32_t traced : {header.height, 5 * f + 1, 0}) {
      SCOPED_TRACE(::testing::Message() << "factor " << f << ", rows traced " << traced);
      TempDir dir;
      {
        SampleFileWriter writer(dir.File("dms"), header);
        PictureStream picture(dir.File("streamed.JPG"), 80, header, dir.File("streamed.dmp"));
        for (int32_t y = 0; y < traced; ++y) {
          writer.WriteRow(rows[y].data());
          picture.AddSampleRow(rows[y].data());
        }
        writer.Close();
        picture.Finish();
        EXPECT_EQ(picture.ReducedWritten(), f > 1);
        ASSERT_TRUE(picture.Commit());
      }
      ReduceSupersampled(dir.File("dms"), dir.File("dmp"));
      RecordingUi ui;
      ASSERT_TRUE(WriteJpegFile(dir.File("after.JPG"), 80, dir.File("dmp"), ui));
      EXPECT_EQ(ReadFile(dir.File("streamed.JPG")), ReadFile(dir.File("after.JPG")));
      if (f > 1) {
        EXPECT_EQ(ReadFile(dir.File("streamed.dmp")), ReadFile(dir.File("dmp")));
      }
    }
  }
}

// It never throws nor shows anything; what it cannot write is left to the
// usual end of the render.
TEST(PictureStream, WhatCannotBeWrittenTurnsItOffAndLeavesNoFile) {
  TempDir dir;
  const SampleHeader header{6, 6, 2};
  const auto rows = Rows(header, 3);
  PictureStream picture(dir.File("missing/out.JPG"), 80, header, dir.File("missing/out.dmp"));
  for (const auto& row : rows) picture.AddSampleRow(row.data());
  picture.Finish();
  EXPECT_FALSE(picture.ReducedWritten());
  EXPECT_FALSE(picture.Commit());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  // A picture given up before it was finished leaves nothing behind either.
  {
    PictureStream unfinished(dir.File("out.JPG"), 80, header, dir.File("out.dmp"));
    unfinished.AddSampleRow(rows[0].data());
    EXPECT_FALSE(unfinished.Commit());
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.JPG")));
}

}  // namespace
}  // namespace brevoxa
