#pragma once

#include <optional>
#include <string>

// Questions about paths that only the system can answer.
class SystemPaths {
 public:
  // The folder as the user named it, made absolute and normalised, without a
  // trailing separator except at a root ("/", "C:\"). Links stay as they are.
  // On Windows, a network share comes back as "\\server\share", and each
  // name that exists as the file system stores it (its letter case, its long
  // name), so that one folder typed in two ways gives the same lines.
  static std::string AbsoluteFolder(const std::string& folder);

  // Why the folder cannot be listed, in the system's words; nothing when it
  // is a folder that can be read.
  static std::optional<std::string> WhyNotAFolder(const std::string& folder);

  // True when a file (not a folder) of that name exists.
  static bool IsExistingFile(const std::string& fileName);

  // Whether writing to output would replace input: the same file where output
  // exists, else the same path once both are resolved.
  static bool SameFile(const std::string& output, const std::string& input);
};
