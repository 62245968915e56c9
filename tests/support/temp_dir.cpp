// Temporary folders for tests.
#include "support/temp_dir.h"

#include <unistd.h>

#include <atomic>
#include <system_error>

namespace brevoxa::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("brevoxa-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace brevoxa::testing
