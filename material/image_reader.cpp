// Image reading through GraphicsMagick++. The decoder is chosen here from
// the file's signature, never from the library's own guess or from the file
// name, so that a file can only reach the seven decoders this program
// offers; the library's header-driven size checks are armed with our limits
// before the first decode.
#include "material/image_reader.h"

#include <Magick++.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <string_view>
#include <utility>

namespace brevoxa {

namespace {

// Pixel-cache memory for all images decoding at once: the largest image at
// 16 bits per channel with room for a second. Beyond it the library would
// spill to temporary files, which is turned off.
constexpr int64_t kMaxDecoderMemory = kMaxImagePixels * 8 * 2;

// Photo CD files hold several resolutions; the third is the 768 x 512 base.
constexpr unsigned kPhotoCdBaseImage = 3;

// --- Recognising the format ---

bool StartsWith(const uint8_t* data, size_t size, size_t offset, std::string_view magic) {
  return size >= offset + magic.size() && std::memcmp(data + offset, magic.data(), magic.size()) == 0;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// A Targa header has no signature; these fields have few valid values.
bool PlausibleTargaHeader(const uint8_t* data, size_t size) {
  constexpr size_t kHeaderBytes = 18;
  if (size < kHeaderBytes) return false;
  const uint8_t colorMapType = data[1];
  const uint8_t imageType = data[2];
  const uint8_t bitsPerPixel = data[16];
  const bool knownType = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                         imageType == 10 || imageType == 11;
  const bool knownDepth = bitsPerPixel == 8 || bitsPerPixel == 15 || bitsPerPixel == 16 ||
                          bitsPerPixel == 24 || bitsPerPixel == 32;
  return colorMapType <= 1 && knownType && knownDepth;
}

ImageFormat Recognise(const uint8_t* data, size_t size, const std::string& extension) {
  if (StartsWith(data, size, 0, "BM")) return ImageFormat::bmp;
  if (StartsWith(data, size, 0, "\xFF\xD8\xFF")) return ImageFormat::jpeg;
  if (StartsWith(data, size, 0, "\x89PNG\r\n\x1A\n")) return ImageFormat::png;
  if (StartsWith(data, size, 0, std::string_view("II*\0", 4)) ||
      StartsWith(data, size, 0, std::string_view("MM\0*", 4))) {
    return ImageFormat::tiff;
  }
  if (StartsWith(data, size, 2048, "PCD_IPI")) return ImageFormat::pcd;
  // PCX: manufacturer 10, version 0 to 5, run-length encoding 1, and the
  // full 128-byte header.
  if (size >= 128 && data[0] == 0x0A && data[1] <= 5 && data[2] == 1) return ImageFormat::pcx;
  if (Lower(extension) == ".tga" && PlausibleTargaHeader(data, size)) return ImageFormat::tga;
  return ImageFormat::unknown;
}

const char* DecoderName(ImageFormat format) {
  switch (format) {
    case ImageFormat::bmp: return "BMP";
    case ImageFormat::jpeg: return "JPEG";
    case ImageFormat::pcd: return "PCD";
    case ImageFormat::pcx: return "PCX";
    case ImageFormat::tga: return "TGA";
    case ImageFormat::tiff: return "TIFF";
    case ImageFormat::png: return "PNG";
    case ImageFormat::unknown: break;
  }
  return "";
}

// The library guesses the format from the content even when told which
// decoder to use. The guess must then name the same family ("BMP3", "PNG00")
// or be no guess at all, else the bytes would reach a decoder we never chose.
bool LibraryAgrees(const uint8_t* data, size_t size, ImageFormat format) {
  const char* guess = MagickLib::GetImageMagick(data, size);
  if (guess == nullptr) return true;
  std::string_view name(guess);
  if (format == ImageFormat::jpeg) return name == "JPEG" || name == "JPG";
  if (format == ImageFormat::tiff) return name.starts_with("TIF");
  if (format == ImageFormat::tga) return false;
  return name.starts_with(DecoderName(format));
}

ImageReadResult Failure(ImageError error, ImageFormat format, std::string message) {
  ImageReadResult result;
  result.error = error;
  result.format = format;
  result.message = std::move(message);
  return result;
}

std::string TooLargeText() {
  return "The image is larger than " + std::to_string(kMaxImageSide) + " pixels on a side or " +
         std::to_string(kMaxImagePixels) + " pixels in all.";
}

std::string FileTooLargeText() {
  return "The file is larger than " + std::to_string(kMaxImageFileBytes >> 20) + " MiB.";
}

// --- Converting to the bitmap ---

ImageReadResult ToBitmap(Magick::Image& image, ImageFormat format) {
  const auto width = static_cast<int64_t>(image.columns());
  const auto height = static_cast<int64_t>(image.rows());
  if (width <= 0 || height <= 0) return Failure(ImageError::corrupt, format, "The image has no pixels.");
  if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels) {
    return Failure(ImageError::tooLarge, format, TooLargeText());
  }
  // CMYK and luminance-chroma images would come out with their channels
  // read as red, green and blue.
  switch (image.colorSpace()) {
    case MagickLib::RGBColorspace:
    case MagickLib::TransparentColorspace:
    case MagickLib::GRAYColorspace:
    case MagickLib::Rec601LumaColorspace:
    case MagickLib::Rec709LumaColorspace:
      break;
    default:
      image.colorSpace(MagickLib::RGBColorspace);
  }

  ImageReadResult result;
  result.format = format;
  Bitmap& bitmap = result.bitmap;
  bitmap.width = static_cast<int>(width);
  bitmap.height = static_cast<int>(height);
  const size_t stride = bitmap.RowBytes();
  bitmap.bgr.assign(stride * bitmap.height, 0);
  for (int y = 0; y < bitmap.height; ++y) {
    uint8_t* row = bitmap.bgr.data() + static_cast<size_t>(bitmap.height - 1 - y) * stride;
    image.write(0, y, bitmap.width, 1, "BGR", Magick::CharPixel, row);
  }
  return result;
}

}  // namespace

void InitializeImageLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    // As Magick::InitializeMagick, but without the library's handlers for
    // SIGINT, SIGTERM, SIGABRT and the rest, which would take those signals
    // away from the program (and from sanitizers and crash reports).
    MagickLib::ExceptionInfo exception;
    MagickLib::GetExceptionInfo(&exception);
    MagickLib::InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &exception);
    MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, kMaxImageSide);
    MagickLib::SetMagickResourceLimit(MagickLib::HeightResource, kMaxImageSide);
    MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, kMaxImagePixels);
    MagickLib::SetMagickResourceLimit(MagickLib::MemoryResource, kMaxDecoderMemory);
    MagickLib::SetMagickResourceLimit(MagickLib::DiskResource, 0);
    // The library fills its list of formats on first use; until then its
    // content guess answers nothing, which would defeat LibraryAgrees.
    MagickLib::GetMagickInfo("*", &exception);
    MagickLib::DestroyExceptionInfo(&exception);
  });
}

