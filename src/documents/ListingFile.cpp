#include "documents/ListingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "surfaces/ErrorText.h"
#include "platform/QuillonError.h"

namespace {

constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }
  void Keep() { path_.clear(); }

 private:
  int fd_;
  std::string path_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A link is written through: the file it points to is replaced, not the link.
std::string ResolveTarget(const std::string& fileName) {
  struct stat st;
  if (lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(fileName.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
  }
  return fileName;
}

}  // namespace

bool WriteListingText(int fd, const std::vector<std::string_view>& lines) {
  std::string chunk;
  chunk.reserve(kWriteChunk + 2);
  for (const std::string_view line : lines) {
    if (line.size() >= kWriteChunk) {
      if (!WriteAll(fd, chunk.data(), chunk.size()) || !WriteAll(fd, line.data(), line.size())) return false;
      chunk.assign("\r\n");
      continue;
    }
    chunk.append(line).append("\r\n");
    if (chunk.size() >= kWriteChunk) {
      if (!WriteAll(fd, chunk.data(), chunk.size())) return false;
      chunk.clear();
    }
  }
  return WriteAll(fd, chunk.data(), chunk.size());
}

void WriteListingFile(const std::vector<std::string_view>& lines, const std::string& fileName) {
  const std::string target = ResolveTarget(fileName);
  struct stat existing;
  const bool exists = stat(target.c_str(), &existing) == 0;
  if (exists) {
    // A folder, or a file that may not be written, cannot be replaced.
    if (S_ISDIR(existing.st_mode) || (existing.st_mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0)
      throw QuillonError(ErrorText::CannotCreateFile(fileName));
  }
  const std::string folder = FolderOf(target);
  const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
  int fd = -1;
  std::string tempPath;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tempPath = folder + "/.qln-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw QuillonError(ErrorText::CannotCreateFile(fileName));
  TemporaryFile temp(fd, tempPath);
  if (exists) {
    fchmod(fd, mode);
    if (fchown(fd, existing.st_uid, existing.st_gid) != 0) {
      // Only the owner's own ids can be kept by an ordinary user; that is enough.
    }
  }

  if (!WriteListingText(fd, lines) || fsync(fd) != 0 || !temp.Close())
    throw QuillonError(ErrorText::kStreamWriteError);
  if (rename(temp.Path().c_str(), target.c_str()) != 0) throw QuillonError(ErrorText::CannotCreateFile(fileName));
  temp.Keep();
  // Make the rename itself durable; a folder that cannot be synced is no failure.
  const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
}

void ReadListingFile(const std::string& fileName, LineSink& lines) {
  const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw QuillonError(ErrorText::CannotOpenFile(fileName));
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    throw QuillonError(ErrorText::CannotOpenFile(fileName));
  }
  // Read the whole file in one piece; a pipe or a growing file is read to its end.
  std::size_t capacity = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) + 1 : 64 * 1024;
  auto text = std::make_unique_for_overwrite<char[]>(capacity);
  std::size_t size = 0;
  for (;;) {
    if (size == capacity) {
      auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
      std::memcpy(bigger.get(), text.get(), size);
      text = std::move(bigger);
      capacity *= 2;
    }
    const ssize_t got = read(fd, text.get() + size, capacity - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      throw QuillonError(ErrorText::CannotOpenFile(fileName));
    }
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  close(fd);

  const std::string_view view(text.get(), size);
  lines.Clear();
  lines.AdoptText(std::move(text));
  SplitListingText(view, [&lines](std::string_view line) { lines.AddAdoptedLine(line); });
}
