#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/FindData.h"

// An open search over one folder; destroying it closes the search.
class FolderSearchHandle {
 public:
  virtual ~FolderSearchHandle() = default;
  // Fills the next entry that passes the filter; false at the end or on an
  // error, which the search has then added to its failures.
  virtual bool FindNextFile(FindData& entry) = 0;
  // The searched folder's open descriptor, for reading its entries relative
  // to it while the search is open; -1 where there is none.
  virtual int FolderDescriptor() const { return -1; }
};

// The folder search the listing walks with: first, next, close.
class FolderSearch {
 public:
  virtual ~FolderSearch() = default;
  // Starts a search on pattern (a folder path followed by a mask) and fills the
  // first entry. An entry is passed over when its attribute word has any of the
  // bits hidden, system, volume label or directory that attributeMask lacks.
  // Returns nothing when there is no first entry. What cannot be read, the
  // folder itself or single entries, is added to failures, which must outlive
  // the returned search; an empty folder adds nothing.
  virtual std::unique_ptr<FolderSearchHandle> FindFirstFile(const std::string& pattern, int attributeMask,
                                                            FindData& first,
                                                            std::vector<SearchFailure>& failures) = 0;

  // True when the entry passes the attribute filter of a search.
  static bool PassesFilter(std::uint32_t attributes, int attributeMask) {
    constexpr std::uint32_t filtered =
        FileAttribute::Hidden | FileAttribute::System | FileAttribute::VolumeLabel | FileAttribute::Directory;
    return (attributes & filtered & ~static_cast<std::uint32_t>(attributeMask)) == 0;
  }
};
