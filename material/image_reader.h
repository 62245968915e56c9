// Reading image files into 24-bit bitmaps, for image textures and the image
// viewer. Reads .bmp, .jpg, .pcd (the 768 x 512 base image of a Photo CD
// file), .pcx, .tga, .tif and .png. Files are untrusted: sizes are checked
// before anything large is allocated, and every failure comes back as an
// error kind with a text, never as an exception or an abort.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brevoxa {

// Limits for one image. A header that claims more is refused before the
// decoder allocates its pixels.
inline constexpr int kMaxImageSide = 32768;                  // pixels, either way
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 26;  // 64 megapixels (192 MiB at 24 bits)
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{256} << 20;

// A 24-bit device-independent bitmap: rows bottom-up, three bytes per pixel
// in the order blue, green, red, each row padded to a multiple of 4 bytes.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;

  static size_t RowBytes(int width) { return (3 * static_cast<size_t>(width) + 3) & ~size_t{3}; }
  size_t RowBytes() const { return RowBytes(width); }
  // Texel (i, j): column i of row j counted from the top; points at its blue
  // byte, followed by green and red. Needs 0 <= i < width, 0 <= j < height.
  const uint8_t* Texel(int i, int j) const {
    return bgr.data() + static_cast<size_t>(height - 1 - j) * RowBytes() + 3 * static_cast<size_t>(i);
  }
  // The pixels as top-down rows of red, green, blue without padding, as a
  // display surface takes them.
  std::vector<uint8_t> TopDownRgb() const;
};

// Persisted nowhere; the numbers only keep the kinds apart in logs.
enum class ImageError {
  none = 0,
  openFailed = 1,     // missing, not a regular file, or unreadable
  empty = 2,          // no bytes at all
  unknownFormat = 3,  // not one of the formats above
  tooLarge = 4,       // beyond the limits above
  corrupt = 5,        // the decoder gave up: truncated or damaged data
};

enum class ImageFormat { unknown = 0, bmp = 1, jpeg = 2, pcd = 3, pcx = 4, tga = 5, tiff = 6, png = 7 };

struct ImageReadResult {
  Bitmap bitmap;  // empty unless ok()
  ImageError error = ImageError::none;
  ImageFormat format = ImageFormat::unknown;  // as recognised, also on a decoding failure
  std::string message;  // why it failed; empty on success

  bool ok() const { return error == ImageError::none; }
};

// Reads and decodes one file. Safe to call from several threads at once.
ImageReadResult ReadImageFile(const std::string& path);

// The same for bytes in memory. The format is recognised by its signature;
// Targa files have none, so they are recognised by the extension (".tga",
// any letter case) together with a plausible header.
ImageReadResult DecodeImage(const uint8_t* data, size_t size, const std::string& extension);

// Starts the image library once, with the limits above; every reader calls
// it. Code that writes images through the same library (tests) calls it
// before doing so. Thread-safe.
void InitializeImageLibrary();

}  // namespace brevoxa
