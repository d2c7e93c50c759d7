#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/FolderSearch.h"

// A folder search over folders described in memory, so that the order of
// entries is fixed and any folder can be made unreadable.
class FakeFolderSearch : public FolderSearch {
 public:
  // folderPath ends with "/"; entries in the order the search returns them.
  void AddFolder(const std::string& folderPath, std::vector<FindData> entries) {
    folders_[folderPath] = std::move(entries);
  }
  std::unique_ptr<FolderSearchHandle> FindFirstFile(const std::string& pattern, int attributeMask,
                                                    FindData& first) override;

  static FindData File(const std::string& name, std::uint64_t size, std::int64_t seconds = 0,
                       std::uint32_t attributes = FileAttribute::Normal);
  static FindData Folder(const std::string& name);
  static std::vector<FindData> WithDots(std::vector<FindData> entries);

  std::vector<std::string> Patterns;
  // Called with each pattern as its search starts, to act in the middle of a run.
  std::function<void(const std::string&)> OnSearch;

 private:
  std::map<std::string, std::vector<FindData>> folders_;
};
