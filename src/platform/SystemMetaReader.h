#pragma once

// The metadata reader of the system the program runs on.
#ifdef _WIN32
#include "platform/WindowsMetaReader.h"
using SystemMetaReader = WindowsMetaReader;
#else
#include "platform/PosixMetaReader.h"
using SystemMetaReader = PosixMetaReader;
#endif
