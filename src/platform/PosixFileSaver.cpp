#include "platform/FileSaver.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/InterruptGuard.h"

namespace {

using TextWriter = std::function<bool(OutputChannel&)>;

constexpr int kMaxLinkHops = 40;

// A failed save, carried out of the depths of the save to its one exit.
struct SaveFailed {
  FileSaver::Outcome outcome;
};

[[noreturn]] void CannotCreate(const std::string& /*fileName*/, int errorNumber) {
  throw SaveFailed{{FileSaver::Failure::CannotCreate, errorNumber}};
}

[[noreturn]] void StreamWriteError(int errorNumber) {
  // A short write without an error number is a full disk.
  throw SaveFailed{{FileSaver::Failure::StreamWrite, errorNumber != 0 ? errorNumber : ENOSPC}};
}

// An open file descriptor as a channel for the text.
class FdChannel : public OutputChannel {
 public:
  explicit FdChannel(int fd) : fd_(fd) {}
  bool Write(const char* data, std::size_t size) override;

 private:
  int fd_;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now; false (with errno) when the close reports a failed write.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

// Removes the temporary file unless it was renamed into place, also when a
// signal ends the program while it is there.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TemporaryFile() {
    if (path_.empty()) return;
    unlink(path_.c_str());
    InterruptGuard::DisarmTemporary();
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_.Get(); }
  const std::string& Path() const { return path_; }
  bool Close() { return fd_.Close(); }
  void Keep() {
    InterruptGuard::DisarmTemporary();
    path_.clear();
  }

 private:
  FileDescriptor fd_;
  std::string path_;
};

