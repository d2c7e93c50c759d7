#include "surfaces/BuildInfo.h"

#include "surfaces/BuildCommit.h"  // made at build time: QUILLON_COMMIT
#include "surfaces/Version.h"

std::string BuildInfo::Version() { return QUILLON_VERSION; }

std::string BuildInfo::Commit() { return QUILLON_COMMIT; }

std::string BuildInfo::VersionLine() {
  std::string line = "Quillon " + Version();
  if (!Commit().empty()) line += " (commit " + Commit() + ")";
  return line;
}
