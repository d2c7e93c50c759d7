#pragma once

#include <cstddef>

// How many bytes the process may still take before the system would refuse
// it or end it: the memory the system has available, within the process's
// own limits and those of its control group.
class MemoryBudget {
 public:
  static std::size_t AvailableBytes();
  // Asks the system to back a large table that is read at random, not yet
  // touched, with large pages where it can: fewer misses of the address
  // cache. Nothing happens where it cannot.
  static void PreferLargePages(void* data, std::size_t bytes);
  // Has the threads share a few of the allocator's arenas rather than each
  // take one of its own: each arena keeps the peak of what was allocated in
  // it, so threads that allocate by turns (a folder's entries on a searching
  // thread, freed on the walking one) would multiply the peak. Called once,
  // before any thread starts.
  static void ShareAllocatorArenas();
};
