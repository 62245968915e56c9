// libFuzzer driver for the form file body reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "support/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using brevoxa::testing::FuzzOutcome;
  // A polygon left pointing outside its form is a finding, like a crash.
  if (brevoxa::testing::FuzzFormBody(data, size).kind == FuzzOutcome::inconsistent) std::abort();
  return 0;
}
