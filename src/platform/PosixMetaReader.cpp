#include "platform/PosixMetaReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <sys/syscall.h>

#include "platform/LongPath.h"
#include "platform/StreamDigest.h"

namespace {

// A path the l-calls take: the entry's own, or past the system's limit the
// entry's name inside its folder opened step by step, through the
// descriptor's name in /proc.
class EntryPath {
 public:
  EntryPath(const std::string& folderPath, const std::string& name) {
    if (folderPath.size() + name.size() < PATH_MAX) {
      path_ = folderPath + name;
      return;
    }
    folder_ = LongPath::Open(folderPath, O_RDONLY | O_DIRECTORY | O_NONBLOCK);
    path_ = "/proc/self/fd/" + std::to_string(folder_) + "/" + name;
  }
  ~EntryPath() {
    if (folder_ >= 0) close(folder_);
  }
  EntryPath(const EntryPath&) = delete;
  EntryPath& operator=(const EntryPath&) = delete;
  const char* c_str() const { return path_.c_str(); }

 private:
  std::string path_;
  int folder_ = -1;
};

// A file system without attributes has none to tell.
bool NoAttributes(int error) { return error == ENOTSUP || error == ENODATA; }

// Reads a list or a value whose size may change between asking and reading.
template <typename Call>
bool ReadSized(std::string& into, Call call, int& error) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) {
      error = errno;
      return false;
    }
    into.resize(static_cast<std::size_t>(size));
    if (size == 0) return true;
    const ssize_t got = call(into.data(), into.size());
    if (got >= 0) {
      into.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) {
      error = errno;
      return false;
    }
  }
  error = ERANGE;
  return false;
}

}  // namespace

std::string PosixMetaReader::DigestOf(std::vector<std::pair<std::string, std::string>> attributes) {
  std::sort(attributes.begin(), attributes.end());
  StreamDigest digest(DigestAlgorithm::Sha256);
  digest.Start();
  for (const auto& [name, value] : attributes) {
    unsigned char length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(value.size()) >> (56 - 8 * i));
    digest.Update(reinterpret_cast<const unsigned char*>(name.data()), name.size() + 1);  // with its NUL
    digest.Update(length, sizeof length);
    digest.Update(reinterpret_cast<const unsigned char*>(value.data()), value.size());
  }
  std::string text(DigestDigitsOf(DigestAlgorithm::Sha256), '0');
  digest.FinishHex(text.data());
  return text;
}

namespace {

// listxattrat(2), which names the entry relative to a folder's descriptor:
// no walk of the whole path per file. Linux has it from 6.13 on, under the
// same number on every architecture; glibc does not wrap it yet.
constexpr long kListxattrat = 465;

// Reads one entry, relative to folder where that is open (-1: by path);
// clears canListAt when the system lacks listxattrat.
void ReadEntry(int folder, bool& canListAt, const std::string& folderPath, const FindData& entry, EntryMeta& meta) {
  meta.Clear();
  meta.Of = EntryMeta::Kind::Posix;
  std::optional<EntryPath> path;
  const auto byPath = [&]() -> const char* {
    if (!path) path.emplace(folderPath, entry.Name);
    return path->c_str();
  };
  if (S_ISLNK(entry.Mode)) {
    std::string target(entry.Size > 0 && entry.Size < (1u << 20) ? entry.Size + 1 : PATH_MAX, '\0');
    const ssize_t got = folder >= 0 ? readlinkat(folder, entry.Name.c_str(), target.data(), target.size())
                                    : readlink(byPath(), target.data(), target.size());
    if (got < 0 || static_cast<std::size_t>(got) == target.size()) {
      meta.Failures.push_back({"link target", got < 0 ? errno : ENAMETOOLONG});
    } else {
      target.resize(static_cast<std::size_t>(got));
      meta.LinkTarget = std::move(target);
    }
  }
  std::string names;
  int error = 0;
  const auto list = [&](char* into, std::size_t size) -> ssize_t {
    if (folder >= 0 && canListAt) {
      const long got = syscall(kListxattrat, folder, entry.Name.c_str(), AT_SYMLINK_NOFOLLOW, into, size);
      if (got >= 0 || errno != ENOSYS) return static_cast<ssize_t>(got);
      canListAt = false;
    }
    return llistxattr(byPath(), into, size);
  };
  if (!ReadSized(names, list, error)) {
    if (!NoAttributes(error)) {
      meta.Failures.push_back({"extended attributes", error});
      meta.XattrDigest.assign(DigestDigitsOf(DigestAlgorithm::Sha256), '0');
    }
    return;
  }
  if (names.empty()) return;
  std::vector<std::pair<std::string, std::string>> attributes;
  for (std::size_t at = 0; at < names.size();) {
    const std::size_t end = std::min(names.find('\0', at), names.size());
    std::string name = names.substr(at, end - at);
    at = end + 1;
    if (name.empty()) continue;
    std::string value;
    if (!ReadSized(value, [&](char* into, std::size_t size) { return lgetxattr(byPath(), name.c_str(), into, size); },
                   error)) {
      // One removed since the list was read is simply gone.
      if (error == ENODATA) continue;
      meta.Failures.push_back({"extended attribute " + name, error});
      meta.XattrDigest.assign(DigestDigitsOf(DigestAlgorithm::Sha256), '0');
      return;
    }
    attributes.emplace_back(std::move(name), std::move(value));
  }
  if (!attributes.empty()) meta.XattrDigest = PosixMetaReader::DigestOf(std::move(attributes));
}

}  // namespace

void PosixMetaReader::Read(const std::string& folderPath, const FindData& entry, std::optional<DigestAlgorithm>,
                           EntryMeta& meta) {
  bool canListAt = false;
  ReadEntry(-1, canListAt, folderPath, entry, meta);
}

void PosixMetaReader::ReadFolder(const std::string& folderPath, int folderDescriptor, const std::vector<FindData>& entries,
                                 std::optional<DigestAlgorithm>, std::vector<EntryMeta>& metas,
                                 const std::function<bool()>& stop) {
  metas.resize(entries.size());
  // The search's own descriptor, else the folder opened as a place only.
  const int opened = folderDescriptor >= 0 ? -1
                     : LongPath::Open(folderPath.empty() ? std::string(".") : folderPath, O_PATH | O_DIRECTORY);
  const int folder = folderDescriptor >= 0 ? folderDescriptor : opened;
  bool canListAt = folder >= 0;
  for (std::size_t i = 0; i < entries.size() && !(stop && stop()); ++i) {
    const FindData& entry = entries[i];
    if (entry.Name == "." || entry.Name == "..") continue;
    ReadEntry(folder, canListAt, folderPath, entry, metas[i]);
  }
  if (opened >= 0) close(opened);
}
