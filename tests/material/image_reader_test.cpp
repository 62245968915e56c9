// Image reading: every format comes back as a bottom-up, blue-green-red,
// row-padded bitmap with the colours that were written; damaged, hostile
// and unreadable files are refused with the error kind that fits.
#include "material/image_reader.h"

#include <Magick++.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/bytes.h"
#include "support/temp_dir.h"

namespace brevoxa {
namespace {

using testing::Bytes;
using testing::ReadFile;
using testing::WriteFile;

struct Rgb {
  int r, g, b;
};

// Distinct colours for a 5 x 3 pattern: red follows the column, green the
// row, blue both.
Rgb PatternColor(int x, int y) { return {40 * x + 20, 90 * y + 10, 250 - 45 * x - 20 * y}; }

// Top-down RGB rows of the pattern, each pattern cell block x block pixels.
Bytes PatternRgb(int columns, int rows, int block) {
  Bytes rgb;
  for (int y = 0; y < rows * block; ++y) {
    for (int x = 0; x < columns * block; ++x) {
      Rgb c = PatternColor(x / block, y / block);
      rgb.insert(rgb.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
    }
  }
  return rgb;
}

// Writes top-down RGB pixels with the image library; the file name's
// extension picks the format.
void WriteImage(const std::string& path, int width, int height, const Bytes& rgb,
                void (*adjust)(Magick::Image&) = nullptr) {
  InitializeImageLibrary();
  Magick::Image image(width, height, "RGB", Magick::CharPixel, rgb.data());
  if (adjust) adjust(image);
  image.write(path);
}

void PutInt32(Bytes& bytes, size_t at, int32_t v) {
  // The size check also keeps GCC's overflow analysis from guessing.
  if (bytes.size() < at + 4) throw std::out_of_range("PutInt32 past the end");
  for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k));
}

// Checks the layout of a bitmap of the 5 x 3 pattern drawn in blocks of
// block pixels: size, bottom-up row order, blue-green-red byte order, zero
// padding, and the colour at the centre of each cell within tolerance.
void ExpectPattern(const Bitmap& bitmap, int block, int tolerance) {
  ASSERT_EQ(bitmap.width, 5 * block);
  ASSERT_EQ(bitmap.height, 3 * block);
  const size_t stride = bitmap.RowBytes();
  ASSERT_EQ(bitmap.bgr.size(), stride * bitmap.height);
  for (int cy = 0; cy < 3; ++cy) {
    for (int cx = 0; cx < 5; ++cx) {
      const int i = cx * block + block / 2;
      const int j = cy * block + block / 2;
      // Image row j from the top is stored as row height - 1 - j.
      const uint8_t* p = bitmap.bgr.data() + (bitmap.height - 1 - j) * stride + 3 * i;
      const Rgb want = PatternColor(cx, cy);
      EXPECT_NEAR(p[2], want.r, tolerance) << "cell " << cx << "," << cy;
      EXPECT_NEAR(p[1], want.g, tolerance) << "cell " << cx << "," << cy;
      EXPECT_NEAR(p[0], want.b, tolerance) << "cell " << cx << "," << cy;
      EXPECT_EQ(bitmap.Texel(i, j), p);
    }
  }
  for (int row = 0; row < bitmap.height; ++row) {
    for (size_t k = 3 * static_cast<size_t>(bitmap.width); k < stride; ++k) {
      EXPECT_EQ(bitmap.bgr[row * stride + k], 0) << "padding of row " << row;
    }
  }
}

// Each file is read on a thread of its own, all at once.
TEST(ImageReader, ReadsLosslessFormatsExactlyFromSeveralThreads) {
  testing::TempDir dir;
  const Bytes rgb = PatternRgb(5, 3, 1);
  const std::pair<const char*, ImageFormat> formats[] = {
      {"pattern.bmp", ImageFormat::bmp}, {"pattern.png", ImageFormat::png}, {"pattern.tif", ImageFormat::tiff},
      {"pattern.tga", ImageFormat::tga}, {"pattern.pcx", ImageFormat::pcx}, {"PATTERN.TGA", ImageFormat::tga},
  };
  for (auto [name, format] : formats) WriteImage(dir.File(name), 5, 3, rgb);
  std::vector<ImageReadResult> results(std::size(formats));
  std::vector<std::thread> threads;
  for (size_t k = 0; k < results.size(); ++k)
    threads.emplace_back([&, k] { results[k] = ReadImageFile(dir.File(formats[k].first)); });
  for (auto& thread : threads) thread.join();
  for (size_t k = 0; k < results.size(); ++k) {
    SCOPED_TRACE(formats[k].first);
    const ImageReadResult& result = results[k];
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(result.format, formats[k].second);
    EXPECT_EQ(result.message, "");
    ExpectPattern(result.bitmap, 1, 0);
    EXPECT_EQ(result.bitmap.TopDownRgb(), rgb);
  }
}

TEST(ImageReader, ReadsJpegWithinTolerance) {
  testing::TempDir dir;
  // Cells of 16 pixels, so that chroma subsampling blurs only cell edges.
  WriteImage(dir.File("pattern.jpg"), 80, 48, PatternRgb(5, 3, 16), [](Magick::Image& image) { image.quality(95); });
  ImageReadResult result = ReadImageFile(dir.File("pattern.jpg"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.format, ImageFormat::jpeg);
  ExpectPattern(result.bitmap, 16, 8);
}

// Photo CD files hold 768 x 512 whatever they were written from; the base
// image is read, not the 192 x 128 thumbnail. The library's writer and
// reader do not invert each other exactly, so only the rough colour counts.
TEST(ImageReader, ReadsThePhotoCdBaseImage) {
  testing::TempDir dir;
  Bytes solid;
  for (int k = 0; k < 32 * 32; ++k) solid.insert(solid.end(), {200, 120, 40});
  WriteImage(dir.File("solid.pcd"), 32, 32, solid);
  ImageReadResult result = ReadImageFile(dir.File("solid.pcd"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.format, ImageFormat::pcd);
  ASSERT_EQ(result.bitmap.bgr.size(), 768u * 3 * 512);
  EXPECT_EQ(result.bitmap.width, 768);
  const uint8_t* centre = result.bitmap.Texel(384, 256);
  EXPECT_NEAR(centre[2], 200, 32);
  EXPECT_NEAR(centre[1], 120, 32);
  EXPECT_NEAR(centre[0], 40, 32);
}

TEST(ImageReader, ExpandsGreyPalettedAndTransparentImagesToTrueColour) {
  testing::TempDir dir;
  Bytes grey;
  for (int k = 0; k < 15; ++k) grey.insert(grey.end(), {uint8_t(k * 17), uint8_t(k * 17), uint8_t(k * 17)});
  WriteImage(dir.File("grey.png"), 5, 3, grey, [](Magick::Image& image) { image.type(Magick::GrayscaleType); });
  ImageReadResult result = ReadImageFile(dir.File("grey.png"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.bitmap.TopDownRgb(), grey);

  const Bytes rgb = PatternRgb(5, 3, 1);
  WriteImage(dir.File("palette.bmp"), 5, 3, rgb, [](Magick::Image& image) { image.type(Magick::PaletteType); });
  result = ReadImageFile(dir.File("palette.bmp"));
  ASSERT_TRUE(result.ok()) << result.message;
  ExpectPattern(result.bitmap, 1, 0);

  WriteImage(dir.File("alpha.png"), 5, 3, rgb, [](Magick::Image& image) {
    image.matte(true);
    image.opacity(MaxRGB / 2);
  });
  result = ReadImageFile(dir.File("alpha.png"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.bitmap.TopDownRgb(), rgb);
}

TEST(ImageReader, TheSignatureDecidesNotTheName) {
  testing::TempDir dir;
  WriteImage(dir.File("picture.png"), 5, 3, PatternRgb(5, 3, 1));
  std::filesystem::rename(dir.File("picture.png"), dir.File("picture.bmp"));
  ImageReadResult result = ReadImageFile(dir.File("picture.bmp"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.format, ImageFormat::png);
  ExpectPattern(result.bitmap, 1, 0);
}

TEST(ImageReader, RefusesHeadersThatClaimTooManyPixels) {
  testing::TempDir dir;
  WriteImage(dir.File("small.bmp"), 5, 3, PatternRgb(5, 3, 1));
  const Bytes valid = ReadFile(dir.File("small.bmp"));
  ASSERT_GT(valid.size(), 26u);
  // Width and height sit at bytes 18 and 22 of the bitmap header.
  const std::pair<int32_t, int32_t> sizes[] = {{100000, 3}, {5, 100000}, {10000, 10000}};
  for (auto [width, height] : sizes) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    Bytes huge = valid;
    PutInt32(huge, 18, width);
    PutInt32(huge, 22, height);
    WriteFile(dir.File("huge.bmp"), huge);
    ImageReadResult result = ReadImageFile(dir.File("huge.bmp"));
    EXPECT_EQ(result.error, ImageError::tooLarge) << result.message;
    EXPECT_EQ(result.format, ImageFormat::bmp);
    EXPECT_TRUE(result.bitmap.bgr.empty());
  }

  // Within the limits but with no pixel data behind the header: the
  // decoder notices the missing data rather than trusting the header.
  Bytes hollow = valid;
  PutInt32(hollow, 18, 7000);
  PutInt32(hollow, 22, 7000);
  WriteFile(dir.File("hollow.bmp"), hollow);
  EXPECT_EQ(ReadImageFile(dir.File("hollow.bmp")).error, ImageError::corrupt);
}

TEST(ImageReader, RefusesEmptyGarbageAndTruncatedFiles) {
  testing::TempDir dir;
  Bytes garbage;
  for (int k = 0; k < 300; ++k) garbage.push_back(static_cast<uint8_t>(k * 37 + 11));
  // A file that only looks like a Targa header reaches that decoder alone,
  // which then refuses the data behind it.
  Bytes fakeTarga = garbage;
  fakeTarga[1] = 0;  // no colour map
  fakeTarga[2] = 2;  // true colour
  fakeTarga[16] = 24;
  PutInt32(fakeTarga, 12, 100 << 16 | 100);  // 100 x 100, 30000 bytes short
  // Text is no Targa header, whatever the name says.
  const std::string svg = "<svg width=\"9\" height=\"9\"/>";
  WriteImage(dir.File("whole.png"), 5, 3, PatternRgb(5, 3, 1));
  Bytes png = ReadFile(dir.File("whole.png"));
  png.resize(png.size() / 2);
  const struct {
    const char* name;
    Bytes bytes;
    ImageError error;
    ImageFormat format;
  } cases[] = {
      {"empty.png", {}, ImageError::empty, ImageFormat::unknown},
      {"garbage.bmp", garbage, ImageError::unknownFormat, ImageFormat::unknown},
      {"garbage.tga", fakeTarga, ImageError::corrupt, ImageFormat::tga},
      {"drawing.tga", Bytes(svg.begin(), svg.end()), ImageError::unknownFormat, ImageFormat::unknown},
      {"truncated.png", png, ImageError::corrupt, ImageFormat::png},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir.File(c.name), c.bytes);
    const ImageReadResult result = ReadImageFile(dir.File(c.name));
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.format, c.format);
    EXPECT_FALSE(result.message.empty());
  }
  EXPECT_EQ(ReadImageFile(dir.File("empty.png")).message, "The file is empty.");
}

TEST(ImageReader, AJpegCutShortStillShowsWhatItHolds) {
  testing::TempDir dir;
  // Busy content, so that the coded data, not the tables, fills the file.
  Bytes noisy(320 * 192 * 3);
  uint32_t state = 1;
  for (uint8_t& byte : noisy) byte = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  WriteImage(dir.File("whole.jpg"), 320, 192, noisy);
  Bytes jpeg = ReadFile(dir.File("whole.jpg"));
  jpeg.resize(jpeg.size() / 2);
  WriteFile(dir.File("half.jpg"), jpeg);
  ImageReadResult result = ReadImageFile(dir.File("half.jpg"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.bitmap.width, 320);
  EXPECT_EQ(result.bitmap.height, 192);
}

TEST(ImageReader, ReportsFilesThatCannotBeOpened) {
  testing::TempDir dir;
  ImageReadResult result = ReadImageFile(dir.File("missing.bmp"));
  EXPECT_EQ(result.error, ImageError::openFailed);
  EXPECT_NE(result.message.find(dir.File("missing.bmp")), std::string::npos);
  EXPECT_EQ(ReadImageFile(dir.path().string()).error, ImageError::openFailed);
  EXPECT_EQ(ReadImageFile("").error, ImageError::openFailed);
  EXPECT_EQ(DecodeImage(nullptr, 0, ".png").error, ImageError::empty);
}

// Whether starting the library kept every fatal signal's handler.
// Sanitizers keep handlers of their own, so the handlers are compared with
// those before the start rather than with the defaults.
bool StartKeepsSignalHandlers() {
  const int signals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGABRT, SIGSEGV, SIGBUS, SIGFPE};
  struct sigaction before[std::size(signals)] = {};
  for (size_t k = 0; k < std::size(signals); ++k) sigaction(signals[k], nullptr, &before[k]);
  InitializeImageLibrary();
  bool kept = true;
  for (size_t k = 0; k < std::size(signals); ++k) {
    struct sigaction after {};
    sigaction(signals[k], nullptr, &after);
    kept = kept && after.sa_handler == before[k].sa_handler;
  }
  return kept;
}

// Run in a fresh process, where nothing else has started the library.
TEST(ImageReaderDeathTest, LeavesTheSignalsToTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(StartKeepsSignalHandlers() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace brevoxa
