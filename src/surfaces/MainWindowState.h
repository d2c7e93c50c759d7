#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "surfaces/FolderQueue.h"

// What one command of the main window leaves for the next.
struct MainWindowState {
  std::string DocumentFileName;
  std::string LastListPath;
  std::string ScanMask;
  std::int32_t ScanAttributes = 0;
  std::int32_t WidestLine = 0;
  std::int32_t WidestLoadedLine = 0;
  std::int32_t LastCommand = 0;  // 0 none, 1 listing run, 2 comparison
  ::FolderQueue FolderQueue;
  std::int32_t FileCount = 0;
  double TotalSize = 0.0;
  std::int32_t DigestCount = 0;        // digests put on file lines in the last run
  std::int32_t ReusedDigestCount = 0;  // of them, taken from the digest cache
  bool HasListing = false;
  bool HasLoadedListing = false;
  std::string LoadedFileName;  // the file shown in ListBox2, the baseline of the next comparison
};
