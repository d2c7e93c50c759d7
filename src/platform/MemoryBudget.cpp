#include "platform/MemoryBudget.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string>

namespace {

constexpr std::size_t kUnknown = std::numeric_limits<std::size_t>::max();

// "MemAvailable:  123456 kB" of /proc/meminfo, in bytes.
std::size_t SystemAvailable() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::size_t kib = 0;
  std::string unit;
  while (meminfo >> key >> kib >> unit)
    if (key == "MemAvailable:") return kib * 1024;
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  return pages > 0 && pageSize > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize) : kUnknown;
}

// A cgroup v2 limit less what the group already uses.
std::size_t GroupAvailable() {
  std::ifstream maxFile("/sys/fs/cgroup/memory.max"), currentFile("/sys/fs/cgroup/memory.current");
  std::size_t limit = 0, current = 0;
  if (!(maxFile >> limit) || !(currentFile >> current)) return kUnknown;  // "max" reads as no number
  return limit > current ? limit - current : 0;
}

std::size_t ProcessLimit(int resource) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
  return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace

std::size_t MemoryBudget::AvailableBytes() {
  return std::min({SystemAvailable(), GroupAvailable(), ProcessLimit(RLIMIT_AS), ProcessLimit(RLIMIT_DATA)});
}

void MemoryBudget::PreferLargePages(void* data, std::size_t bytes) {
  // madvise takes whole pages: the pages that lie within the table.
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto start = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) / page * page;
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

void MemoryBudget::ShareAllocatorArenas() {
#ifdef M_ARENA_MAX
  // Few threads allocate much, and not all at once: four arenas keep their
  // locks uncontended on any number of cores.
  mallopt(M_ARENA_MAX, 4);
#endif
}
