#include "platform/FileSaver.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/FileDescriptor.h"
#include "platform/InterruptGuard.h"
#include "platform/LongPath.h"
#include "platform/WalkedPath.h"

namespace {

using TextWriter = std::function<bool(OutputChannel&)>;

// Up to this much, a text rewritten in place waits in memory for its file.
constexpr std::size_t kStagedInMemory = 16 << 20;

// A failed save, carried out of the depths of the save to its one exit.
struct SaveFailed {
  FileSaver::Outcome outcome;
};

[[noreturn]] void CannotCreate(int errorNumber) {
  throw SaveFailed{{FileSaver::Failure::CannotCreate, errorNumber}};
}

[[noreturn]] void StreamWriteError(int errorNumber) {
  // A short write without an error number is a full disk.
  throw SaveFailed{{FileSaver::Failure::StreamWrite, errorNumber != 0 ? errorNumber : ENOSPC}};
}

// Writes all the bytes, whatever a single call takes: at offset, or with
// none where the file's own position goes on.
bool WriteAll(int fd, const char* data, std::size_t size, off_t offset = -1) {
  while (size > 0) {
    const ssize_t written = offset < 0 ? write(fd, data, size) : pwrite(fd, data, size, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
    if (offset >= 0) offset += written;
  }
  return true;
}

// An open file descriptor as a channel for the text.
class FdChannel : public OutputChannel {
 public:
  explicit FdChannel(int fd) : fd_(fd) {}
  bool Write(const char* data, std::size_t size) override { return WriteAll(fd_, data, size); }

 private:
  int fd_;
};

// The whole new text of a file rewritten in place, held until the file can
// take it: in memory while small, beyond that in an unnamed file of $TMPDIR
// (or /tmp), or in memory where there is none.
class StagedText : public OutputChannel {
 public:
  bool Write(const char* data, std::size_t size) override {
    size_ += size;
    if (!spillTried_ && memory_.size() + size > kStagedInMemory) Spill();
    if (spill_.Get() < 0) {
      memory_.append(data, size);
      return true;
    }
    return WriteAll(spill_.Get(), data, size);
  }
  off_t Size() const { return static_cast<off_t>(size_); }

  // Writes it over fd from its start.
  bool CopyTo(int fd) const {
    if (spill_.Get() < 0) return WriteAll(fd, memory_.data(), memory_.size(), 0);
    std::string buffer(1 << 20, '\0');
    for (std::uint64_t at = 0; at < size_;) {
      const ssize_t got = pread(spill_.Get(), buffer.data(), buffer.size(), static_cast<off_t>(at));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      if (!WriteAll(fd, buffer.data(), static_cast<std::size_t>(got), static_cast<off_t>(at))) return false;
      at += static_cast<std::uint64_t>(got);
    }
    return true;
  }

 private:
  void Spill() {
    spillTried_ = true;
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] != '/') folder = "/tmp";
    FileDescriptor spill(open(folder, O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
    if (spill.Get() < 0 || !WriteAll(spill.Get(), memory_.data(), memory_.size())) return;
    spill_ = std::move(spill);
    std::string().swap(memory_);
  }

  std::string memory_;
  FileDescriptor spill_;
  bool spillTried_ = false;
  std::uint64_t size_ = 0;
};

// What a signal says of a file it ends the run before, or after, the save changed.
std::string LeftAsItWas(const std::string& fileName) { return fileName + " was left as it was"; }
std::string WrittenInFull(const std::string& fileName) { return fileName + " was written in full before the interrupt"; }

// Removes the temporary file unless it was renamed into place, also when a
// signal ends the program while it is there.
class TemporaryFile {
 public:
  TemporaryFile(int fd, int folder, std::string name) : fd_(fd), folder_(folder), name_(std::move(name)) {}
  ~TemporaryFile() {
    if (name_.empty()) return;
    unlinkat(folder_, name_.c_str(), 0);
    InterruptGuard::DisarmTemporary();
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_.Get(); }
  const std::string& Name() const { return name_; }
  bool Close() { return fd_.Close(); }
  void Keep() {
    InterruptGuard::DisarmTemporary();
    name_.clear();
  }

 private:
  FileDescriptor fd_;
  int folder_;
  std::string name_;
};

bool WriteTo(const TextWriter& writeText, OutputChannel& channel) {
  errno = 0;
  return writeText(channel);
}

bool WriteTo(const TextWriter& writeText, int fd) {
  FdChannel channel(fd);
  return WriteTo(writeText, channel);
}

WalkedPath Walk(const std::string& fileName) {
  try {
    return WalkedPath(fileName);
  } catch (const std::system_error& error) {
    CannotCreate(error.code().value());
  }
}

// Copies the extended attributes, the access list among them, from the file
// to the new one. False when one cannot be kept.
bool CopyAttributes(const WalkedPath& from, int to) {
  const std::string path = from.BoundPath();
  const ssize_t listSize = llistxattr(path.c_str(), nullptr, 0);
  if (listSize < 0) return errno == ENOTSUP;
  std::string names(static_cast<std::size_t>(listSize), '\0');
  const ssize_t got = llistxattr(path.c_str(), names.data(), names.size());
  if (got < 0) return false;
  names.resize(static_cast<std::size_t>(got));
  std::string value;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    const ssize_t size = lgetxattr(path.c_str(), name, nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t read = lgetxattr(path.c_str(), name, value.data(), value.size());
    if (read < 0 || fsetxattr(to, name, value.data(), static_cast<std::size_t>(read), 0) != 0) return false;
  }
  return true;
}

// Gives the new file the old one's owner, group, permissions and attributes.
// False when that cannot be done, as for a file of another user.
bool TakeOver(int fd, const WalkedPath& oldPath, const struct stat& old) {
  struct stat now;
  if (fstat(fd, &now) != 0) return false;
  if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && fchown(fd, old.st_uid, old.st_gid) != 0) return false;
  // The mode after the owner, since a change of owner clears set-id bits.
  if (fchmod(fd, old.st_mode & 07777) != 0) return false;
  return CopyAttributes(oldPath, fd);
}

// Writes through a new file renamed over the target. With old, the existing
// file's properties are taken over first; false, with nothing written, when
// they cannot be.
bool ReplaceThroughNewFile(const TextWriter& writeText, const std::string& fileName, const WalkedPath& target,
                           const struct stat* old) {
  const int folder = target.Folder();
  int fd = -1;
  std::string tempName;
  int openError = 0;
  {
    // A signal between the creation and the arming would leave the file.
    InterruptGuard::Deferral hold;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      tempName = ".qln-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
      fd = openat(folder, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  old != nullptr ? 0600 : 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    openError = errno;
    if (fd >= 0) InterruptGuard::ArmTemporary((target.BoundFolder() + "/" + tempName).c_str());
  }
  if (fd < 0) {
    if (old != nullptr) return false;
    CannotCreate(openError);
  }
  TemporaryFile temp(fd, folder, tempName);
  if (old != nullptr && !TakeOver(fd, target, *old)) return false;

  if (!WriteTo(writeText, fd) || fsync(fd) != 0 || !temp.Close()) StreamWriteError(errno);
  {
    // The file changes at the rename: a signal says on which side of it the run ended.
    InterruptGuard::Deferral hold;
    if (renameat(folder, temp.Name().c_str(), folder, target.Name().c_str()) != 0) CannotCreate(errno);
    temp.Keep();
    InterruptGuard::Note whole(WrittenInFull(fileName));
    whole.Keep();
  }
  // Make the rename itself durable; a folder that cannot be synced is no failure.
  const FileDescriptor folderForSync(LongPath::OpenAt(folder, ".", O_RDONLY | O_DIRECTORY));
  if (folderForSync.Get() >= 0) fsync(folderForSync.Get());
  return true;
}

// Makes room for size bytes in the file before a byte of it is changed.
bool MakeRoom(int fd, off_t size) {
  if (size == 0) return true;
  int result;
  do result = fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size);
  while (result != 0 && errno == EINTR);
  if (result == 0) return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS) return false;
  // A file system that cannot reserve space: its free space must do.
  struct stat st;
  struct statvfs space;
  if (fstat(fd, &st) != 0 || fstatvfs(fd, &space) != 0) return false;
  const std::uint64_t needed = size > st.st_size ? static_cast<std::uint64_t>(size - st.st_size) : 0;
  if (static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize > needed) return true;
  errno = ENOSPC;
  return false;
}

