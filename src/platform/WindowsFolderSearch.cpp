#include "platform/WindowsApi.h"

#include "platform/WindowsFolderSearch.h"

#include "platform/WindowsErrors.h"

namespace {

void Fill(const WIN32_FIND_DATAW& data, FindData& entry) {
  entry.Attributes = data.dwFileAttributes;
  entry.Name = NarrowOf(data.cFileName);
  entry.Size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  // Folders, links and devices are never opened for a digest.
  entry.RegularFile =
      (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
  UnixTimeOf(data.ftLastWriteTime, entry.ModifiedSeconds, entry.ModifiedNanoseconds);
}

class WindowsSearchHandle : public FolderSearchHandle {
 public:
  WindowsSearchHandle(WindowsFolderSearch& search, std::string folder, int attributeMask,
                      std::vector<SearchFailure>& failures)
      : search_(search), folder_(std::move(folder)), attributeMask_(attributeMask), failures_(failures) {}
  ~WindowsSearchHandle() override {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  WindowsSearchHandle(const WindowsSearchHandle&) = delete;
  WindowsSearchHandle& operator=(const WindowsSearchHandle&) = delete;

  bool Start(const std::string& pattern, FindData& first) {
    WIN32_FIND_DATAW data;
    handle_ = FindFirstFileW(SystemPathOf(pattern).c_str(), &data);
    if (handle_ == INVALID_HANDLE_VALUE) {
      // Nothing matched: an empty folder (a drive root has no "." entry).
      if (GetLastError() != ERROR_FILE_NOT_FOUND) Failed();
      return false;
    }
    if (Take(data, first)) return true;
    return FindNextFile(first);
  }

  bool FindNextFile(FindData& entry) override {
    WIN32_FIND_DATAW data;
    while (FindNextFileW(handle_, &data)) {
      if (Take(data, entry)) return true;
    }
    if (GetLastError() != ERROR_NO_MORE_FILES) Failed();
    return false;
  }

 private:
  bool Take(const WIN32_FIND_DATAW& data, FindData& entry) {
    if (!FolderSearch::PassesFilter(data.dwFileAttributes, attributeMask_)) return false;
    Fill(data, entry);
    const DWORD linkedFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((data.dwFileAttributes & linkedFolder) == linkedFolder)
      search_.NoteLinkedFolder(folder_ + entry.Name + kPathSeparator);
    return true;
  }

  // The folder could not be searched, or not to its end.
  void Failed() { failures_.push_back(SearchFailure{std::string(), true, ErrnoOfWindowsError(GetLastError())}); }

  WindowsFolderSearch& search_;
  std::string folder_;
  int attributeMask_;
  std::vector<SearchFailure>& failures_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<FolderSearchHandle> WindowsFolderSearch::FindFirstFile(const std::string& pattern, int attributeMask,
                                                                       FindData& first,
                                                                       std::vector<SearchFailure>& failures) {
  const auto separator = pattern.find_last_of("\\/");
  std::string folder = separator == std::string::npos ? std::string() : pattern.substr(0, separator + 1);
  if (linkedFolders_.count(folder) != 0) return nullptr;
  auto handle = std::make_unique<WindowsSearchHandle>(*this, std::move(folder), attributeMask, failures);
  if (!handle->Start(pattern, first)) return nullptr;
  return handle;
}
