#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/FolderSearch.h"

// A folder search over folders described in memory, so that the order of
// entries is fixed and any folder or entry can be made unreadable. Folders are
// described before a listing; a digest listing searches them from several
// threads, and calls OnSearch from any of them.
class FakeFolderSearch : public FolderSearch {
 public:
  // folderPath ends with "/"; entries in the order the search returns them.
  void AddFolder(const std::string& folderPath, std::vector<FindData> entries) {
    folders_[folderPath].entries = std::move(entries);
  }
  // The folder's search fails with error once it has returned `after`
  // entries; 0 means the folder cannot be opened at all.
  void FailFolder(const std::string& folderPath, std::size_t after, int error) {
    folders_[folderPath].failAfter = after;
    folders_[folderPath].error = error;
  }
  // The entry of that name cannot be examined: reported, never returned.
  void FailEntry(const std::string& folderPath, const std::string& name, int error) {
    folders_[folderPath].entryErrors[name] = error;
  }
  std::unique_ptr<FolderSearchHandle> FindFirstFile(const std::string& pattern, int attributeMask, FindData& first,
                                                    std::vector<SearchFailure>& failures) override;

  static FindData File(const std::string& name, std::uint64_t size, std::int64_t seconds = 0,
                       std::uint32_t attributes = FileAttribute::Normal);
  static FindData Folder(const std::string& name);
  static std::vector<FindData> WithDots(std::vector<FindData> entries);

  // Every pattern searched, in the order the searches began.
  std::vector<std::string> Patterns;
  // Called with each pattern as its search starts, to act in the middle of a run.
  std::function<void(const std::string&)> OnSearch;

  struct FakeFolder {
    std::vector<FindData> entries;
    std::map<std::string, int> entryErrors;
    std::size_t failAfter = 0;
    int error = 0;  // 0: no failure
  };

 private:
  std::mutex mutex_;
  std::map<std::string, FakeFolder> folders_;
};
