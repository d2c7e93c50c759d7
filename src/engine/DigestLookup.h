#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/DigestCache.h"
#include "platform/FindData.h"

// Looks a folder's files up in the digest cache on the thread that searched
// the folder, ahead of the walk, through a connection to the store of its
// own, so that the walk finds the digests it may reuse ready. The walk alone
// decides what is reused and counts it (DigestCache::CountReused); a lookup
// only finds. Each row found is checked as DigestCache checks it.
class DigestLookup {
 public:
  explicit DigestLookup(const DigestCache& cache) : cache_(cache) {}

  // One per entry of entries, Found where the cache may give that file's
  // digest of algorithm. False when no lookup could be made, the store found
  // damaged among them: then the walk looks the files up itself.
  bool Look(const std::string& folder, const std::vector<FindData>& entries, DigestAlgorithm algorithm,
            std::vector<CachedDigest>& found);

  // The state of a file as the cache keeps it, from what the search saw.
  static FileStamp StampOf(const FindData& entry);

 private:
  const DigestCache& cache_;
  std::unique_ptr<DigestStore> store_;
  std::vector<StoredDigest> rows_;  // of the folder looked up last
  bool failed_ = false;  // the store could not be opened here: no more tries
};
