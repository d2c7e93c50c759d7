#pragma once

#include <sys/stat.h>

#include "platform/FolderSearch.h"

// The folder search over a POSIX folder: entries in readdir order, each taken
// with fstatat on the folder's descriptor without following links, so that
// symbolic links are entries of their own and never followed. A folder that
// cannot be opened, a read of it that fails part-way and an entry that cannot
// be examined are failures; an entry removed meanwhile is not.
class PosixFolderSearch : public FolderSearch {
 public:
  std::unique_ptr<FolderSearchHandle> FindFirstFile(const std::string& pattern, int attributeMask,
                                                    FindData& first, std::vector<SearchFailure>& failures) override;

  // The attribute word of an entry: directory, read-only (no owner write bit),
  // hidden (name begins with "."), system (not a file, folder or link), or normal.
  static std::uint32_t AttributesOf(const struct stat& st, const char* name);
};
