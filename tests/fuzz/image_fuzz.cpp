// libFuzzer driver for the image reader: the first byte picks the file name
// extension, the rest is the file.
#include <cstddef>
#include <cstdint>

#include "support/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kExtensions[] = {".bmp", ".jpg", ".pcd", ".pcx", ".tga", ".tif", ".png"};
  if (size == 0) return 0;
  brevoxa::testing::FuzzImage(data + 1, size - 1, kExtensions[data[0] % 7]);
  return 0;
}
