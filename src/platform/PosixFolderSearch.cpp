#include "platform/PosixFolderSearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/LongPath.h"

namespace {

constexpr std::uint32_t kDotAttributes = FileAttribute::Directory | FileAttribute::Hidden;

bool IsDotName(const char* name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

class PosixSearchHandle : public FolderSearchHandle {
 public:
  PosixSearchHandle(DIR* dir, std::string mask, int attributeMask, std::vector<SearchFailure>& failures)
      : dir_(dir), mask_(std::move(mask)), attributeMask_(attributeMask), failures_(failures) {}
  ~PosixSearchHandle() override { closedir(dir_); }
  PosixSearchHandle(const PosixSearchHandle&) = delete;
  PosixSearchHandle& operator=(const PosixSearchHandle&) = delete;

  int FolderDescriptor() const override { return dirfd(dir_); }

  bool FindNextFile(FindData& entry) override {
    if (ended_) return false;
    for (;;) {
      // readdir tells its end from an error only through errno.
      errno = 0;
      const dirent* d = readdir(dir_);
      if (d == nullptr) {
        ended_ = true;
        if (errno != 0) failures_.push_back(SearchFailure{{}, true, errno});
        return false;
      }
      if (!MatchesMask(d->d_name)) continue;
      // "." and ".." are never listed: they are told as folders without
      // asking the system about them.
      if (IsDotName(d->d_name)) {
        if (!FolderSearch::PassesFilter(kDotAttributes, attributeMask_)) continue;
        entry = FindData{};
        entry.Attributes = kDotAttributes;
        entry.Name.assign(d->d_name);
        return true;
      }
      struct stat st;
      if (fstatat(dirfd(dir_), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // An entry removed since the folder was read is simply gone.
        if (errno != ENOENT)
          failures_.push_back(SearchFailure{d->d_name, d->d_type == DT_DIR, errno});
        continue;
      }
      const std::uint32_t attributes = PosixFolderSearch::AttributesOf(st, d->d_name);
      if (!FolderSearch::PassesFilter(attributes, attributeMask_)) continue;
      entry.Attributes = attributes;
      entry.Name.assign(d->d_name);
      entry.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
      entry.ModifiedSeconds = st.st_mtim.tv_sec;
      entry.ModifiedNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
      entry.RegularFile = S_ISREG(st.st_mode);
      entry.Device = static_cast<std::uint64_t>(st.st_dev);
      entry.Inode = static_cast<std::uint64_t>(st.st_ino);
      entry.ChangedSeconds = st.st_ctim.tv_sec;
      entry.ChangedNanoseconds = static_cast<std::uint32_t>(st.st_ctim.tv_nsec);
      entry.Mode = static_cast<std::uint32_t>(st.st_mode);
      entry.Uid = static_cast<std::uint32_t>(st.st_uid);
      entry.Gid = static_cast<std::uint32_t>(st.st_gid);
      entry.Links = static_cast<std::uint64_t>(st.st_nlink);
      return true;
    }
  }

 private:
  bool MatchesMask(const char* name) const {
    if (mask_ == "*.*" || mask_ == "*") return true;
    return fnmatch(mask_.c_str(), name, FNM_PERIOD) == 0;
  }

  DIR* dir_;
  std::string mask_;
  int attributeMask_;
  std::vector<SearchFailure>& failures_;
  bool ended_ = false;
};

}  // namespace

std::uint32_t PosixFolderSearch::AttributesOf(const struct stat& st, const char* name) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= FileAttribute::Directory;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= FileAttribute::ReadOnly;
  if (name[0] == '.') attributes |= FileAttribute::Hidden;
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) attributes |= FileAttribute::System;
  if (attributes == 0) attributes = FileAttribute::Normal;
  return attributes;
}

std::unique_ptr<FolderSearchHandle> PosixFolderSearch::FindFirstFile(const std::string& pattern, int attributeMask,
                                                                     FindData& first,
                                                                     std::vector<SearchFailure>& failures) {
  const auto slash = pattern.rfind(kPathSeparator);
  std::string folder = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  // An empty folder path stands for the process's current folder. A path too
  // long for one call is opened step by step to a descriptor, so that depth is
  // not limited by PATH_MAX; opendir is cheaper for all others.
  DIR* dir = nullptr;
  if (folder.size() < PATH_MAX) {
    dir = opendir(folder.empty() ? "." : folder.c_str());
  } else if (const int fd = LongPath::Open(folder, O_RDONLY | O_DIRECTORY | O_NONBLOCK); fd >= 0) {
    dir = fdopendir(fd);
    if (dir == nullptr) close(fd);
  }
  if (dir == nullptr) {
    failures.push_back(SearchFailure{{}, true, errno});
    return nullptr;
  }
  auto handle = std::make_unique<PosixSearchHandle>(dir, std::move(mask), attributeMask, failures);
  if (!handle->FindNextFile(first)) return nullptr;
  return handle;
}
