#include "platform/MapGuard.h"

// This system's reader maps no files, so there is nothing to guard.
MapGuard::MapGuard() = default;
void MapGuard::Watch(const unsigned char*, std::size_t) {}
void MapGuard::Forget(const unsigned char*) {}
bool MapGuard::Covers(const void*) const { return false; }
void MapGuard::Escape(const void*) { __builtin_trap(); }
bool MapGuard::Run(void (*body)(void* context), void* context) {
  body(context);
  return true;
}
