#pragma once

// The folder search of the system the program runs on.
#ifdef _WIN32
#include "platform/WindowsFolderSearch.h"
using SystemFolderSearch = WindowsFolderSearch;
#else
#include "platform/PosixFolderSearch.h"
using SystemFolderSearch = PosixFolderSearch;
#endif
