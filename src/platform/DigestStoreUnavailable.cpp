#include "platform/DigestStore.h"
#include "platform/QuillonError.h"

// This build has no SQLite: the digest store cannot be opened, so a run
// that asks for reuse warns once and reads every file.

std::int64_t DigestStore::KeyOf(std::uint64_t, std::uint64_t inode, std::string_view, DigestAlgorithm) {
  return static_cast<std::int64_t>(inode & 0x7FFFFFFFFFFFFFFFULL);
}

DigestStore::DigestStore(const std::string& path) : path_(path) {
  throw QuillonError("this build of the program keeps no digest cache");
}

DigestStore::~DigestStore() = default;

std::string DigestStore::DefaultPath() { return "digests.sqlite"; }
bool DigestStore::Available() { return false; }

std::vector<StoredDigest> DigestStore::FindFolder(std::uint64_t, std::string_view, DigestAlgorithm) { return {}; }
void DigestStore::FindFolder(std::uint64_t, std::string_view, DigestAlgorithm, std::vector<StoredDigest>& rows) {
  rows.clear();
}
std::int64_t DigestStore::FolderKeyOf(std::int64_t key) { return key >> 32; }
bool DigestStore::Update(const std::vector<StoredDigest>&, const std::vector<std::int64_t>&, std::int64_t) {
  return false;
}
bool DigestStore::Expire(std::int64_t, std::int64_t) { return false; }
