#include "platform/PosixFileReader.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/LongPath.h"
#ifdef QUILLON_IO_URING
#include "platform/PosixFileRing.h"
#endif

namespace {
// Should the entry have turned into a FIFO since it was found, the open must
// not wait for a writer. O_NONBLOCK stays: a disk file reads the same with
// it, and a file of /proc that would wait for data (kmsg) does not.
constexpr int kFileFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK;

// Only the files of a disk's file system (or of memory, tmpfs) are mapped:
// they are read from the page cache alone. A file of a pseudo file system,
// as sysfs, may map device memory, whose reads are not without effects.
bool CachedLikeADiskFile(int fd) {
  struct statfs system;
  if (fstatfs(fd, &system) != 0) return false;
  switch (static_cast<unsigned long>(system.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case 0x2fc12fc1:  // ZFS
      return true;
    default:
      return false;
  }
}

// 1 when every page of the file's first size bytes is in the page cache,
// 0 when not, or when the system will not tell; -1 when the system has no
// cachestat (before Linux 6.5), which tells without a mapping.
int AllCached(int fd, std::uint64_t size, std::size_t page) {
  struct {
    std::uint64_t offset, length;
  } range{0, size};
  struct {
    std::uint64_t cached, dirty, writeback, evicted, recentlyEvicted;
  } stat{};
  constexpr long kCachestat = 451;  // the same number on every architecture
  if (syscall(kCachestat, fd, &range, &stat, 0) != 0) return errno == ENOSYS ? -1 : 0;
  return stat.cached >= (size + page - 1) / page ? 1 : 0;
}

}  // namespace

int PosixFileReader::Open(const std::string& path) { return LongPath::Open(path, kFileFlags); }

int PosixFileReader::OpenFolder(const std::string& path) {
  return LongPath::Open(path.empty() ? "." : path, O_PATH | O_DIRECTORY);
}

int PosixFileReader::OpenIn(int folder, const char* name) { return LongPath::OpenAt(folder, name, kFileFlags); }

int PosixFileReader::OpenFolderIn(int folder, const char* name) {
  return LongPath::OpenAt(folder, name, O_PATH | O_DIRECTORY);
}

long long PosixFileReader::Read(int fd, void* buffer, std::size_t count) { return read(fd, buffer, count); }

int PosixFileReader::Stat(int fd, OpenFileFacts& facts) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  facts.RegularFile = S_ISREG(st.st_mode);
  facts.Size = static_cast<std::uint64_t>(st.st_size);
  facts.ModifiedSeconds = st.st_mtim.tv_sec;
  facts.ModifiedNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
  facts.Device = static_cast<std::uint64_t>(st.st_dev);
  facts.Inode = static_cast<std::uint64_t>(st.st_ino);
  facts.ChangedSeconds = st.st_ctim.tv_sec;
  facts.ChangedNanoseconds = static_cast<std::uint32_t>(st.st_ctim.tv_nsec);
  return 0;
}

void PosixFileReader::Close(int fd) { close(fd); }

long long PosixFileReader::ReadIfCached(int fd, void* buffer, std::size_t count) {
  iovec vector{buffer, count};
  // Offset -1: from the file's position on, as read does.
  const long long got = preadv2(fd, &vector, 1, -1, RWF_NOWAIT);
  // A file system that cannot tell reads as if nothing were cached.
  if (got < 0 && (errno == EOPNOTSUPP || errno == EINVAL)) errno = EAGAIN;
  return got;
}

void PosixFileReader::FetchAhead(int fd, std::uint64_t bytes) {
  posix_fadvise(fd, 0, static_cast<off_t>(bytes), POSIX_FADV_WILLNEED);
}

void PosixFileReader::AdviseSequential(int fd) { posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL); }

void PosixFileReader::DropCache(int fd) { posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED); }

const unsigned char* PosixFileReader::MapIfCached(int fd, std::uint64_t size) {
  // A way to compare, and to step around a system that maps badly.
  const char* wanted = std::getenv("QUILLON_MAP");
  if (size == 0 || size > SIZE_MAX || (wanted != nullptr && std::strcmp(wanted, "off") == 0)) return nullptr;
  if (!CachedLikeADiskFile(fd)) return nullptr;
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  // A page missing from the cache would stop the read at the fault while the
  // disk fetches it, with nothing else going on meanwhile: such a file is
  // read instead.
  const int cached = AllCached(fd, size, page);
  if (cached == 0) return nullptr;
  void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) return nullptr;
  if (cached < 0) {
    // Without cachestat, mincore tells a page at a time, so a part at a time.
    unsigned char resident[1024];
    const std::size_t part = sizeof resident * page;
    for (std::size_t at = 0; at < size; at += part) {
      const std::size_t bytes = std::min<std::size_t>(part, size - at);
      const std::size_t pages = (bytes + page - 1) / page;
      if (mincore(static_cast<char*>(view) + at, bytes, resident) != 0 ||
          std::find_if(resident, resident + pages, [](unsigned char r) { return (r & 1) == 0; }) != resident + pages) {
        munmap(view, size);
        return nullptr;
      }
    }
  }
  return static_cast<const unsigned char*>(view);
}

void PosixFileReader::ReleaseMapped(const unsigned char* view, std::uint64_t from, std::uint64_t to) {
  // Whole pages only: the part of a page still to be read stays mapped. For
  // a file's mapping this drops the program's hold on the pages, not the
  // pages from the cache.
  const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  from = (from + page - 1) / page * page;
  to = to / page * page;
  if (to > from) madvise(const_cast<unsigned char*>(view) + from, to - from, MADV_DONTNEED);
}

void PosixFileReader::Unmap(const unsigned char* view, std::uint64_t size) {
  munmap(const_cast<unsigned char*>(view), size);
}

std::unique_ptr<FileRing> PosixFileReader::MakeRing() {
#ifdef QUILLON_IO_URING
  // A way to compare, and to step around a kernel that misbehaves.
  const char* wanted = std::getenv("QUILLON_IO_URING");
  if (wanted != nullptr && std::strcmp(wanted, "off") == 0) return nullptr;
  return PosixFileRing::Make();
#else
  return nullptr;
#endif
}
