#pragma once

#include <optional>
#include <string>

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
};
