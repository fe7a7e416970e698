#pragma once
// The bytes that operator new holds, for tests that bound the memory a step takes, and a way to make an
// allocation fail. A test executable that compiles AllocationCounter.cpp has the global operator new and
// delete replaced by counting ones.
#include <cstddef>

// The most bytes held at once since construction, above those held at construction.
class AllocationPeak {
 public:
  AllocationPeak();
  std::size_t Bytes() const;

 private:
  std::size_t m_Start;
};

// The next allocation throws std::bad_alloc.
void FailNextAllocation();
