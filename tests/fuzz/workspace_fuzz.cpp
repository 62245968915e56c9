// libFuzzer driver for the workspace file reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "support/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using brevoxa::testing::FuzzOutcome;
  // A workspace left dangling or half-loaded is a finding, like a crash.
  if (brevoxa::testing::FuzzWorkspace(data, size).kind == FuzzOutcome::inconsistent) std::abort();
  return 0;
}
