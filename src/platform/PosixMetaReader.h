#pragma once

#include "platform/MetaReader.h"

// Link targets with readlink, extended attributes with llistxattr and
// lgetxattr: the l-calls never follow a link. Values are read only where the
// list says there are any, so a file without attributes costs one call.
class PosixMetaReader : public MetaReader {
 public:
  void Read(const std::string& folderPath, const FindData& entry, std::optional<DigestAlgorithm> streamDigests,
            EntryMeta& meta) override;
  // Opens the folder once and reads each entry relative to it where the
  // system has the calls for that (listxattrat), else by its path.
  void ReadFolder(const std::string& folderPath, int folderDescriptor, const std::vector<FindData>& entries,
                  std::optional<DigestAlgorithm> streamDigests, std::vector<EntryMeta>& metas,
                  const std::function<bool()>& stop) override;

  // The digest of attributes: SHA-256 over each name, a NUL, the value's
  // length as 8 bytes big-endian and the value, in byte order of the names.
  static std::string DigestOf(std::vector<std::pair<std::string, std::string>> attributes);
};