// Rewrites a regular file where it stands, where no new file can take its
// place. The whole text is made first and the file's room for it reserved,
// so that the old content is lost only once the new one will fit. A signal
// before that leaves the file as it was; after, it waits until it is whole.
void RewriteInPlace(const TextWriter& writeText, const std::string& fileName, const WalkedPath& target) {
  InterruptGuard::Note note(LeftAsItWas(fileName));
  StagedText text;
  if (!WriteTo(writeText, text)) StreamWriteError(errno);
  InterruptGuard::Deferral hold;
  // Non-blocking and no link, in case the name was swapped for a FIFO or a link.
  const int noLink = target.KernelLink() ? 0 : O_NOFOLLOW;
  FileDescriptor file(LongPath::OpenAt(target.Folder(), target.Name().c_str(), O_WRONLY | O_NONBLOCK | noLink));
  if (file.Get() < 0) CannotCreate(errno);
  struct stat st;
  if (fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) CannotCreate(EINVAL);
  if (!MakeRoom(file.Get(), text.Size())) StreamWriteError(errno);
  note.Change(WrittenInFull(fileName));
  // The old content is going: what the note says now outlasts the save.
  note.Keep();
  if (!text.CopyTo(file.Get()) || ftruncate(file.Get(), text.Size()) != 0 || fsync(file.Get()) != 0 ||
      !file.Close()) {
    const int error = errno;
    note.Change(fileName + " could not be written in full before the interrupt");
    StreamWriteError(error);
  }
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
void WriteToStream(const TextWriter& writeText, const WalkedPath& target, const struct stat& st) {
  const int noLink = target.KernelLink() ? 0 : O_NOFOLLOW;
  FileDescriptor stream(S_ISSOCK(st.st_mode)
                            ? ConnectToSocket(target.BoundPath())
                            : LongPath::OpenAt(target.Folder(), target.Name().c_str(), O_WRONLY | O_NOCTTY | noLink));
  if (stream.Get() < 0) CannotCreate(errno);
  if (!WriteTo(writeText, stream.Get()) || !stream.Close()) StreamWriteError(errno);
}

// The descriptor of ours that the path walked to names, as /dev/stdout,
// /dev/fd/N and /proc/self/fd/N do; -1 for any other. The name must lead to
// the very file that the descriptor has open.
int OwnDescriptor(const WalkedPath& target) {
  if (!target.KernelLink()) return -1;
  const std::string& name = target.Name();
  if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos) return -1;
  struct stat folder, ours, named, open;
  if (fstat(target.Folder(), &folder) != 0) return -1;
  const bool ourTable = (stat("/proc/self/fd", &ours) == 0 && ours.st_dev == folder.st_dev &&
                         ours.st_ino == folder.st_ino) ||
                        (stat("/proc/thread-self/fd", &ours) == 0 && ours.st_dev == folder.st_dev &&
                         ours.st_ino == folder.st_ino);
  const int fd = std::stoi(name);
  if (!ourTable || fd == target.Folder() || fstatat(target.Folder(), name.c_str(), &named, 0) != 0 ||
      fstat(fd, &open) != 0 || named.st_dev != open.st_dev || named.st_ino != open.st_ino)
    return -1;
  return fd;
}

