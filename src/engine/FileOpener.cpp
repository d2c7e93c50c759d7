#include "engine/FileOpener.h"

#include "platform/FindData.h"

int FileOpener::Open(const std::string& filePath) {
  std::size_t nameAt = 0;
  const int folder = FolderOf(filePath, nameAt);
  if (folder < 0) return reader_.Open(filePath);
  return reader_.OpenIn(folder, filePath.c_str() + nameAt);
}

int FileOpener::FolderOf(const std::string& filePath, std::size_t& nameAt) {
  const auto slash = filePath.rfind(kPathSeparator);
  if (slash == std::string::npos) return -1;
  nameAt = slash + 1;
  const std::string_view folder(filePath.data(), slash + 1);
  if (folder != folder_) {
    if (folderFd_ >= 0) reader_.Close(folderFd_);
    folderFd_ = OpenFolder(folder);
    folder_.assign(folder);
  }
  return folderFd_;
}

int FileOpener::OpenFolder(std::string_view folder) {
  const auto cut = folder.size() < 2 ? std::string_view::npos : folder.rfind(kPathSeparator, folder.size() - 2);
  if (cut != std::string_view::npos) {
    const std::string_view parent = folder.substr(0, cut + 1);
    if (parent != parent_) {
      if (parentFd_ >= 0) reader_.Close(parentFd_);
      parent_.assign(parent);
      parentFd_ = reader_.OpenFolder(parent_);
    }
    if (parentFd_ >= 0) {
      const std::string name(folder.substr(cut + 1, folder.size() - cut - 2));
      if (const int fd = reader_.OpenFolderIn(parentFd_, name.c_str()); fd >= 0) return fd;
    }
  }
  return reader_.OpenFolder(std::string(folder));
}

void FileOpener::Forget() {
  for (int* fd : {&folderFd_, &parentFd_}) {
    if (*fd >= 0) reader_.Close(*fd);
    *fd = -1;
  }
  folder_.clear();
  parent_.clear();
}
