// libFuzzer driver for the archive stream reader.
#include <cstddef>
#include <cstdint>

#include "support/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  brevoxa::testing::FuzzArchive(data, size);
  return 0;
}
