#include "AllocationProbe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace testing_support {
namespace {

std::atomic<std::size_t> theLargest{0};

void Note(std::size_t size) {
  std::size_t seen = theLargest.load(std::memory_order_relaxed);
  while (size > seen && !theLargest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
  }
}

void* Allocate(std::size_t size) {
  Note(size);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

AllocationProbe::AllocationProbe() { theLargest.store(0, std::memory_order_relaxed); }
AllocationProbe::~AllocationProbe() = default;
std::size_t AllocationProbe::largest() const { return theLargest.load(std::memory_order_relaxed); }

}  // namespace testing_support

// Replacements of the program's allocation functions; the aligned forms stay
// the library's.
void* operator new(std::size_t size) { return testing_support::Allocate(size); }
void* operator new[](std::size_t size) { return testing_support::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  testing_support::Note(size);
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  testing_support::Note(size);
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
