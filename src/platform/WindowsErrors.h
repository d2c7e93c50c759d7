#pragma once

#include <cstdint>

// The errno value that tells the same as a Windows error code, so that the
// program's messages give the same reasons on every system.
int ErrnoOfWindowsError(std::uint32_t error);
