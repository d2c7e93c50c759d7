#include "platform/WalkedPath.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <cerrno>
#include <deque>
#include <system_error>

#include "platform/LongPath.h"

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit

[[noreturn]] void Fail(int error, const std::string& what = {}) {
  if (what.empty()) throw std::system_error(error, std::generic_category());
  throw std::system_error(error, std::generic_category(), what);
}

FileDescriptor OpenFolder(int at, const std::string& name, int flags) {
  FileDescriptor folder(LongPath::OpenAt(at, name.c_str(), O_PATH | O_DIRECTORY | flags));
  if (folder.Get() < 0) Fail(errno);
  return folder;
}

// The parts of path put in front of those still to walk. A trailing "/"
// leaves "." as the last part: the folder itself.
void PutInFront(std::deque<std::string>& parts, const std::string& path) {
  std::deque<std::string> added;
  for (std::size_t at = 0; at < path.size();) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    if (end > at) added.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  if (added.empty() || path.back() == '/') added.emplace_back(".");
  parts.insert(parts.begin(), added.begin(), added.end());
}

std::string ReadLinkAt(int folder, const std::string& name) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t length = readlinkat(folder, name.c_str(), target.data(), target.size());
    if (length < 0) Fail(errno);
    if (static_cast<std::size_t>(length) < target.size()) {
      target.resize(static_cast<std::size_t>(length));
      return target;
    }
    target.resize(target.size() * 2);
  }
}

bool InProc(int folder) {
  struct statfs system;
  return fstatfs(folder, &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
}

void CheckMayFollow(int folder, const std::string& name, const struct stat& link) {
  struct stat holder;
  if (fstat(folder, &holder) != 0) Fail(errno);
  const bool shared = (holder.st_mode & S_ISVTX) != 0 && (holder.st_mode & S_IWOTH) != 0;
  if (shared && link.st_uid != geteuid() && link.st_uid != holder.st_uid)
    Fail(EACCES, "the link \"" + name + "\" in a shared folder belongs to another user");
}

}  // namespace

WalkedPath::WalkedPath(const std::string& path, bool makeFolders) {
  if (path.empty()) Fail(ENOENT);
  std::deque<std::string> parts;
  PutInFront(parts, path);
  folder_ = OpenFolder(AT_FDCWD, path.front() == '/' ? "/" : ".", 0);
  int links = 0;
  for (;;) {
    std::string part = std::move(parts.front());
    parts.pop_front();
    const bool last = parts.empty();
    if (part == "." && !last) continue;
    struct stat st;
    if (fstatat(folder_.Get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || (!last && !makeFolders)) Fail(errno);
      if (last) {
        name_ = std::move(part);
        return;
      }
      if (mkdirat(folder_.Get(), part.c_str(), 0700) != 0 && errno != EEXIST) Fail(errno);
      parts.push_front(std::move(part));  // and look again at what is there now
      continue;
    }
    if (S_ISLNK(st.st_mode)) {
      if (++links > kMaxLinks) Fail(ELOOP);
      if (InProc(folder_.Get())) {
        // No sticky folder there: the kernel's rule and ours agree.
        if (last) {
          name_ = std::move(part);
          kernelLink_ = true;
          return;
        }
        folder_ = OpenFolder(folder_.Get(), part, 0);
        continue;
      }
      CheckMayFollow(folder_.Get(), part, st);
      const std::string target = ReadLinkAt(folder_.Get(), part);
      if (target.empty()) Fail(ENOENT);
      if (target.front() == '/') folder_ = OpenFolder(AT_FDCWD, "/", 0);
      PutInFront(parts, target);
      throughLink_ = throughLink_ || last;
      continue;
    }
    if (last) {
      name_ = std::move(part);
      return;
    }
    if (!S_ISDIR(st.st_mode)) Fail(ENOTDIR);
    // A link swapped in since the look is not followed: O_NOFOLLOW with
    // O_DIRECTORY fails on it.
    folder_ = OpenFolder(folder_.Get(), part, O_NOFOLLOW);
  }
}
