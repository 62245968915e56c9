// Every format reads as a bottom-up, blue-green-red, row-padded bitmap; bad files are refused by kind.
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

// Distinct colours for a 5 x 3 pattern.
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

// The file name's extension picks the format.
void WriteImage(const std::string& path, int width, int height, const Bytes& rgb,
                void (*adjust)(Magick::Image&) = nullptr) {
  InitializeImageLibrary();
  Magick::Image image(width, height, "RGB", Magick::CharPixel, rgb.data());
  if (adjust) adjust(image);
  image.write(path);
}

// A copy with the 32-bit values written at the offsets.
Bytes Patched(Bytes bytes, std::initializer_list<std::pair<size_t, uint32_t>> values) {
  for (auto [at, v] : values) {
    if (bytes.size() < at + 4) throw std::out_of_range("past the end");  // also quiets GCC's overflow analysis
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  return bytes;
}

// The pattern in blocks of block pixels, bottom-up, blue-green-red and zero-padded.
void ExpectPattern(const Bitmap& bitmap, int block, int tolerance) {
  ASSERT_EQ(bitmap.width, 5 * block);
  ASSERT_EQ(bitmap.height, 3 * block);
  const size_t stride = bitmap.RowBytes();
  ASSERT_EQ(bitmap.bgr.size(), stride * bitmap.height);
  for (int cy = 0; cy < 3; ++cy) {
    for (int cx = 0; cx < 5; ++cx) {
      const int i = cx * block + block / 2;
      const int j = cy * block + block / 2;
      const uint8_t* p = bitmap.bgr.data() + (bitmap.height - 1 - j) * stride + 3 * i;
      const Rgb want = PatternColor(cx, cy);
      EXPECT_NEAR(p[2], want.r, tolerance) << cx << "," << cy;
      EXPECT_NEAR(p[1], want.g, tolerance);
      EXPECT_NEAR(p[0], want.b, tolerance);
      EXPECT_EQ(bitmap.Texel(i, j), p);
    }
  }
  for (int row = 0; row < bitmap.height; ++row) {
    for (size_t k = 3 * static_cast<size_t>(bitmap.width); k < stride; ++k) EXPECT_EQ(bitmap.bgr[row * stride + k], 0);
  }
}

// Each file is read on a thread of its own, all at once.
TEST(ImageReader, ReadsEveryFormatFromSeveralThreads) {
  using Adjust = void (*)(Magick::Image&);
  const struct {
    const char* name;
    ImageFormat format;
    Adjust adjust = nullptr;
    int block = 1, tolerance = 0;  // JPEG cells of 16 pixels: chroma subsampling blurs only their edges
    const char* renamed = nullptr;
  } files[] = {
      {"pattern.bmp", ImageFormat::bmp}, {"pattern.png", ImageFormat::png}, {"pattern.tif", ImageFormat::tiff},
      {"pattern.tga", ImageFormat::tga}, {"pattern.pcx", ImageFormat::pcx}, {"PATTERN.TGA", ImageFormat::tga},
      {"palette.bmp", ImageFormat::bmp, [](Magick::Image& image) { image.type(Magick::PaletteType); }},
      {"alpha.png", ImageFormat::png, [](Magick::Image& image) { image.matte(true); image.opacity(MaxRGB / 2); }},
      {"pattern.jpg", ImageFormat::jpeg, [](Magick::Image& image) { image.quality(95); }, 16, 8},
      {"picture.png", ImageFormat::png, nullptr, 1, 0, "picture.bmp"},  // the signature decides, not the name
  };
  testing::TempDir dir;
  std::vector<ImageReadResult> results(std::size(files));
  std::vector<std::thread> threads;
  for (size_t k = 0; k < results.size(); ++k) {
    const auto& f = files[k];
    WriteImage(dir.File(f.name), 5 * f.block, 3 * f.block, PatternRgb(5, 3, f.block), f.adjust);
    const std::string path = dir.File(f.renamed ? f.renamed : f.name);
    if (f.renamed) std::filesystem::rename(dir.File(f.name), path);
    threads.emplace_back([&results, k, path] { results[k] = ReadImageFile(path); });
  }
  for (auto& thread : threads) thread.join();
  for (size_t k = 0; k < results.size(); ++k) {
    SCOPED_TRACE(files[k].name);
    ASSERT_TRUE(results[k].ok()) << results[k].message;
    EXPECT_EQ(results[k].format, files[k].format);
    ExpectPattern(results[k].bitmap, files[k].block, files[k].tolerance);
    if (files[k].tolerance == 0) {
      EXPECT_EQ(results[k].bitmap.TopDownRgb(), PatternRgb(5, 3, 1));
    }
  }
}

// Photo CD gives its 768 x 512 base image, not the thumbnail (the library's writer
// and reader differ a little); grey becomes true colour; a cut JPEG shows what it holds.
TEST(ImageReader, ReadsPhotoCdGreyAndACutJpeg) {
  testing::TempDir dir;
  Bytes solid, grey, noisy(320 * 192 * 3);
  for (int k = 0; k < 32 * 32; ++k) solid.insert(solid.end(), {200, 120, 40});
  for (int k = 0; k < 15; ++k) grey.insert(grey.end(), 3, uint8_t(k * 17));
  uint32_t state = 1;  // busy content, so that coded data fills the JPEG
  for (uint8_t& byte : noisy) byte = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  WriteImage(dir.File("solid.pcd"), 32, 32, solid);
  WriteImage(dir.File("grey.png"), 5, 3, grey, [](Magick::Image& image) { image.type(Magick::GrayscaleType); });
  WriteImage(dir.File("whole.jpg"), 320, 192, noisy);
  const Bytes jpeg = ReadFile(dir.File("whole.jpg"));
  WriteFile(dir.File("half.jpg"), Bytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2));

  ImageReadResult result = ReadImageFile(dir.File("solid.pcd"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(result.format, ImageFormat::pcd);
  ASSERT_EQ(result.bitmap.width * result.bitmap.height, 768 * 512);
  const uint8_t* centre = result.bitmap.Texel(384, 256);
  EXPECT_TRUE(std::abs(centre[2] - 200) < 32 && std::abs(centre[1] - 120) < 32 && std::abs(centre[0] - 40) < 32);
  EXPECT_EQ(ReadImageFile(dir.File("grey.png")).bitmap.TopDownRgb(), grey);
  result = ReadImageFile(dir.File("half.jpg"));
  ASSERT_TRUE(result.ok()) << result.message;
  EXPECT_TRUE(result.bitmap.width == 320 && result.bitmap.height == 192);
}

TEST(ImageReader, RefusesBadFilesByKind) {
  testing::TempDir dir;
  WriteImage(dir.File("small.bmp"), 5, 3, PatternRgb(5, 3, 1));
  const Bytes bmp = ReadFile(dir.File("small.bmp"));
  WriteImage(dir.File("whole.png"), 5, 3, PatternRgb(5, 3, 1));
  const Bytes png = ReadFile(dir.File("whole.png"));
  Bytes garbage;
  for (int k = 0; k < 300; ++k) garbage.push_back(static_cast<uint8_t>(k * 37 + 11));
  // Only a Targa header: 24-bit true colour, 100 x 100, 30000 bytes short.
  Bytes targa = Patched(garbage, {{12, 100 << 16 | 100}});
  targa[1] = 0;
  targa[2] = 2;
  targa[16] = 24;
  const std::string svg = "<svg width=\"9\" height=\"9\"/>";
  const struct {
    const char* name;
    Bytes bytes;
    ImageError error;
    ImageFormat format;
  } cases[] = {
      // Width and height sit at bytes 18 and 22 of the bitmap header.
      {"wide.bmp", Patched(bmp, {{18, 100000}}), ImageError::tooLarge, ImageFormat::bmp},
      {"tall.bmp", Patched(bmp, {{22, 100000}}), ImageError::tooLarge, ImageFormat::bmp},
      {"huge.bmp", Patched(bmp, {{18, 10000}, {22, 10000}}), ImageError::tooLarge, ImageFormat::bmp},
      {"hollow.bmp", Patched(bmp, {{18, 7000}, {22, 7000}}), ImageError::corrupt, ImageFormat::bmp},  // no pixels
      {"empty.png", {}, ImageError::empty, ImageFormat::unknown},
      {"garbage.bmp", garbage, ImageError::unknownFormat, ImageFormat::unknown},
      {"garbage.tga", targa, ImageError::corrupt, ImageFormat::tga},
      {"drawing.tga", Bytes(svg.begin(), svg.end()), ImageError::unknownFormat, ImageFormat::unknown},
      {"truncated.png", Bytes(png.begin(), png.begin() + png.size() / 2), ImageError::corrupt, ImageFormat::png},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir.File(c.name), c.bytes);
    const ImageReadResult result = ReadImageFile(dir.File(c.name));
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.format, c.format);
    EXPECT_FALSE(result.message.empty());
    EXPECT_TRUE(result.bitmap.bgr.empty());
  }
  EXPECT_EQ(ReadImageFile(dir.File("empty.png")).message, "The file is empty.");
  const ImageReadResult missing = ReadImageFile(dir.File("missing.bmp"));
  EXPECT_EQ(missing.error, ImageError::openFailed);
  EXPECT_NE(missing.message.find(dir.File("missing.bmp")), std::string::npos);
  EXPECT_EQ(ReadImageFile(dir.path().string()).error, ImageError::openFailed);
  EXPECT_EQ(ReadImageFile("").error, ImageError::openFailed);
  EXPECT_EQ(DecodeImage(nullptr, 0, ".png").error, ImageError::empty);
}

// Compared with the handlers before, not the defaults: sanitizers keep their own.
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
