// The reduction kernels and the JPEG, PPM and PNG writers, decoded back.
#include "render/image_output.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "material/image_reader.h"
#include "persist/exceptions.h"
#include "render/sample_file.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::TempDir;

SampleImage Blank(int32_t w, int32_t h, int32_t f, uint8_t value = 0) {
  SampleImage image;
  image.header = {w, h, f};
  image.rgb.assign(static_cast<size_t>(w) * h * 3, value);
  return image;
}

void Set(SampleImage& image, int x, int y, uint8_t r, uint8_t g, uint8_t b) {
  uint8_t* p = image.rgb.data() + (static_cast<size_t>(y) * image.header.width + x) * 3;
  p[0] = r;
  p[1] = g;
  p[2] = b;
}

SampleImage Reduce(const TempDir& dir, const SampleImage& raw) {
  WriteSampleImage(dir.File("dms"), raw);
  ReduceSupersampled(dir.File("dms"), dir.File("dmp"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("dms")));
  return ReadSampleImage(dir.File("dmp"));
}

// 255 / 4, 1020 / 16, 2295 / 81 and 510 / 81 truncated; white stays white.
TEST(ReduceSupersampled, KnownSums) {
  TempDir dir;
  struct Case {
    int factor;
    uint8_t background;
    std::vector<std::array<int, 5>> samples;  // x, y, r, g, b
    std::array<int, 3> expected;
  };
  const Case cases[] = {
      {2, 0, {{0, 0, 255, 0, 0}}, {63, 0, 0}},
      {3, 0, {{1, 1, 255, 255, 255}}, {63, 63, 63}},
      {5, 0, {{2, 2, 255, 0, 0}, {1, 0, 0, 255, 0}}, {28, 6, 0}},
      {2, 255, {}, {255, 255, 255}},
      {3, 255, {}, {255, 255, 255}},
      {5, 255, {}, {255, 255, 255}},
  };
  for (const Case& c : cases) {
    SampleImage raw = Blank(c.factor, c.factor, c.factor, c.background);
    for (const auto& [x, y, r, g, b] : c.samples)
      Set(raw, x, y, static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
    const SampleImage out = Reduce(dir, raw);
    ASSERT_EQ(out.rgb.size(), 3u);
    EXPECT_EQ((std::array<int, 3>{out.rgb[0], out.rgb[1], out.rgb[2]}), c.expected) << "factor " << c.factor;
  }
}

SampleImage Gradient(int w, int h);

// One sample a pixel: the samples take the reduced name, which the render
// holds with an empty temporary file, and nothing else is left.
TEST(ReduceSupersampled, OneSampleAPixelTakesTheReducedName) {
  for (bool held : {true, false}) {
    TempDir dir;
    if (held) std::ofstream(dir.File("dmp"), std::ios::binary).close();
    const SampleImage raw = Gradient(6, 4);
    const SampleImage reduced = Reduce(dir, raw);
    EXPECT_EQ(reduced.header.factor, 1);
    EXPECT_EQ(reduced.rgb, raw.rgb) << held;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << held;
  }
}

TEST(ReduceSupersampled, DamagedRawFileFailsAndIsLeftAlone) {
  TempDir dir;
  std::ofstream(dir.File("dms"), std::ios::binary) << "not a sample file";
  try {
    ReduceSupersampled(dir.File("dms"), dir.File("dmp"));
    ADD_FAILURE() << "a damaged file was reduced";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.cause(), CFileException::invalidFile);
  }
  EXPECT_TRUE(std::filesystem::exists(dir.File("dms")));
}

SampleImage Gradient(int w, int h) {
  SampleImage image = Blank(w, h, 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      Set(image, x, y, static_cast<uint8_t>(x * 255 / (w - 1)), static_cast<uint8_t>(y * 255 / (h - 1)), 96);
  return image;
}

int MaxDifference(const SampleImage& expected, const Bitmap& decoded) {
  int worst = 0;
  for (int y = 0; y < decoded.height; ++y)
    for (int x = 0; x < decoded.width; ++x)
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(expected.Pixel(x, y)[c] - decoded.Texel(x, y)[2 - c]));
  return worst;
}

