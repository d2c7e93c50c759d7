#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/FileReader.h"

// Opens files through a reader by their names in their folder, which it
// keeps open while the files come from it, and the folder by its name in
// the folder that holds it: files come folder by folder, and folders in walk
// order, those of one parent side by side, so that a path is seldom walked
// whole. Used by one thread.
class FileOpener {
 public:
  explicit FileOpener(FileReader& reader) : reader_(reader) {}
  ~FileOpener() { Forget(); }
  FileOpener(const FileOpener&) = delete;
  FileOpener& operator=(const FileOpener&) = delete;

  // As FileReader::Open.
  int Open(const std::string& filePath);
  // The folder of filePath held open, and in nameAt where the file's name
  // begins; -1 where the folder cannot be held open.
  int FolderOf(const std::string& filePath, std::size_t& nameAt);
  // Closes the folders kept open.
  void Forget();

 private:
  int OpenFolder(std::string_view folder);

  FileReader& reader_;
  std::string folder_;  // with its separator; the one folderFd_ is
  int folderFd_ = -1;
  std::string parent_;  // the same for the folder that holds it
  int parentFd_ = -1;
};
