#include "cli/CommandSupport.h"

#include <cerrno>
#include <iostream>

#include "cli/OptionTable.h"
#include "engine/ExcludePatterns.h"
#include "platform/DigestStore.h"
#include "platform/FileSaver.h"
#include "platform/QuillonError.h"
#include "platform/ReadableFile.h"
#include "platform/SystemPaths.h"
#include "surfaces/ErrorText.h"

namespace {

constexpr const char* kSynopsis =
    "usage: quillon-cli list [--md5|--sha256 [--reuse-digests]] [--readers N] [--format F] [EXCLUDES]\n"
    "                        [--meta] [--temp-dir DIR] FOLDER [-o FILE [--sign KEY]]\n"
    "       quillon-cli compare [--moves] [--ignore FIELD,...] [--format F] [--memory SIZE]\n"
    "                           [--temp-dir DIR] [--verify-with PUBKEY] CURRENT LOADED [-o FILE]\n"
    "       quillon-cli compare [--moves] [--ignore FIELD,...] [--format F] [--memory SIZE]\n"
    "                           [--temp-dir DIR] [--verify-with PUBKEY] --folder DIR\n"
    "                           [--md5|--sha256 [--reuse-digests]] [--meta] [--readers N]\n"
    "                           [EXCLUDES] LOADED [-o FILE]\n"
    "       quillon-cli keygen -o KEY\n"
    "       quillon-cli --help | --version\n"
    "\n"
    "list     lists FOLDER and its whole tree, breadth-first: one line per file\n"
    "         (date-time, size, attributes, with --md5 the MD5 digest, with --meta\n"
    "         the metadata, full path), then every folder, then a summary line.\n"
    "compare  compares a current listing with a loaded one and writes the\n"
    "         Modified, Deleted and Added lines. With --folder, DIR is listed\n"
    "         first and that listing is the current one. The counts of the\n"
    "         changes go to standard error.\n"
    "keygen   makes an Ed25519 key pair for signed listings: KEY, readable by you\n"
    "         alone, and KEY.pub. It never replaces an existing file.\n"
    "\n"
    "EXCLUDES are --exclude PATTERN and --exclude-from FILE.\n"
    "\n";

constexpr const char* kClosing =
    "\n"
    "Lines end with CR LF and go to standard output, or to FILE with -o. The\n"
    "totals go to standard error, and so does a warning for each folder or file\n"
    "that could not be read, with their count at the end.\n"
    "\n"
    "Exit status: 0 success (compare: no differences), 1 differences found,\n"
    "2 error, 3 incomplete: list or compare --folder could not read some\n"
    "folders or files (this outranks 0 and 1), 128 + the signal when interrupted.\n";

// The whole text of a pattern file; the errno value when it cannot be read.
// A folder opens on POSIX but is no file of patterns.
int ReadPatternFile(const std::string& path, std::string& text) {
  ReadableFile file;
  if (!file.OpenForLoading(path, false)) return file.Error();
  if (file.IsFolder()) return EISDIR;
  char block[16384];
  for (;;) {
    const long long got = file.Read(block, sizeof block);
    if (got < 0) return file.Error();
    if (got == 0) return 0;
    text.append(block, static_cast<std::size_t>(got));
  }
}

}  // namespace

std::string CommandSupport::Usage() {
  std::string synopsis = kSynopsis;
  if (!DigestStore::Available()) {
    for (std::size_t at; (at = synopsis.find(" [--reuse-digests]")) != std::string::npos;) synopsis.erase(at, 18);
    synopsis += "This build keeps no digest cache: --md5 reads every file each time.\n\n";
  }
  return synopsis + OptionTable::Help() + kClosing;
}

int CommandSupport::UsageError(const std::string& problem) {
  std::cerr << "quillon-cli: " << problem << "\n" << Usage();
  return 2;
}

void CommandSupport::TakeStandardOutput(std::optional<std::string>& output) {
  constexpr int kStandardOutput = 1;
  if (output && (*output == "-" || FileSaver::OpenDescriptorOf(*output) == kStandardOutput)) output.reset();
}

bool CommandSupport::CheckFolder(const std::string& folder) {
  if (const auto why = SystemPaths::WhyNotAFolder(folder)) {
    std::cerr << "quillon-cli: cannot list '" << folder << "': " << *why << "\n";
    return false;
  }
  return true;
}

bool CommandSupport::OutputSparesInputs(const std::optional<std::string>& output,
                                        const std::vector<std::pair<std::string, std::string>>& inputs) {
  if (!output) return true;
  for (const auto& [role, input] : inputs) {
    if (!SystemPaths::SameFile(*output, input)) continue;
    std::cerr << "quillon-cli: the output file '" << *output << "' is the " << role << " '" << input
              << "'; it would be replaced by the results. Give another file with -o.\n";
    return false;
  }
  return true;
}

std::vector<std::pair<std::string, std::string>> CommandSupport::ListingInputs(const CliOptions& options) {
  std::vector<std::pair<std::string, std::string>> inputs;
  for (const std::string& file : options.excludeFiles) inputs.emplace_back("exclude pattern file", file);
  if (options.digestCache) inputs.emplace_back("digest cache", *options.digestCache);
  if (options.sign) inputs.emplace_back("private key", *options.sign);
  if (options.verifyWith) inputs.emplace_back("public key", *options.verifyWith);
  return inputs;
}

bool CommandSupport::PrepareListing(CliOptions& options, int& status) {
  status = 2;
  if (options.md5 && options.sha256) {
    status = UsageError("choose one digest: --md5 or --sha256");
    return false;
  }
  if (options.reuseDigests && !options.md5 && !options.sha256) {
    status = UsageError("--reuse-digests goes with --md5 or --sha256");
    return false;
  }
  if (options.digestCache && !options.reuseDigests) {
    status = UsageError("--digest-cache goes with --reuse-digests");
    return false;
  }
  for (const std::string& file : options.excludeFiles) {
    std::string text;
    if (const int error = ReadPatternFile(file, text)) {
      std::cerr << "quillon-cli: "
                << ErrorText::WithSystemReason("cannot read exclude patterns from '" + file + "'", error) << "\n";
      return false;
    }
    for (std::string& pattern : ExcludePatterns::FromLines(text)) options.excludes.push_back(std::move(pattern));
  }
  // A malformed pattern is refused before anything is listed.
  try {
    ExcludePatterns check(options.excludes);
  } catch (const QuillonError& error) {
    std::cerr << "quillon-cli: " << error.what() << "\n";
    return false;
  }
  return true;
}

void CommandSupport::PassRecords(ReadableRecords& records, ListingWriter& writer) {
  for (const std::string_view record : records.Lines()) writer.Add(record);
  records.Clear();
}