bool FdChannel::Write(const char* data, std::size_t size) {
  const int fd = fd_;
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool WriteTo(const TextWriter& writeText, int fd) {
  FdChannel channel(fd);
  errno = 0;
  return writeText(channel);
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The rule of Linux's fs.protected_symlinks, kept whatever the system sets: a
// link in a sticky world-writable folder, such as /tmp, is followed only when
// it belongs to us or to the folder's owner, so that nobody can plant one
// there that makes us overwrite a file of theirs choosing.
void CheckLinksMayBeFollowed(const std::string& fileName) {
  std::string path = fileName;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat link;
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return;
    const std::string folder = FolderOf(path);
    struct stat folderStat;
    if (stat(folder.c_str(), &folderStat) != 0) return;
    const bool shared = (folderStat.st_mode & S_ISVTX) != 0 && (folderStat.st_mode & S_IWOTH) != 0;
    if (shared && link.st_uid != geteuid() && link.st_uid != folderStat.st_uid) CannotCreate(fileName, EACCES);
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return;
    const std::string next(target, static_cast<std::size_t>(length));
    // The kernel's own links (/proc/self/fd/1 -> "pipe:[…]") name no path.
    if (next.front() != '/' && folder.rfind("/proc/", 0) == 0) return;
    path = next.front() == '/' ? next : folder + "/" + next;
  }
}

// Copies the extended attributes, the access list among them, from the file
// to the new one. False when one cannot be kept.
bool CopyAttributes(const std::string& from, int to) {
  const ssize_t listSize = listxattr(from.c_str(), nullptr, 0);
  if (listSize < 0) return errno == ENOTSUP;
  std::string names(static_cast<std::size_t>(listSize), '\0');
  const ssize_t got = listxattr(from.c_str(), names.data(), names.size());
  if (got < 0) return false;
  names.resize(static_cast<std::size_t>(got));
  std::string value;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    const ssize_t size = getxattr(from.c_str(), name, nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t read = getxattr(from.c_str(), name, value.data(), value.size());
    if (read < 0 || fsetxattr(to, name, value.data(), static_cast<std::size_t>(read), 0) != 0) return false;
  }
  return true;
}

// Gives the new file the old one's owner, group, permissions and attributes.
// False when that cannot be done, as for a file of another user.
bool TakeOver(int fd, const std::string& oldPath, const struct stat& old) {
  struct stat now;
  if (fstat(fd, &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0) return false;
  // The mode after the owner, since a change of owner clears set-id bits.
  if (fchmod(fd, old.st_mode & 07777) != 0) return false;
  return CopyAttributes(oldPath, fd);
}

// Writes through a new file renamed over target. With old, the existing
// file's properties are taken over first; false, with nothing written, when
// they cannot be.
bool ReplaceThroughNewFile(const TextWriter& writeText, const std::string& fileName,
                           const std::string& target, const struct stat* old) {
  const std::string folder = FolderOf(target);
  int fd = -1;
  std::string tempPath;
  int openError = 0;
  {
    // A signal between the creation and the arming would leave the file.
    InterruptGuard::Deferral hold;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      tempPath = folder + "/.qln-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
      fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, old != nullptr ? 0600 : 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    openError = errno;
    if (fd >= 0) InterruptGuard::ArmTemporary(tempPath.c_str());
  }
  if (fd < 0) {
    if (old != nullptr) return false;
    CannotCreate(fileName, openError);
  }
  TemporaryFile temp(fd, tempPath);
  if (old != nullptr && !TakeOver(fd, target, *old)) return false;

  if (!WriteTo(writeText, fd) || fsync(fd) != 0 || !temp.Close()) StreamWriteError(errno);
  if (rename(temp.Path().c_str(), target.c_str()) != 0) CannotCreate(fileName, errno);
  temp.Keep();
  // Make the rename itself durable; a folder that cannot be synced is no failure.
  const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

// Rewrites a regular file where it stands, as the program always did where
// no new file can take its place. A signal waits until it is whole.
void RewriteInPlace(const TextWriter& writeText, const std::string& fileName,
                    const std::string& target) {
  InterruptGuard::Deferral hold;
  // Non-blocking and no link, in case the name was swapped for a FIFO or a link.
  FileDescriptor file(open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (file.Get() < 0) CannotCreate(fileName, errno);
  struct stat st;
  if (fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) CannotCreate(fileName, EINVAL);
  if (!WriteTo(writeText, file.Get()) || fsync(file.Get()) != 0 || !file.Close()) StreamWriteError(errno);
}

int ConnectToSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  path.copy(address.sun_path, path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// A character device, a FIFO or a socket takes the text as a stream, as it
// would from any other program: /dev/null discards it, a FIFO passes it on.
void WriteToStream(const TextWriter& writeText, const std::string& fileName, const struct stat& st) {
  FileDescriptor stream(S_ISSOCK(st.st_mode) ? ConnectToSocket(fileName)
                                             : open(fileName.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (stream.Get() < 0) CannotCreate(fileName, errno);
  if (!WriteTo(writeText, stream.Get()) || !stream.Close()) StreamWriteError(errno);
}

void SaveFile(const TextWriter& writeText, const std::string& fileName) {
  if (fileName.empty()) CannotCreate(fileName, ENOENT);
  CheckLinksMayBeFollowed(fileName);
  struct stat st;
  if (stat(fileName.c_str(), &st) != 0) {
    const int error = errno;
    struct stat link;
    // A dangling link is not replaced by a file, nor is a loop.
    if (error != ENOENT || lstat(fileName.c_str(), &link) == 0) CannotCreate(fileName, error);
    ReplaceThroughNewFile(writeText, fileName, fileName, nullptr);
    return;
  }
  if (S_ISDIR(st.st_mode)) CannotCreate(fileName, EISDIR);
  if (S_ISBLK(st.st_mode))
    throw SaveFailed{{FileSaver::Failure::BlockDevice, ENOTSUP}};
  if (!S_ISREG(st.st_mode)) {
    WriteToStream(writeText, fileName, st);
    return;
  }
  // A link is written through: the file it names is replaced, not the link.
  std::string target = fileName;
  if (char* real = realpath(fileName.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  // A file that may not be written is not replaced, even by root.
  if ((st.st_mode & S_IWUSR) == 0) CannotCreate(fileName, EACCES);
  if (access(target.c_str(), W_OK) != 0) CannotCreate(fileName, errno);
  const bool renameKeepsAll = st.st_nlink == 1 && access(FolderOf(target).c_str(), W_OK) == 0;
  if (renameKeepsAll && ReplaceThroughNewFile(writeText, fileName, target, &st)) return;
  RewriteInPlace(writeText, fileName, target);
}

}  // namespace

bool FileSaver::WritesAsStream(const std::string& fileName) {
  struct stat st;
  return stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISBLK(st.st_mode);
}

FileSaver::Outcome FileSaver::Save(const std::string& fileName, const std::function<bool(OutputChannel&)>& writeText) {
  try {
    SaveFile(writeText, fileName);
  } catch (const SaveFailed& failed) {
    return failed.outcome;
  }
  return {};
}
