#include <csignal>
#include <string>
#include <vector>

#include "cli/CliCommand.h"

int main(int argc, char** argv) {
  // A write past the file-size limit must fail as a write, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  return CliCommand::Main(std::vector<std::string>(argv + 1, argv + argc));
}
