// Watches the heap of the test program: the largest single allocation made
// while a probe lives. The program's operator new reports to it
// (AllocationProbe.cpp), so code under test needs no hook.
#pragma once

#include <cstddef>

namespace testing_support {

class AllocationProbe {
public:
  AllocationProbe();
  ~AllocationProbe();
  AllocationProbe(const AllocationProbe&) = delete;
  AllocationProbe& operator=(const AllocationProbe&) = delete;

  // Bytes of the largest allocation since construction.
  std::size_t largest() const;
};

}  // namespace testing_support
