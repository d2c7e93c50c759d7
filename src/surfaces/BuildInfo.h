#pragma once

#include <string>

// The version the build was made as, and the commit it was made from.
class BuildInfo {
 public:
  // The project's version in CMake, such as "1.20".
  static std::string Version();
  // The short commit id; empty when the build did not know it.
  static std::string Commit();
  // "Quillon VERSION (commit 0123abcd4567)", or without the commit part.
  static std::string VersionLine();
};
