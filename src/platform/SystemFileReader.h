#pragma once

// The file access of the system the program runs on.
#ifdef _WIN32
#include "platform/WindowsFileReader.h"
using SystemFileReader = WindowsFileReader;
#else
#include "platform/PosixFileReader.h"
using SystemFileReader = PosixFileReader;
#endif
