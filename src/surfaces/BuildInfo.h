#pragma once

#include <string>

// The version the build was made as, and the commit it was made from.
class BuildInfo {
 public:
  // "1.20", from the project's version in CMake.
  static std::string Version();
  // The short commit id; empty when the build did not know it.
  static std::string Commit();
  // "Quillon 1.20 (commit 0123abcd4567)", or without the commit part.
  static std::string VersionLine();
};
