#include "FakeFolderSearch.h"

namespace {

class FakeHandle : public FolderSearchHandle {
 public:
  FakeHandle(const FakeFolderSearch::FakeFolder& folder, int mask, std::vector<SearchFailure>& failures)
      : folder_(folder), mask_(mask), failures_(failures) {}
  bool FindNextFile(FindData& entry) override {
    while (next_ < folder_.entries.size() && !failed_) {
      if (folder_.error != 0 && returned_ == folder_.failAfter) break;
      const FindData& candidate = folder_.entries[next_++];
      const auto broken = folder_.entryErrors.find(candidate.Name);
      if (broken != folder_.entryErrors.end()) {
        failures_.push_back(SearchFailure{candidate.Name, (candidate.Attributes & FileAttribute::Directory) != 0,
                                          broken->second});
        continue;
      }
      if (!FolderSearch::PassesFilter(candidate.Attributes, mask_)) continue;
      entry = candidate;
      ++returned_;
      return true;
    }
    if (folder_.error != 0 && !failed_) failures_.push_back(SearchFailure{{}, true, folder_.error});
    failed_ = true;
    return false;
  }

 private:
  const FakeFolderSearch::FakeFolder& folder_;
  int mask_;
  std::vector<SearchFailure>& failures_;
  std::size_t next_ = 0;
  std::size_t returned_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<FolderSearchHandle> FakeFolderSearch::FindFirstFile(const std::string& pattern, int attributeMask,
                                                                    FindData& first,
                                                                    std::vector<SearchFailure>& failures) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Patterns.push_back(pattern);
  }
  if (OnSearch) OnSearch(pattern);
  const std::string suffix = "*.*";
  if (pattern.size() < suffix.size()) return nullptr;
  const auto found = folders_.find(pattern.substr(0, pattern.size() - suffix.size()));
  if (found == folders_.end()) return nullptr;
  auto handle = std::make_unique<FakeHandle>(found->second, attributeMask, failures);
  if (!handle->FindNextFile(first)) return nullptr;
  return handle;
}

FindData FakeFolderSearch::File(const std::string& name, std::uint64_t size, std::int64_t seconds,
                                std::uint32_t attributes) {
  FindData data;
  data.Name = name;
  data.Size = size;
  data.ModifiedSeconds = seconds;
  data.Attributes = attributes;
  data.RegularFile = true;
  return data;
}

FindData FakeFolderSearch::Folder(const std::string& name) {
  FindData data;
  data.Name = name;
  data.Attributes = FileAttribute::Directory;
  return data;
}

std::vector<FindData> FakeFolderSearch::WithDots(std::vector<FindData> entries) {
  entries.insert(entries.begin(), {Folder("."), Folder("..")});
  return entries;
}
