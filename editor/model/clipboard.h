// The application's internal clipboard: one in-memory stream of copied
// scene items or elements and the kind of what it holds. It is shared by
// every workspace document of the application and never leaves it, so its
// records may name classes and forms of this process only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brevoxa {

// What the clipboard holds (the scene items' record kinds).
inline constexpr int kClipboardEmpty = 0;

class InternalClipboard {
 public:
  // The memory stream grows in these steps; archives on it use this buffer.
  static constexpr size_t kGrowth = 1024;
  static constexpr size_t kBufferSize = 4096;

  int GetKind() const { return kind_; }
  bool IsEmpty() const { return kind_ == kClipboardEmpty; }
  const std::vector<uint8_t>& GetBytes() const { return bytes_; }

  // Replaces the contents; a kind of 0 empties it.
  void Set(std::vector<uint8_t> bytes, int kind);
  void Clear() { Set({}, kClipboardEmpty); }

 private:
  std::vector<uint8_t> bytes_;
  int kind_ = kClipboardEmpty;
};

}  // namespace brevoxa
