#pragma once

#include <string>
#include <vector>

// quillon-cli: the listing and the comparison of the window, for scripts.
// Main reads the command line and hands it to the command it names.
class CliCommand {
 public:
  // Exit codes: 0 success (compare: no differences), 1 compare found
  // differences, 2 an error, 3 incomplete: the listing of list or compare
  // --folder could not read some folders or files.
  static int Main(const std::vector<std::string>& args);
};
