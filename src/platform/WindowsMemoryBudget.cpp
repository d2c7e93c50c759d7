#include "platform/WindowsApi.h"

#include "platform/MemoryBudget.h"

#include <algorithm>
#include <limits>

std::size_t MemoryBudget::AvailableBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::numeric_limits<std::size_t>::max();
  // What the machine has free, within what the process can still address.
  return static_cast<std::size_t>(std::min(status.ullAvailPhys, status.ullAvailVirtual));
}

// Large pages need a privilege that programs seldom hold: nothing to ask for.
void MemoryBudget::PreferLargePages(void*, std::size_t) {}
void MemoryBudget::ShareAllocatorArenas() {}
