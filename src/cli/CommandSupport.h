#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "compare/ReadableRecords.h"
#include "documents/ListingWriter.h"

// What the commands of quillon-cli share: the help, how a wrong call is
// told, and the checks made before any work starts. Each check prints its
// message on standard error and says whether the command may go on.
class CommandSupport {
 public:
  // Records are written in batches of this many.
  static constexpr std::size_t kRecordBatch = 4096;

  // The help as far as this build can do it.
  static std::string Usage();
  // The problem and the help on standard error; the exit status, 2.
  static int UsageError(const std::string& problem);

  // "-o -", and a name of standard output such as /dev/stdout, mean standard
  // output itself: written where it stands, as without -o.
  static void TakeStandardOutput(std::optional<std::string>& output);
  // Whether the folder can be listed.
  static bool CheckFolder(const std::string& folder);
  // Refuses an output that is one of the files read (a listing, the exclude
  // patterns, the digest cache): it would be replaced by what was made from it.
  static bool OutputSparesInputs(const std::optional<std::string>& output,
                                 const std::vector<std::pair<std::string, std::string>>& inputs);
  // The files a listing reads besides the tree, with the role each plays.
  static std::vector<std::pair<std::string, std::string>> ListingInputs(const CliOptions& options);
  // Checks the choices that go with listing a folder and reads the exclude
  // files; false after a message, with the exit status in status.
  static bool PrepareListing(CliOptions& options, int& status);

  // Writes the records made so far and drops them.
  static void PassRecords(ReadableRecords& records, ListingWriter& writer);
};
