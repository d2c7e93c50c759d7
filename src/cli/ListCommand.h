#pragma once

#include "cli/CliOptions.h"

// quillon-cli list: the listing of a folder, to standard output or a file,
// signed where asked.
class ListCommand {
 public:
  // The exit status: 0, 2 or 3 (incomplete).
  static int Run(CliOptions options);
};
