#pragma once

#include <cstddef>

// How many bytes the process may still take before the system would refuse
// it or end it: the memory the system has available, within the process's
// own limits and those of its control group.
class MemoryBudget {
 public:
  static std::size_t AvailableBytes();
};
