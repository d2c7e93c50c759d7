#include "cli/CliCommand.h"

#include <chrono>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "surfaces/BuildInfo.h"
#include "surfaces/ErrorText.h"
#include "app/TMainWindow.h"
#include "surfaces/Texts.h"
#include "cli/HeadlessSurfaces.h"
#include "cli/ProgressLine.h"
#include "compare/ReadableRecords.h"
#include "documents/ListingFile.h"
#include "documents/ListingSignature.h"
#include "engine/ExcludePatterns.h"
#include "platform/DigestStore.h"
#include "platform/QuillonError.h"
#include "platform/ReadableFile.h"
#include "platform/SigningKey.h"
#include "platform/StandardStream.h"
#include "platform/SystemFolderSearch.h"
#include "platform/SystemPaths.h"

namespace {

constexpr const char* kUsage =
    "usage: quillon-cli list [--md5|--sha256 [--reuse-digests]] [--readers N] [--format F] [EXCLUDES]\n"
    "                        FOLDER [-o FILE [--sign KEY]]\n"
    "       quillon-cli compare [--moves] [--format F] [--verify-with PUBKEY]\n"
    "                           CURRENT LOADED [-o FILE]\n"
    "       quillon-cli compare [--moves] [--format F] [--verify-with PUBKEY] --folder DIR\n"
    "                           [--md5|--sha256 [--reuse-digests]] [--readers N] [EXCLUDES]\n"
    "                           LOADED [-o FILE]\n"
    "       quillon-cli keygen -o KEY\n"
    "       quillon-cli --help | --version\n"
    "\n"
    "list     lists FOLDER and its whole tree, breadth-first: one line per file\n"
    "         (date-time, size, attributes, with --md5 the MD5 digest, full path),\n"
    "         then every folder, then a summary line.\n"
    "compare  compares a current listing with a loaded one and writes the\n"
    "         Modified, Deleted and Added lines. With --folder, DIR is listed\n"
    "         first and that listing is the current one. With --moves, a file\n"
    "         that moved is one Moved line: its current line, \" <= \" and its\n"
    "         old path. The counts of the changes go to standard error.\n"
    "\n"
    "keygen   makes an Ed25519 key pair for signed listings: KEY, readable by you\n"
    "         alone, and KEY.pub. It never replaces an existing file.\n"
    "\n"
    "--sign KEY            writes FILE.sig beside FILE: the Ed25519 signature of\n"
    "                      FILE's bytes. A KEY others may read is refused. The\n"
    "                      man page shows the openssl command that checks it.\n"
    "--verify-with PUBKEY  checks LOADED against LOADED.sig first; a missing or\n"
    "                      wrong signature is an error (2) and nothing is\n"
    "                      compared. A signed LOADED compared without it gets a\n"
    "                      note that it was not checked. Keep KEY on another\n"
    "                      machine than the tree you audit: whoever can read it\n"
    "                      can sign a forged baseline. (Not in the Windows build.)\n"
    "\n"
    "--sha256 puts the SHA-256 digest (64 hexadecimal digits) where --md5 puts\n"
    "the MD5 digest (32); an unreadable file gets 64 zeros. Choose it where\n"
    "someone could prepare two files with the same MD5. A listing made with\n"
    "one digest compared with one made with the other, or with none, shows\n"
    "every file as Modified; --moves never pairs digests of different kinds.\n"
    "\n"
    "--format text (the default) writes the lines above; csv writes CSV with a\n"
    "header row and json writes JSON Lines, one record per file or change.\n"
    "\n"
    "--readers N keeps N reads of files under way at once ahead of a digest\n"
    "listing, 1 to 1024 (default 256); with N above 1 folders are searched ahead\n"
    "too. Many reads under way keep a solid-state or network disk busy; on a\n"
    "spinning disk 1 keeps its head from jumping to and fro. The listing is the\n"
    "same whatever N is.\n"

