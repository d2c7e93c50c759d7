#pragma once

#include <string>
#include <vector>

#include "cli/CliOptions.h"

// quillon-cli: the listing and the comparison of the window, for scripts.
class CliCommand {
 public:
  // Exit codes: 0 success (compare: no differences), 1 compare found
  // differences, 2 an error, 3 incomplete: the listing of list or compare
  // --folder could not read some folders or files.
  static int Main(const std::vector<std::string>& args);

  using Options = CliOptions;

 private:
  // Checks the choices that go with listing a folder and reads the exclude
  // files; false after a message on standard error.
  static bool PrepareListing(Options& options, int& status);
  static int List(Options options);
  static int Compare(Options options);
  static int Keygen(const Options& options);
};
