#pragma once

#include <sys/stat.h>

#include "platform/FolderSearch.h"

// The folder search over a POSIX folder: entries in readdir order, each taken
// with lstat, so that symbolic links are entries of their own and never followed.
class PosixFolderSearch : public FolderSearch {
 public:
  std::unique_ptr<FolderSearchHandle> FindFirstFile(const std::string& pattern, int attributeMask,
                                                    FindData& first) override;

  // The attribute word of an entry: directory, read-only (no owner write bit),
  // hidden (name begins with "."), system (not a file, folder or link), or normal.
  static std::uint32_t AttributesOf(const struct stat& st, const char* name);
};
