#include "platform/MapGuard.h"

// This system's reader maps no files, so there is nothing to guard.
MapGuard::MapGuard() = default;
bool MapGuard::Watch(const unsigned char*, std::size_t) { return false; }
void MapGuard::Forget(const unsigned char*) {}
bool MapGuard::Covers(const void*) const { return false; }
void MapGuard::Escape(const void*) { __builtin_trap(); }
bool MapGuard::Run(void (*body)(void* context), void* context) {
  body(context);
  return true;
}
