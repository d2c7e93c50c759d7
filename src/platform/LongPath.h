#pragma once

#include <string>

// Opens files and folders by paths of any length. A path too long for one
// open call is opened folder by folder, each step relative to the last, so
// that a tree is not cut off at the system's path limit.
class LongPath {
 public:
  // As open(2) with flags | O_CLOEXEC, interrupted calls retried; -1 with
  // errno set when the path cannot be opened.
  static int Open(const std::string& path, int flags);
  // As openat(2) with flags | O_CLOEXEC, interrupted calls retried.
  static int OpenAt(int folder, const char* path, int flags);
};