std::vector<uint8_t> Bitmap::TopDownRgb() const {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  uint8_t* out = rgb.data();
  for (int j = 0; j < height; ++j) {
    for (int i = 0; i < width; ++i) {
      const uint8_t* texel = Texel(i, j);
      *out++ = texel[2];
      *out++ = texel[1];
      *out++ = texel[0];
    }
  }
  return rgb;
}

ImageReadResult DecodeImage(const uint8_t* data, size_t size, const std::string& extension) {
  // The library asserts on a null block, so empty input never reaches it.
  if (data == nullptr || size == 0) return Failure(ImageError::empty, ImageFormat::unknown, "The file is empty.");
  if (size > kMaxImageFileBytes) return Failure(ImageError::tooLarge, ImageFormat::unknown, FileTooLargeText());
  InitializeImageLibrary();

  const ImageFormat format = Recognise(data, size, extension);
  if (format == ImageFormat::unknown || !LibraryAgrees(data, size, format)) {
    return Failure(ImageError::unknownFormat, format, "The file is not in an image format that can be read.");
  }
  try {
    Magick::Image image;
    // Warnings (a JPEG cut short) still give a usable image, as viewers show it.
    image.quiet(true);
    image.magick(DecoderName(format));
    image.subImage(format == ImageFormat::pcd ? kPhotoCdBaseImage : 0);
    image.subRange(1);
    image.read(Magick::Blob(data, size));
    return ToBitmap(image, format);
  } catch (const Magick::ErrorResourceLimit&) {
    return Failure(ImageError::tooLarge, format, TooLargeText());
  } catch (const Magick::Exception& e) {
    return Failure(ImageError::corrupt, format, std::string("The image data cannot be decoded: ") + e.what());
  } catch (const std::bad_alloc&) {
    return Failure(ImageError::tooLarge, format, TooLargeText());
  } catch (const std::exception& e) {
    return Failure(ImageError::corrupt, format, std::string("The image data cannot be decoded: ") + e.what());
  }
}

ImageReadResult ReadImageFile(const std::string& path) {
  const std::string extension = std::filesystem::path(path).extension().string();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return Failure(ImageError::openFailed, ImageFormat::unknown, "Cannot open " + path + ".");
  }
  if (const auto size = std::filesystem::file_size(path, ec); !ec && size > kMaxImageFileBytes) {
    return Failure(ImageError::tooLarge, ImageFormat::unknown, FileTooLargeText());
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return Failure(ImageError::openFailed, ImageFormat::unknown,
                   "Cannot open " + path + ": " + std::strerror(errno) + ".");
  }
  // Stop one block past the limit, so that a file that grows while it is
  // read cannot make the buffer grow with it.
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  bool failed = false;
  while (bytes.size() <= kMaxImageFileBytes) {
    const size_t n = std::fread(block, 1, sizeof block, file);
    bytes.insert(bytes.end(), block, block + n);
    if (n < sizeof block) {
      failed = std::ferror(file) != 0;
      break;
    }
  }
  std::fclose(file);
  if (failed) return Failure(ImageError::openFailed, ImageFormat::unknown, "Cannot read " + path + ".");
  return DecodeImage(bytes.data(), bytes.size(), extension);
}

}  // namespace brevoxa
