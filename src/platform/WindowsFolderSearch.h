#pragma once

#include <set>
#include <string>

#include "platform/FolderSearch.h"

// The folder search over the Windows file search, in the order it returns the
// entries, with the attribute word as Windows gives it. A folder that is a
// reparse point (a junction or a link to a folder) is handed out like any
// folder, but a later search of it yields nothing: it is never walked into,
// so that a link back up the tree makes no cycle. The folder a search starts
// from is searched even when it is such a link.
class WindowsFolderSearch : public FolderSearch {
 public:
  std::unique_ptr<FolderSearchHandle> FindFirstFile(const std::string& pattern, int attributeMask, FindData& first,
                                                    std::vector<SearchFailure>& failures) override;

  // Records a folder found as a reparse point, by its folder path.
  void NoteLinkedFolder(std::string folderPath) { linkedFolders_.insert(std::move(folderPath)); }

 private:
  std::set<std::string> linkedFolders_;
};
