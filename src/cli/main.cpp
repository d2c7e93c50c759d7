#include <csignal>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "platform/InterruptGuard.h"

int main(int argc, char** argv) {
  // A write past the file-size limit must fail as a write, not end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl-C and its kin end the program with 128 + the signal, its temporary
  // file removed and any file it writes to left whole.
  InterruptGuard::Install();
  return CliCommand::Main(std::vector<std::string>(argv + 1, argv + argc));
}