TEST(WriteJpegFile, QualityEightyDecodesCloseToThePicture) {
  TempDir dir;
  RecordingUi ui;
  const SampleImage picture = Gradient(64, 48);
  WriteSampleImage(dir.File("dmp"), picture);
  std::ofstream(dir.File("scene.JPG")) << "an older render";  // overwritten

  ASSERT_TRUE(WriteJpegFile(dir.File("scene.JPG"), 80, dir.File("dmp"), ui));
  EXPECT_TRUE(ui.Messages().empty());
  ImageReadResult decoded = ReadImageFile(dir.File("scene.JPG"));
  ASSERT_TRUE(decoded.ok()) << decoded.message;
  EXPECT_EQ(decoded.bitmap.width, 64);
  EXPECT_EQ(decoded.bitmap.height, 48);
  EXPECT_LE(MaxDifference(picture, decoded.bitmap), 12);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
  // The quality reaches the compressor.
  ASSERT_TRUE(WriteJpegFile(dir.File("low.jpg"), 25, dir.File("dmp"), ui));
  EXPECT_LT(std::filesystem::file_size(dir.File("low.jpg")), std::filesystem::file_size(dir.File("scene.JPG")));
}

TEST(WriteJpegFile, FailuresAreReportedNotSuccess) {
  TempDir dir;
  RecordingUi ui;
  WriteSampleImage(dir.File("dmp"), Gradient(8, 8));

  const std::string noFolder = dir.File("RENDERED/scene.JPG");
  EXPECT_FALSE(WriteJpegFile(noFolder, 80, dir.File("dmp"), ui));
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0], "Can't open " + noFolder + " to write image to.");

  ui.Clear();
  const std::string out = dir.File("scene.JPG");
  EXPECT_FALSE(WriteJpegFile(out, 80, dir.File("missing"), ui));
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0], "Can't open " + dir.File("missing") + " to read from.  Internal error.");
  EXPECT_FALSE(std::filesystem::exists(out));

  // The library's own refusal comes back here; an earlier picture is kept.
  ui.Clear();
  std::ofstream(out) << "an older render";
  WriteSampleImage(dir.File("wide"), Blank(70000, 1, 1));
  EXPECT_FALSE(WriteJpegFile(out, 80, dir.File("wide"), ui));
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0].rfind("Can't write image to " + out + ": ", 0), 0u);
  EXPECT_EQ(testing::ReadFile(out).size(), std::string("an older render").size());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST(WriteJpegFile, SupersampledInputIsReportedAndWrittenAtItsSize) {
  TempDir dir;
  RecordingUi ui;
  WriteSampleImage(dir.File("dms"), Blank(4, 2, 2, 128));
  EXPECT_TRUE(WriteJpegFile(dir.File("out.jpg"), 80, dir.File("dms"), ui));
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0], "Internal error: Supersampled image passed to jpeg converter");
  ImageReadResult decoded = ReadImageFile(dir.File("out.jpg"));
  ASSERT_TRUE(decoded.ok());
  EXPECT_EQ(decoded.bitmap.width, 4);
  EXPECT_EQ(decoded.bitmap.height, 2);
}

TEST(LosslessWriters, PpmBytesAreExact) {
  TempDir dir;
  RecordingUi ui;
  SampleImage picture = Blank(2, 1, 1);
  Set(picture, 0, 0, 1, 2, 3);
  Set(picture, 1, 0, 250, 251, 252);
  WriteSampleImage(dir.File("dmp"), picture);
  ASSERT_TRUE(WritePpmFile(dir.File("out.ppm"), dir.File("dmp"), ui));
  const std::string expected = std::string("P6\n2 1\n255\n") + "\x01\x02\x03\xFA\xFB\xFC";
  const std::vector<uint8_t> bytes = testing::ReadFile(dir.File("out.ppm"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);

  EXPECT_FALSE(WritePpmFile(dir.File("out2.ppm"), dir.File("missing"), ui));
  EXPECT_EQ(ui.Messages().back(), "Can't open " + dir.File("missing") + " to read from.  Internal error.");
}

TEST(LosslessWriters, PngDecodesToTheSamePixels) {
  TempDir dir;
  RecordingUi ui;
  // 200 x 120 makes more than one stored block.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{200, 120}}) {
    SampleImage picture = Blank(w, h, 1);
    std::mt19937 random(static_cast<unsigned>(w));
    for (uint8_t& b : picture.rgb) b = static_cast<uint8_t>(random());
    WriteSampleImage(dir.File("dmp"), picture);
    ASSERT_TRUE(WritePngFile(dir.File("out.png"), dir.File("dmp"), ui));
    ImageReadResult decoded = ReadImageFile(dir.File("out.png"));
    ASSERT_TRUE(decoded.ok()) << decoded.message;
    EXPECT_EQ(decoded.format, ImageFormat::png);
    EXPECT_EQ(decoded.bitmap.TopDownRgb(), picture.rgb) << w << " x " << h;
  }
  EXPECT_TRUE(ui.Messages().empty());
}

}  // namespace
}  // namespace brevoxa
