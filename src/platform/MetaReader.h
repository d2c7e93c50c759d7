#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/DigestAlgorithm.h"
#include "platform/EntryMeta.h"
#include "platform/FindData.h"

// Reads the metadata of an entry a folder search found: link target and
// extended attributes on POSIX; owner, access list, reparse tag and streams
// on Windows. A link is never followed. What cannot be read is named in the
// failures and left empty, and the listing tells it as unreadable.
class MetaReader {
 public:
  virtual ~MetaReader() = default;
  // folderPath ends with the separator; streams get digests of the given
  // algorithm, or none. Called from any thread.
  virtual void Read(const std::string& folderPath, const FindData& entry, std::optional<DigestAlgorithm> streamDigests,
                    EntryMeta& meta) = 0;
  // The same for the entries of one folder, metas[i] for entries[i]; a
  // reader may open the folder once for all of them. Dot entries are passed
  // over; stop is asked between entries. folderDescriptor is the folder's
  // open descriptor where the search has one, else -1.
  virtual void ReadFolder(const std::string& folderPath, int /*folderDescriptor*/, const std::vector<FindData>& entries,
                          std::optional<DigestAlgorithm> streamDigests, std::vector<EntryMeta>& metas,
                          const std::function<bool()>& stop) {
    metas.resize(entries.size());
    for (std::size_t i = 0; i < entries.size() && !(stop && stop()); ++i)
      if (entries[i].Name != "." && entries[i].Name != "..") Read(folderPath, entries[i], streamDigests, metas[i]);
  }
};