    "--exclude PATTERN     leaves out what matches (repeatable), as gitignore does:\n"
    "                      without \"/\" a name at any depth, with \"/\" a path\n"
    "                      below FOLDER; * ? [...] stay within a name, ** crosses\n"
    "                      folders, a trailing / matches folders only, and a\n"
    "                      leading ! keeps again what matches; the last pattern\n"
    "                      that matches decides. An excluded folder is not\n"
    "                      searched; nothing excluded is counted.\n"
    "--exclude-from FILE   the patterns of FILE, read as a .gitignore is.\n"
    "--reuse-digests       takes the digests of files unchanged since an earlier\n"
    "                      run from the digest cache instead of reading them;\n"
    "                      off by default, since a tamper audit should read all.\n"
    "                      Writes through a shared memory map (databases, VM\n"
    "                      images) change no time and can go unseen.\n"
    "--digest-cache FILE   the digest cache to use (default\n"
    "                      $XDG_CACHE_HOME/quillon/digests.sqlite); one that\n"
    "                      others may write, or another user's, is not used.\n"
    "\n"
    "Lines end with CR LF and go to standard output, or to FILE with -o; FILE is\n"
    "replaced only once it has been written whole (a device, FIFO or socket is\n"
    "written directly). The totals go to standard error, and so does a warning\n"
    "for each folder or file that could not be read, with their count at the end.\n"
    "\n"
    "Exit status: 0 success (compare: no differences), 1 differences found,\n"
    "2 error, 3 incomplete: list or compare --folder could not read some\n"
    "folders or files (this outranks 0 and 1), 128 + the signal when interrupted.\n";

// The help as far as this build can do it: without a digest cache, neither
// --reuse-digests nor --digest-cache, and a line that says so instead.
std::string Usage() {
  if (DigestStore::Available()) return kUsage;
  std::string text(kUsage);
  for (std::size_t at; (at = text.find(" [--reuse-digests]")) != std::string::npos;) text.erase(at, 18);
  std::istringstream lines(text);
  std::string kept;
  bool dropping = false, said = false;
  for (std::string line; std::getline(lines, line);) {
    // An option's own lines go on indented.
    if (line.rfind("--reuse-digests", 0) == 0 || line.rfind("--digest-cache", 0) == 0) {
      dropping = true;
    } else if (line.rfind("  ", 0) != 0) {
      dropping = false;
    }
    if (!dropping) {
      kept += line + "\n";
    } else if (!said) {
      kept += "This build keeps no digest cache: --md5 reads every file each time.\n";
      said = true;
    }
  }
  return kept;
}

bool ParseReaders(const std::string& text, std::size_t& readers) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  readers = std::stoul(text);
  return readers >= 1 && readers <= ListingEngine::kMaxReaders;
}

// A file, new or not, or a FIFO of its own name: FILE.sig then goes beside
// a name the user gave. /dev/stdout and its kin lead to a device or a pipe.
bool SignableOutput(const std::string& output) {
  std::error_code error;
  const auto target = std::filesystem::status(output, error);
  return !std::filesystem::exists(target) || std::filesystem::is_regular_file(target) ||
         std::filesystem::is_fifo(std::filesystem::symlink_status(output, error));
}

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

int UsageError(const std::string& problem) {
  std::cerr << "quillon-cli: " << problem << "\n" << Usage();
  return 2;
}

// Checks that the folder can be listed; a clear line on standard error if not.
bool CheckFolder(const std::string& folder) {
  if (const auto why = SystemPaths::WhyNotAFolder(folder)) {
    std::cerr << "quillon-cli: cannot list '" << folder << "': " << *why << "\n";
    return false;
  }
  return true;
}

