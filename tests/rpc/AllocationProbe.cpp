#include "AllocationProbe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace testing_support {
namespace {

std::atomic<std::size_t> theLargest{0};
std::atomic<std::size_t> held{0};
std::atomic<std::size_t> mostHeld{0};

void Raise(std::atomic<std::size_t>& most, std::size_t value) {
  std::size_t seen = most.load(std::memory_order_relaxed);
  while (value > seen && !most.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

// Each block carries its size in front, so that freeing it can be counted.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* AllocateOrNull(std::size_t size) noexcept {
  Raise(theLargest, size);
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<std::size_t*>(block) = size;
  Raise(mostHeld, held.fetch_add(size, std::memory_order_relaxed) + size);
  return block + kHeader;
}

void* Allocate(std::size_t size) {
  if (void* p = AllocateOrNull(size)) return p;
  throw std::bad_alloc();
}

void Free(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kHeader;
  held.fetch_sub(*reinterpret_cast<std::size_t*>(block), std::memory_order_relaxed);
  std::free(block);
}

}  // namespace

AllocationProbe::AllocationProbe() : base_(held.load(std::memory_order_relaxed)) {
  theLargest.store(0, std::memory_order_relaxed);
  mostHeld.store(base_, std::memory_order_relaxed);
}
AllocationProbe::~AllocationProbe() = default;
std::size_t AllocationProbe::largest() const { return theLargest.load(std::memory_order_relaxed); }
std::size_t AllocationProbe::peak() const { return mostHeld.load(std::memory_order_relaxed) - base_; }

}  // namespace testing_support

// Replacements of the program's allocation functions; the aligned forms stay
// the library's.
void* operator new(std::size_t size) { return testing_support::Allocate(size); }
void* operator new[](std::size_t size) { return testing_support::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return testing_support::AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return testing_support::AllocateOrNull(size); }
void operator delete(void* p) noexcept { testing_support::Free(p); }
void operator delete[](void* p) noexcept { testing_support::Free(p); }
void operator delete(void* p, std::size_t) noexcept { testing_support::Free(p); }
void operator delete[](void* p, std::size_t) noexcept { testing_support::Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { testing_support::Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { testing_support::Free(p); }
