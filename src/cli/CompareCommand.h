#pragma once

#include "cli/CliOptions.h"

// quillon-cli compare: a current listing, or the listing of a folder, against
// a loaded one.
class CompareCommand {
 public:
  // The exit status: 0 no differences, 1 differences, 2 an error, 3 incomplete.
  static int Run(CliOptions options);
};
