#include "cli/KeygenCommand.h"

#include <iostream>

#include "cli/CliSession.h"
#include "cli/CommandSupport.h"
#include "platform/SigningKey.h"

int KeygenCommand::Run(const CliOptions& options) {
  if (!options.output || !options.operands.empty()) return CommandSupport::UsageError("keygen takes -o KEY and nothing else");
  CliSession session;
  if (!session.Run([&] { SigningKey::Generate(*options.output); })) return 2;
  std::cerr << "private key: " << *options.output << " (readable by you alone; keep it off the machines you audit)\n"
            << "public key:  " << SigningKey::PublicFileOf(*options.output) << "\n";
  return 0;
}
