// Watches the heap of the test program while a probe lives: the largest
// single allocation, and the most memory held at once beyond what was held
// when the probe began. The program's operator new reports to it
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
  // Most bytes held at once since construction, beyond those held then.
  std::size_t peak() const;

private:
  std::size_t base_;
};

}  // namespace testing_support
