// The reduction kernels against known sums and a plain reference, the
// factor-1 rename, and the JPEG, PPM and PNG writers decoded back, with
// every failure's message and what it leaves on disk.
#include "render/image_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "material/image_reader.h"
#include "persist/exceptions.h"
#include "persist/object_store.h"
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

// Writes raw, reduces it, and returns the reduced picture.
SampleImage Reduce(const TempDir& dir, const SampleImage& raw) {
  WriteSampleImage(dir.File("dms"), raw);
  ReduceSupersampled(dir.File("dms"), dir.File("dmp"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("dms")));
  return ReadSampleImage(dir.File("dmp"));
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_ino;
}

// One bright sample in each kernel: 255 / 4 and 1020 / 16 truncated; in the
// 5 x 5 kernel red weighs 9 at the centre (2295 / 81) and green 2 at the
// top edge (510 / 81). White stays white: each divisor is its kernel's sum,
// and 255 x 81 does not overflow the accumulators.
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
    ASSERT_EQ(out.rgb.size(), 3u) << "factor " << c.factor;
    EXPECT_EQ(out.header.factor, 1);
    EXPECT_EQ((std::array<int, 3>{out.rgb[0], out.rgb[1], out.rgb[2]}), c.expected) << "factor " << c.factor;
  }
}

// A straightforward whole-picture reduction to compare the streaming one with.
SampleImage ReferenceReduce(const SampleImage& raw) {
  const int f = raw.header.factor;
  static const int k2[] = {1, 1}, k3[] = {1, 2, 1}, k5[] = {1, 2, 3, 2, 1};
  const int* taps = f == 2 ? k2 : f == 3 ? k3 : k5;
  const int divisor = f == 2 ? 4 : f == 3 ? 16 : 81;
  SampleImage out = Blank(raw.header.width / f, raw.header.height / f, 1);
  for (int y = 0; y < out.header.height; ++y)
    for (int x = 0; x < out.header.width; ++x)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int j = 0; j < f; ++j)
          for (int i = 0; i < f; ++i) sum += taps[i] * taps[j] * raw.Pixel(x * f + i, y * f + j)[c];
        const_cast<uint8_t*>(out.Pixel(x, y))[c] = static_cast<uint8_t>(sum / divisor);
      }
  return out;
}

TEST(ReduceSupersampled, MatchesReferenceOnRandomPictures) {
  TempDir dir;
  std::mt19937 random(7);
  for (int f : {2, 3, 5}) {
    SampleImage raw = Blank(7 * f, 4 * f, f);
    for (uint8_t& b : raw.rgb) b = static_cast<uint8_t>(random());
    SampleImage out = Reduce(dir, raw);
    EXPECT_EQ(out.rgb, ReferenceReduce(raw).rgb) << "factor " << f;
  }
}

// Memory stays at one row of samples plus three rows of accumulators, so
// the picture's size matters only for time; a picture of a few megabytes
// shows that rows and columns still line up at the far end.
TEST(ReduceSupersampled, StreamsAModeratePicture) {
  TempDir dir;
  const int f = 5, w = 320, h = 200;
  {
    SampleFileWriter writer(dir.File("dms"), {w * f, h * f, f}, kSampleStreamBuffer);
    for (int y = 0; y < h * f; ++y)
      for (int x = 0; x < w * f; ++x) writer.WriteSample(static_cast<uint8_t>(x / f), static_cast<uint8_t>(y / f), 200);
    writer.Close();
  }
  ReduceSupersampled(dir.File("dms"), dir.File("dmp"));
  SampleImage out = ReadSampleImage(dir.File("dmp"));
  ASSERT_EQ(out.header.width, w);
  ASSERT_EQ(out.header.height, h);
  EXPECT_EQ(out.Pixel(w - 1, h - 1)[0], (w - 1) % 256);
  EXPECT_EQ(out.Pixel(w - 1, h - 1)[1], h - 1);
  EXPECT_EQ(out.Pixel(17, 3)[0], 17);
  EXPECT_EQ(out.Pixel(17, 3)[2], 200);
}

TEST(ReduceSupersampled, FactorOneRenamesOverTheReducedName) {
  TempDir dir;
  SampleImage raw = Blank(3, 2, 1);
  Set(raw, 2, 1, 10, 20, 30);
  WriteSampleImage(dir.File("dms"), raw);
  const ino_t rawInode = Inode(dir.File("dms"));
  std::ofstream(dir.File("dmp")) << "";  // the empty file of a temporary name
  ReduceSupersampled(dir.File("dms"), dir.File("dmp"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("dms")));
  EXPECT_EQ(Inode(dir.File("dmp")), rawInode);  // moved, not copied
  EXPECT_EQ(ReadSampleImage(dir.File("dmp")).rgb, raw.rgb);
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

// --- Writers ---

// A smooth picture whose JPEG stays close to it.
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
  const std::vector<uint8_t> bytes = testing::ReadFile(dir.File("scene.JPG"));
  ASSERT_GT(bytes.size(), 20u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xD8);
  EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 10), "JFIF");

  ImageReadResult decoded = ReadImageFile(dir.File("scene.JPG"));
  ASSERT_TRUE(decoded.ok()) << decoded.message;
  EXPECT_EQ(decoded.bitmap.width, 64);
  EXPECT_EQ(decoded.bitmap.height, 48);
  EXPECT_LE(MaxDifference(picture, decoded.bitmap), 12);
  // Nothing but the picture and its source is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(WriteJpegFile, QualityReachesTheCompressor) {
  TempDir dir;
  RecordingUi ui;
  SampleImage noise = Blank(64, 64, 1);
  std::mt19937 random(3);
  for (uint8_t& b : noise.rgb) b = static_cast<uint8_t>(random());
  WriteSampleImage(dir.File("dmp"), noise);
  ASSERT_TRUE(WriteJpegFile(dir.File("low.jpg"), 25, dir.File("dmp"), ui));
  ASSERT_TRUE(WriteJpegFile(dir.File("high.jpg"), 100, dir.File("dmp"), ui));
  EXPECT_LT(std::filesystem::file_size(dir.File("low.jpg")), std::filesystem::file_size(dir.File("high.jpg")));
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

  // libjpeg's own refusal comes back here instead of ending the process,
  // and an earlier picture of the same name is kept.
  ui.Clear();
  std::ofstream(out) << "an older render";
  WriteSampleImage(dir.File("wide"), Blank(70000, 1, 1));
  EXPECT_FALSE(WriteJpegFile(out, 80, dir.File("wide"), ui));
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0].rfind("Can't write image to " + out + ": ", 0), 0u) << ui.Messages()[0];
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
  // 200 x 120 makes more than one stored block (72,120 bytes of rows).
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

TEST(RenderedImagePath, LiesInRenderedUnderObjectStore) {
  ScopedObjectStore store("/opt/brevoxa/OBJSTORE");
  EXPECT_EQ(RenderedImagePath("scene"), "/opt/brevoxa/OBJSTORE/RENDERED/scene.JPG");
}

}  // namespace
}  // namespace brevoxa
