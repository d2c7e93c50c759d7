#include "cli/CliCommand.h"

#include <iostream>

#include "cli/CommandSupport.h"
#include "cli/CompareCommand.h"
#include "cli/KeygenCommand.h"
#include "cli/ListCommand.h"
#include "cli/OptionTable.h"
#include "surfaces/BuildInfo.h"

int CliCommand::Main(const std::vector<std::string>& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << CommandSupport::Usage();
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::cout << BuildInfo::VersionLine() << "\n";
    return 0;
  }
  if (!args.empty() && args[0] == "__complete") {
    // What Tab offers; the completions of bash, zsh and fish ask for it.
    OptionTable::Complete(std::vector<std::string>(args.begin() + 1, args.end()), std::cout);
    return 0;
  }
  std::string problem;
  const auto options = OptionTable::Parse(args, problem);
  if (!options) return CommandSupport::UsageError(problem);
  if (options->command == "list") return ListCommand::Run(*options);
  if (options->command == "compare") return CompareCommand::Run(*options);
  if (options->command == "keygen") return KeygenCommand::Run(*options);
  return CommandSupport::UsageError("unknown command '" + options->command + "'");
}

