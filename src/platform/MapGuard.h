#pragma once

#include <array>
#include <cstddef>
#ifndef _WIN32
#include <setjmp.h>
#endif

// Reads of files mapped into memory, made safe against the files changing.
// A mapped file that another program shortens leaves the pages past its new
// end without backing, and touching one of them raises SIGBUS, which would
// end the program. Within Run, a touch of a watched mapping is cut short and
// reported instead. One guard per thread; where the system maps no files
// (FileReader::MapIfCached gives none), Run only calls its body.
class MapGuard {
 public:
  static constexpr std::size_t kMostWatched = 16;

  MapGuard();
  MapGuard(const MapGuard&) = delete;
  MapGuard& operator=(const MapGuard&) = delete;

  // Mappings whose loss Run survives; a guard watches up to kMostWatched:
  // false when it watches as many already.
  bool Watch(const unsigned char* begin, std::size_t size);
  void Forget(const unsigned char* begin);

  // Calls body(context); false when body touched a page of a watched
  // mapping that had lost its backing, and was cut short there: whatever
  // it was writing is then half done. body must take no lock and allocate
  // nothing, since it may be left at any instruction.
  bool Run(void (*body)(void* context), void* context);
  // The mapping that lost a page, after Run gave false.
  const unsigned char* Lost() const { return lost_; }

  // For the signal handler, on the thread that touched address.
  bool Covers(const void* address) const;
  [[noreturn]] void Escape(const void* address);

 private:
  struct Range {
    const unsigned char* begin = nullptr;
    std::size_t size = 0;
  };
  std::array<Range, kMostWatched> watched_{};
  const unsigned char* lost_ = nullptr;
#ifndef _WIN32
  sigjmp_buf jump_;
#endif
};
