#include "platform/SystemPaths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/LongPath.h"

std::string SystemPaths::AbsoluteFolder(const std::string& folder) {
  std::error_code error;
  std::string path = std::filesystem::absolute(folder, error).lexically_normal().string();
  if (error) return folder;  // no current folder: the check of the folder reports it
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::optional<std::string> SystemPaths::WhyNotAFolder(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) return std::string(std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) return std::string("not a folder");
  // A folder that cannot be read at all has no listing, not an empty one.
  const int fd = LongPath::Open(folder, O_RDONLY | O_DIRECTORY | O_NONBLOCK);
  if (fd < 0) return std::string(std::strerror(errno));
  close(fd);
  return std::nullopt;
}

bool SystemPaths::IsExistingFile(const std::string& fileName) {
  struct stat st;
  return stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool SystemPaths::SameFile(const std::string& output, const std::string& input) {
  struct stat out, in;
  if (stat(output.c_str(), &out) == 0)
    return stat(input.c_str(), &in) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino;
  std::error_code error;
  const auto resolvedOut = std::filesystem::weakly_canonical(output, error);
  if (error) return false;
  const auto resolvedIn = std::filesystem::weakly_canonical(input, error);
  return !error && resolvedOut == resolvedIn;
}