int OwnDescriptorOf(const std::string& fileName) {
  try {
    return OwnDescriptor(WalkedPath(fileName));
  } catch (const std::system_error&) {
    return -1;
  }
}

// Whether a file or FIFO in a sticky folder that everyone may write, such as
// /tmp, may have been put there by someone else for us to write into: it
// belongs neither to us nor to the folder's owner, or it has another name
// that anyone could have linked it under. Taking it over would hand them
// what we write, as the system's fs.protected_regular and
// fs.protected_hardlinks guard against whatever the system sets.
bool PlantedInSharedFolder(int folder, const struct stat& st) {
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) return false;
  struct stat holder;
  if (fstat(folder, &holder) != 0) return true;
  if ((holder.st_mode & S_ISVTX) == 0 || (holder.st_mode & S_IWOTH) == 0) return false;
  return (st.st_uid != geteuid() && st.st_uid != holder.st_uid) || (S_ISREG(st.st_mode) && st.st_nlink > 1);
}

void SaveFile(const TextWriter& writeText, const std::string& fileName) {
  if (fileName.empty()) CannotCreate(ENOENT);
  // Every step after the walk is taken relative to the folder it reached.
  const WalkedPath target = Walk(fileName);
  // A descriptor we have open already, standard output above all, is
  // written where it stands, at its own offset and with its own append
  // flag, as any program writes to it: opened again by its name, a regular
  // file would be written from its first byte over what was there before.
  if (const int fd = OwnDescriptor(target); fd >= 0) {
    if (!WriteTo(writeText, fd)) StreamWriteError(errno);
    return;
  }
  const int folder = target.Folder();
  const char* name = target.Name().c_str();
  struct stat st;
  if (fstatat(folder, name, &st, target.KernelLink() ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    const int error = errno;
    // A dangling link is not replaced by a file.
    if (error != ENOENT || target.ThroughLink() || target.KernelLink()) CannotCreate(error);
    ReplaceThroughNewFile(writeText, fileName, target, nullptr);
    return;
  }
  if (S_ISDIR(st.st_mode)) CannotCreate(EISDIR);
  if (S_ISBLK(st.st_mode)) throw SaveFailed{{FileSaver::Failure::BlockDevice, ENOTSUP}};
  if (PlantedInSharedFolder(folder, st)) CannotCreate(EACCES);
  if (!S_ISREG(st.st_mode)) {
    WriteToStream(writeText, target, st);
    return;
  }
  // A file that may not be written is not replaced, even by root.
  if ((st.st_mode & S_IWUSR) == 0) CannotCreate(EACCES);
  if (faccessat(folder, name, W_OK, 0) != 0) CannotCreate(errno);
  const bool renameKeepsAll = !target.KernelLink() && st.st_nlink == 1 && faccessat(folder, ".", W_OK, 0) == 0;
  if (renameKeepsAll && ReplaceThroughNewFile(writeText, fileName, target, &st)) return;
  RewriteInPlace(writeText, fileName, target);
}

}  // namespace

bool FileSaver::WritesAsStream(const std::string& fileName) {
  struct stat st;
  return (stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) &&
          !S_ISBLK(st.st_mode)) ||
         OwnDescriptorOf(fileName) >= 0;
}

int FileSaver::OpenDescriptorOf(const std::string& fileName) { return OwnDescriptorOf(fileName); }

FileSaver::Outcome FileSaver::Save(const std::string& fileName, const std::function<bool(OutputChannel&)>& writeText) {
  try {
    SaveFile(writeText, fileName);
  } catch (const SaveFailed& failed) {
    return failed.outcome;
  }
  return {};
}

std::optional<InterruptGuard::Note> FileSaver::UntouchedNote(const std::string& fileName) {
  struct stat st;
  if (fileName.empty() || stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return std::optional<InterruptGuard::Note>(std::in_place, LeftAsItWas(fileName));
}
