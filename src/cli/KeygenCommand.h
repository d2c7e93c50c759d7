#pragma once

#include "cli/CliOptions.h"

// quillon-cli keygen: a new key pair for signed listings.
class KeygenCommand {
 public:
  // The exit status: 0, or 2 when no pair was made.
  static int Run(const CliOptions& options);
};
