// Storage for arrays of megabytes, as the octree of a large scene holds.
// On the virtual machines we build and render on, the first touch of every
// fresh 4 KiB page costs a fault of about 15 µs: filling the octree's
// arrays for 70,000 polygons took longer than sorting the polygons into
// cells. Arrays of 256 KiB and more are therefore mapped on their own, in
// whole 2 MiB blocks aligned to 2 MiB, and ask the kernel for huge pages
// (transparent huge pages, on request), so that one fault covers 2 MiB; a
// 1.9 MB array took 5.5 ms to fill in 4 KiB pages and 0.2 ms in one huge
// page. Where the kernel does not offer them the request changes nothing.
// Smaller arrays come from the ordinary heap.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace brevoxa {

template <class T>
class LargeArrayAllocator {
 public:
  using value_type = T;

  LargeArrayAllocator() noexcept = default;
  template <class U>
  LargeArrayAllocator(const LargeArrayAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    const size_t bytes = n * sizeof(T);
    if (bytes < kMappedFrom) return std::allocator<T>().allocate(n);
    // A huge page must start on a 2 MiB boundary: map one block more than
    // needed and give back what lies before and after the aligned blocks.
    const size_t mapped = Rounded(bytes);
    void* memory = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
    auto* start = static_cast<char*>(memory);
    auto* aligned = reinterpret_cast<char*>(Rounded(reinterpret_cast<uintptr_t>(start)));
    if (aligned != start) munmap(start, static_cast<size_t>(aligned - start));
    const size_t after = kHugePage - static_cast<size_t>(aligned - start);
    if (after != 0) munmap(aligned + mapped, after);
    // A hint only: a kernel without huge pages for us ignores it.
    madvise(aligned, mapped, MADV_HUGEPAGE);
    return reinterpret_cast<T*>(aligned);
  }

  void deallocate(T* pointer, size_t n) noexcept {
    const size_t bytes = n * sizeof(T);
    if (bytes < kMappedFrom) {
      std::allocator<T>().deallocate(pointer, n);
    } else {
      munmap(pointer, Rounded(bytes));
    }
  }

  // Elements made without a value are default-initialised, not
  // value-initialised: resize() leaves the new elements of a type without
  // initialisers of its own (numbers, pointers, plain structs) as they
  // come, for the arrays that are sized first and then filled element by
  // element (on several threads, which then share the first touches of
  // the pages too). Types with member initialisers still get them.
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  friend bool operator==(const LargeArrayAllocator&, const LargeArrayAllocator&) noexcept { return true; }

 private:
  static constexpr size_t kHugePage = size_t{2} << 20;
  static constexpr size_t kMappedFrom = size_t{256} << 10;
  static size_t Rounded(size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }
};

template <class T>
using LargeVector = std::vector<T, LargeArrayAllocator<T>>;

}  // namespace brevoxa