// Refuses an output that is one of the files read (a listing, the exclude
// patterns, the digest cache): it would be replaced by what was made from it.
bool OutputSparesInputs(const std::optional<std::string>& output,
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

// The files a listing reads besides the tree, with the role each plays.
std::vector<std::pair<std::string, std::string>> ListingInputs(const CliCommand::Options& options) {
  std::vector<std::pair<std::string, std::string>> inputs;
  for (const std::string& file : options.excludeFiles) inputs.emplace_back("exclude pattern file", file);
  if (options.digestCache) inputs.emplace_back("digest cache", *options.digestCache);
  if (options.sign) inputs.emplace_back("private key", *options.sign);
  if (options.verifyWith) inputs.emplace_back("public key", *options.verifyWith);
  return inputs;
}

// One front end over the core: the headless surfaces, the real folder search
// and the window logic, with the live progress line on a terminal.
class Session {
 public:
  Session()
      : window_(surfaces_, search_, RegionalSettings::FromUserLocale()),
        error_(StandardStream::Which::Error),
        progress_(error_) {
    if (progress_.Enabled()) surfaces_.SetRefreshHook([this] { ShowProgress(); });
    surfaces_.SetUnreadableHook([this](std::string_view path, std::string_view reason) {
      progress_.Finish();  // the warning gets a line of its own
      std::cerr << "quillon-cli: " << path << ": " << reason << "\n";
    });
    surfaces_.SetWarningHook([this](std::string_view text) {
      progress_.Finish();
      std::cerr << "quillon-cli: warning: " << text << "\n";
    });
  }

  HeadlessSurfaces& Surfaces() { return surfaces_; }
  TMainWindow& Window() { return window_; }

  // Runs a command; on failure prints the error box's text and returns false.
  bool Run(const std::function<void()>& command) {
    const bool ok = window_.Dispatch(command);
    progress_.Finish();
    if (!ok) std::cerr << "quillon-cli: " << surfaces_.Errors().back() << "\n";
    return ok;
  }

  bool ListFolder(const std::string& folder, const CliCommand::Options& options) {
    surfaces_.SetFolderBrowserAnswer(folder);
    surfaces_.SetMd5(options.md5 || options.sha256);
    window_.SetDigestAlgorithm(options.sha256 ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5);
    surfaces_.SetReuseDigests(options.reuseDigests);
    surfaces_.SetExcludePatterns(options.excludes);
    if (options.digestCache) window_.SetDigestCacheFile(*options.digestCache);
    if (options.readers != 0) window_.SetReaders(options.readers);
    started_ = std::chrono::steady_clock::now();
    return Run([this] { window_.EditListContentActionExecute(); });
  }

  void PrintTotals() {
    std::cerr << surfaces_.PanelText(0) << "  " << surfaces_.PanelText(1) << "  " << surfaces_.PanelText(2) << "\n";
  }

  // After a listing that could not read everything, prints the count the
  // window shows in panel 4, and says so.
  bool Incomplete() {
    if (surfaces_.UnreadableCount() == 0) return false;
    std::cerr << "quillon-cli: " << window_.UnreadableText() << "\n";
    return true;
  }

  void PrintReuse() {
    const MainWindowState& state = window_.State();
    std::cerr << state.ReusedDigestCount << " of " << state.DigestCount << " digests reused\n";
  }

  // The pane to standard output, or to the file through the safe writer.
  bool Emit(PaneId pane, const std::optional<std::string>& output) {
    if (output) return Run([&] { surfaces_.PaneSaveToFile(pane, *output); });
    return EmitToStandardOutput(surfaces_.Pane(pane).Lines().Lines());
  }

  // Writes the signature of the lines written to output beside it.
  bool Sign(const std::vector<std::string_view>& lines, const std::string& output, const SigningKey& key) {
    return Run([&] { ListingSignature::Write(lines, output, key); });
  }

  // Checks the loaded listing's signature with key; without a key, only
  // notes a signature that goes unchecked. False after a message when the
  // listing is not to be compared.
  bool CheckSignature(const std::string& loaded, const std::optional<SigningKey>& key) {
    const std::string signatureFile = ListingSignature::FileOf(loaded);
    if (!key) {
      if (ListingSignature::Present(loaded))
        std::cerr << "quillon-cli: note: the loaded listing '" << loaded << "' is signed, but its signature '"
                  << signatureFile << "' was not checked; give --verify-with PUBKEY to check it\n";
      return true;
    }
    auto verdict = ListingSignature::Verdict::Mismatch;
    if (!Run([&] { verdict = ListingSignature::Check(surfaces_.Pane(PaneId::ListBox2).Lines().Lines(), loaded, *key); }))
      return false;
    if (verdict == ListingSignature::Verdict::Unsigned) {
      std::cerr << "quillon-cli: the loaded listing '" << loaded << "' is not signed: there is no signature file '"
                << signatureFile << "'. Nothing was compared.\n";
      return false;
    }
    if (verdict == ListingSignature::Verdict::Mismatch) {
      std::cerr << "quillon-cli: the signature '" << signatureFile << "' does not match the loaded listing '" << loaded
                << "' and the key '" << key->File()
                << "': the listing or its signature was changed, or another key signed it. Nothing was compared.\n";
      return false;
    }
    return true;
  }

  bool Emit(const ReadableRecords& records, const std::optional<std::string>& output) {
    if (output) return Run([&] { WriteListingFile(records.Lines(), *output); });
    return EmitToStandardOutput(records.Lines());
  }

 private:
  void ShowProgress() {
    if (!progress_.Due()) return;
    const MainWindowState& state = window_.State();
    const std::string& percent = surfaces_.PanelText(3);
    if (!percent.empty()) {
      progress_.Show("comparing: " + percent);
      return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    progress_.Show(ProgressLine::ListingText(state.FileCount, static_cast<long long>(state.FolderQueue.size()),
                                             state.TotalSize, seconds));
  }

  bool EmitToStandardOutput(const std::vector<std::string_view>& lines) {
    StandardStream out(StandardStream::Which::Output);
    if (WriteListingText(out, lines)) return true;
    std::cerr << "quillon-cli: " << ErrorText::ForErrorBox(ErrorText::kStreamWriteError) << "\n";
    return false;
  }

  HeadlessSurfaces surfaces_;
  SystemFolderSearch search_;
  TMainWindow window_;
  StandardStream error_;
  ProgressLine progress_;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace

std::optional<CliCommand::Options> CliCommand::Parse(const std::vector<std::string>& args, std::string& problem) {
  Options options;
  if (args.empty()) {
    problem = "no command given";
    return std::nullopt;
  }
  options.command = args[0];
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--md5") {
      options.md5 = true;
    } else if (arg == "--sha256") {
      options.sha256 = true;
    } else if (arg == "--moves" && options.command == "compare") {
      options.moves = true;
    } else if (arg == "--format") {
      if (++i >= args.size()) {
        problem = "--format needs text, csv or json";
        return std::nullopt;
      }
      if (args[i] != "text" && !ReadableRecords::FormatNamed(args[i])) {
        problem = "unknown format '" + args[i] + "'";
        return std::nullopt;
      }
      options.format = args[i];
    } else if (arg == "--reuse-digests") {
      options.reuseDigests = true;
    } else if ((arg == "--sign" && options.command == "list") ||
               (arg == "--verify-with" && options.command == "compare")) {
      if (++i >= args.size() || args[i].empty()) {
        problem = arg + " needs a key file";
        return std::nullopt;
      }
      (arg == "--sign" ? options.sign : options.verifyWith) = args[i];
    } else if (arg == "--exclude" || arg == "--exclude-from" || arg == "--digest-cache") {
      if (++i >= args.size()) {
        problem = arg + (arg == "--exclude" ? " needs a pattern" : " needs a file name");
        return std::nullopt;
      }
      if (arg == "--exclude") options.excludes.push_back(args[i]);
      if (arg == "--exclude-from") options.excludeFiles.push_back(args[i]);
      if (arg == "--digest-cache") options.digestCache = args[i];
    } else if (arg == "-o" || arg == "--output") {
      if (++i >= args.size()) {
        problem = "-o needs a file name";
        return std::nullopt;
      }
      if (args[i].empty()) {
        problem = "the file name after -o is empty";
        return std::nullopt;
      }
      options.output = args[i];
    } else if (arg == "--readers") {
      if (++i >= args.size() || !ParseReaders(args[i], options.readers)) {
        problem = "--readers needs a number from 1 to " + std::to_string(ListingEngine::kMaxReaders);
        return std::nullopt;
      }
    } else if (arg == "--folder" && options.command == "compare") {
      if (++i >= args.size()) {
        problem = "--folder needs a folder";
        return std::nullopt;
      }
      options.folder = args[i];
    } else if (arg == "--") {
      options.operands.insert(options.operands.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      problem = "unknown option '" + arg + "'";
      return std::nullopt;
    } else {
      options.operands.push_back(arg);
    }
  }
  return options;
}

int CliCommand::Main(const std::vector<std::string>& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << Usage();
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::cout << BuildInfo::VersionLine() << "\n";
    return 0;
  }
  std::string problem;
  const auto options = Parse(args, problem);
  if (!options) return UsageError(problem);
  if (options->command == "list") return List(*options);
  if (options->command == "compare") return Compare(*options);
  if (options->command == "keygen") return Keygen(*options);
  return UsageError("unknown command '" + options->command + "'");
}

bool CliCommand::PrepareListing(Options& options, int& status) {
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

int CliCommand::List(Options options) {
  if (options.operands.size() != 1) return UsageError("list takes one FOLDER");
  if (options.sign && !options.output) return UsageError("--sign needs -o FILE: the signature goes beside FILE");
  if (options.sign && !SignableOutput(*options.output))
    return UsageError("--sign needs -o FILE to be a file or a FIFO, for FILE.sig goes beside it");
  if (!OutputSparesInputs(options.output, ListingInputs(options))) return 2;
  // Nor may the signature take the place of the key that makes it.
  if (options.sign && !OutputSparesInputs(ListingSignature::FileOf(*options.output), {{"private key", *options.sign}}))
    return 2;
  int status = 0;
  if (!PrepareListing(options, status)) return status;
  const std::string folder = SystemPaths::AbsoluteFolder(options.operands[0]);
  if (!CheckFolder(folder)) return 2;
  Session session;
  // A key that cannot sign is refused before the tree is read.
  std::optional<SigningKey> key;
  if (options.sign && !session.Run([&] { key = SigningKey::LoadPrivate(*options.sign); })) return 2;
  if (!session.ListFolder(folder, options)) return 2;
  const std::vector<std::string_view>* written = &session.Surfaces().Pane(PaneId::ListBox1).Lines().Lines();
  std::optional<ReadableRecords> records;
  if (const auto format = ReadableRecords::FormatNamed(options.format)) {
    records.emplace(*format);
    records->AddListing(*written);
    written = &records->Lines();
    if (!session.Emit(*records, options.output)) return 2;
  } else if (!session.Emit(PaneId::ListBox1, options.output)) {
    return 2;
  }
  if (key && !session.Sign(*written, *options.output, *key)) return 2;
  session.PrintTotals();
  if (options.reuseDigests) session.PrintReuse();
  return session.Incomplete() ? 3 : 0;
}

int CliCommand::Compare(Options options) {
  const std::size_t wanted = options.folder ? 1 : 2;
  if (options.operands.size() != wanted)
    return UsageError(options.folder ? "compare --folder DIR takes one LOADED listing"
                                     : "compare takes CURRENT and LOADED listings");
  if ((options.md5 || options.sha256 || options.readers != 0) && !options.folder)
    return UsageError(std::string(options.md5 ? "--md5" : options.sha256 ? "--sha256" : "--readers") +
                      " goes with --folder");
  const std::string& loaded = options.operands.back();
  std::vector<std::pair<std::string, std::string>> inputs = ListingInputs(options);
  inputs.emplace_back("loaded listing", loaded);
  if (options.verifyWith) inputs.emplace_back("loaded listing's signature", ListingSignature::FileOf(loaded));
  if (!options.folder) inputs.emplace_back("current listing", options.operands[0]);
  if (!OutputSparesInputs(options.output, inputs)) return 2;
  if (!options.folder && (!options.excludes.empty() || !options.excludeFiles.empty()))
    return UsageError("--exclude goes with --folder");
  int status = 0;
  if (options.folder && !PrepareListing(options, status)) return status;
  Session session;
  HeadlessSurfaces& surfaces = session.Surfaces();
  surfaces.SetDetectMoves(options.moves);
  std::optional<SigningKey> verifier;
  if (options.verifyWith && !session.Run([&] { verifier = SigningKey::LoadPublic(*options.verifyWith); })) return 2;
  const auto loadBaseline = [&] {
    return session.Run([&] { surfaces.PaneLoadFromFile(PaneId::ListBox2, loaded); }) &&
           session.CheckSignature(loaded, verifier);
  };
  if (options.folder) {
    const std::string folder = SystemPaths::AbsoluteFolder(*options.folder);
    if (!CheckFolder(folder)) return 2;
    // A baseline that fails its check is told before a long listing, not after it.
    if (!loadBaseline()) return 2;
    if (!session.ListFolder(folder, options)) return 2;
    if (options.reuseDigests) session.PrintReuse();
  } else if (!session.Run([&] { surfaces.PaneLoadFromFile(PaneId::ListBox1, options.operands[0]); }) ||
             !loadBaseline()) {
    return 2;
  }
  if (!session.Run([&] { session.Window().EditCompareContentActionExecute(); })) {
    // The program's message tells of a line that is missing; say which listing had none.
    if (!options.folder && surfaces.Pane(PaneId::ListBox1).Count() == 0) {
      std::cerr << "quillon-cli: the current listing '" << options.operands[0] << "' is empty\n";
    } else if (surfaces.Pane(PaneId::ListBox2).Count() == 0) {
      std::cerr << "quillon-cli: the loaded listing '" << loaded << "' is empty\n";
    }
    return 2;
  }
  const ComparisonResult& result = session.Window().LastComparison();
  if (const auto format = ReadableRecords::FormatNamed(options.format)) {
    ReadableRecords records(*format);
    records.AddChanges(result, surfaces.Pane(PaneId::ListBox1).Lines().Lines(),
                       surfaces.Pane(PaneId::ListBox2).Lines().Lines());
    if (!session.Emit(records, options.output)) return 2;
  } else if (!session.Emit(PaneId::ListBox3, options.output)) {
    return 2;
  }
  std::cerr << result.CountsText() << "\n";
  const ListPane& results = surfaces.Pane(PaneId::ListBox3);
  const bool same = results.Count() == 1 && results.LineAt(0) == Texts::kNoDifferences;
  // Files left out of the current listing would show as deleted: an
  // incomplete listing outranks what the comparison found.
  if (session.Incomplete()) return 3;
  return same ? 0 : 1;
}

int CliCommand::Keygen(const Options& options) {
  if (!options.output || !options.operands.empty()) return UsageError("keygen takes -o KEY and nothing else");
  Session session;
  if (!session.Run([&] { SigningKey::Generate(*options.output); })) return 2;
  std::cerr << "private key: " << *options.output << " (readable by you alone; keep it off the machines you audit)\n"
            << "public key:  " << SigningKey::PublicFileOf(*options.output) << "\n";
  return 0;
}
