#pragma once

#include <string>

#include "app/MainWindowState.h"
#include "app/Surfaces.h"
#include "engine/FileDigester.h"
#include "platform/FindData.h"
#include "platform/FolderSearch.h"
#include "platform/RegionalSettings.h"

// The listing run: walks a folder tree breadth-first and fills ListBox1 with
// the file lines, the folder section and the summary line.
class ListingEngine {
 public:
  ListingEngine(MainWindowState& state, Surfaces& surfaces, FolderSearch& search, const RegionalSettings& settings);

  void RunListing(const std::string& folderPath);
  void ScanFolder(const std::string& folderPath);
  void AddListingEntry(const FindData& entry, const std::string& folderPath);
  std::string ComputeFileDigest(const std::string& filePath) { return digester_.ComputeFileDigest(filePath); }

 private:
  MainWindowState& state_;
  Surfaces& surfaces_;
  FolderSearch& search_;
  const RegionalSettings& settings_;
  FileDigester digester_;
  std::string line_;  // reused for every file line
};
