#pragma once

#include "platform/MetaReader.h"

// The owner's SID, the SDDL form of the DACL (as a digest), the reparse tag
// and the alternate data streams, each read through a handle opened for
// READ_CONTROL on the entry itself (a reparse point is never followed).
// Streams are read with sharing for read, write and delete, as files are;
// a reparse point's streams are not looked for, since the stream search
// would follow it.
class WindowsMetaReader : public MetaReader {
 public:
  void Read(const std::string& folderPath, const FindData& entry, std::optional<DigestAlgorithm> streamDigests,
            EntryMeta& meta) override;
};
