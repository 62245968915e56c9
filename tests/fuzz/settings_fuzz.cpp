// libFuzzer driver for the settings readers: the first byte picks the kind
// (material, environment, render settings), the rest is the file.
#include <cstddef>
#include <cstdint>

#include "support/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto kind = static_cast<brevoxa::testing::SettingsKind>(1 + data[0] % 3);
  brevoxa::testing::FuzzSettings(kind, data + 1, size - 1);
  return 0;
}
