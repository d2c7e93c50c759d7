#include "FakeFolderSearch.h"

namespace {

class FakeHandle : public FolderSearchHandle {
 public:
  FakeHandle(const std::vector<FindData>& entries, int mask) : entries_(entries), mask_(mask) {}
  bool FindNextFile(FindData& entry) override {
    while (next_ < entries_.size()) {
      const FindData& candidate = entries_[next_++];
      if (!FolderSearch::PassesFilter(candidate.Attributes, mask_)) continue;
      entry = candidate;
      return true;
    }
    return false;
  }

 private:
  const std::vector<FindData>& entries_;
  int mask_;
  std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<FolderSearchHandle> FakeFolderSearch::FindFirstFile(const std::string& pattern, int attributeMask,
                                                                    FindData& first) {
  Patterns.push_back(pattern);
  if (OnSearch) OnSearch(pattern);
  const std::string suffix = "*.*";
  if (pattern.size() < suffix.size()) return nullptr;
  const auto found = folders_.find(pattern.substr(0, pattern.size() - suffix.size()));
  if (found == folders_.end()) return nullptr;
  auto handle = std::make_unique<FakeHandle>(found->second, attributeMask);
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
