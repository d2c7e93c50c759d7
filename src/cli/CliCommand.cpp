#include "cli/CliCommand.h"

#include <cctype>
#include <chrono>
#include <limits>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <utility>

#include "surfaces/BuildInfo.h"
#include "surfaces/ErrorText.h"
#include "app/TMainWindow.h"
#include "surfaces/Texts.h"
#include "cli/HeadlessSurfaces.h"
#include "cli/OptionTable.h"
#include "cli/ProgressLine.h"
#include "compare/BoundedComparison.h"
#include "compare/ReadableRecords.h"
#include "compare/SpilledListing.h"
#include "documents/ListingFile.h"
#include "documents/ListingSignature.h"
#include "documents/ListingLineReader.h"
#include "documents/ListingWriter.h"
#include "engine/ExcludePatterns.h"
#include "platform/DigestStore.h"
#include "platform/FileSaver.h"
#include "platform/MemoryBudget.h"
#include "platform/QuillonError.h"
#include "platform/ReadableFile.h"
#include "platform/SigningKey.h"
#include "platform/SpillFile.h"
#include "platform/StandardStream.h"
#include "platform/SystemFolderSearch.h"
#include "platform/SystemPaths.h"

namespace {

constexpr const char* kSynopsis =
    "usage: quillon-cli list [--md5|--sha256 [--reuse-digests]] [--readers N] [--format F] [EXCLUDES]\n"
    "                        [--temp-dir DIR] FOLDER [-o FILE [--sign KEY]]\n"
    "       quillon-cli compare [--moves] [--format F] [--memory SIZE] [--temp-dir DIR]\n"
    "                           [--verify-with PUBKEY] CURRENT LOADED [-o FILE]\n"
    "       quillon-cli compare [--moves] [--format F] [--memory SIZE] [--temp-dir DIR]\n"
    "                           [--verify-with PUBKEY] --folder DIR\n"
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

// The help as far as this build can do it: the options come from the table,
// which leaves out what the build lacks.
std::string Usage() {
  std::string synopsis = kSynopsis;
  if (!DigestStore::Available()) {
    for (std::size_t at; (at = synopsis.find(" [--reuse-digests]")) != std::string::npos;) synopsis.erase(at, 18);
    synopsis += "This build keeps no digest cache: --md5 reads every file each time.\n\n";
  }
  return synopsis + OptionTable::Help() + kClosing;
}

constexpr std::size_t kRecordBatch = 4096;

// Passes what is written on, keeping a copy where one is asked for.
class CopyingChannel : public OutputChannel {
 public:
  CopyingChannel(OutputChannel& out, std::string* copy) : out_(out), copy_(copy) {}
  bool Write(const char* data, std::size_t size) override {
    if (copy_ != nullptr) copy_->append(data, size);
    return out_.Write(data, size);
  }

 private:
  OutputChannel& out_;
  std::string* copy_;
};

// Lines held in memory, handed out one at a time.
class LinesInMemory : public LineSource {
 public:
  explicit LinesInMemory(const std::vector<std::string_view>& lines) : lines_(lines) {}
  bool Next(std::string_view& line) override {
    if (next_ == lines_.size()) return false;
    line = lines_[next_++];
    return true;
  }

 private:
  const std::vector<std::string_view>& lines_;
  std::size_t next_ = 0;
};

// A channel into records kept for later; a full disk fails with its own text.
class SpillOutput : public OutputChannel {
 public:
  explicit SpillOutput(SpillChannel& channel) : channel_(channel) {}
  bool Write(const char* data, std::size_t size) override {
    channel_.Put(data, size);
    return true;
  }

 private:
  SpillChannel& channel_;
};

// Writes the records made so far and drops them.
void PassRecords(ReadableRecords& records, ListingWriter& writer) {
  for (const std::string_view record : records.Lines()) writer.Add(record);
  records.Clear();
}

// The changes as result lines, or as records, and "No differences found"
// when there are none; false when a write falls short.
bool WriteChanges(BoundedComparison& comparison, std::optional<ReadableRecords::Format> format, OutputChannel& out) {
  ListingWriter writer(out);
  std::optional<ReadableRecords> records;
  if (format) records.emplace(*format);
  if (records) records->AddChangeHeader();
  comparison.ForEachChange([&](ChangeKind kind, std::string_view current, std::string_view loaded) {
    if (!records) {
      writer.Add(ResultLineParts(kind, current, loaded));
      return;
    }
    records->AddChange(kind, current, loaded);
    if (records->Lines().size() >= kRecordBatch) PassRecords(*records, writer);
  });
  const ComparisonResult& counts = comparison.Counts();
  if (records) {
    records->AddChangeCounts(counts);
    PassRecords(*records, writer);
  } else if (counts.Modified + counts.Deleted + counts.Added + counts.Moved == 0) {
    writer.Add(Texts::kNoDifferences);
  }
  return writer.Finish();
}

// A file, new or not, or a FIFO of its own name: FILE.sig then goes beside
// a name the user gave. /dev/stdout and its kin name a descriptor of ours,
// whatever it leads to, and FILE.sig would land among the system's files.
bool SignableOutput(const std::string& output) {
  if (FileSaver::OpenDescriptorOf(output) >= 0) return false;
  std::error_code error;
  const auto target = std::filesystem::status(output, error);
  return !std::filesystem::exists(target) || std::filesystem::is_regular_file(target) ||
         std::filesystem::is_fifo(std::filesystem::symlink_status(output, error));
}

// "-o -", and a name of standard output such as /dev/stdout, mean standard
// output itself: written where it stands, as without -o.
void TakeStandardOutput(std::optional<std::string>& output) {
  constexpr int kStandardOutput = 1;
  if (output && (*output == "-" || FileSaver::OpenDescriptorOf(*output) == kStandardOutput)) output.reset();
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

// A listing a comparison reads, each line counted, with its line end, as it
// goes by.
class CountedLines final : public LineSource {
 public:
  using Counter = std::function<void(std::size_t bytes)>;
  CountedLines(LineSource& source, Counter count) : source_(source), count_(std::move(count)) {}
  CountedLines(std::unique_ptr<LineSource> source, Counter count)
      : owned_(std::move(source)), source_(*owned_), count_(std::move(count)) {}
  bool Next(std::string_view& line) override {
    if (!source_.Next(line)) return false;
    count_(line.size() + 2);
    return true;
  }
  long long SizeHint() const override { return source_.SizeHint(); }

 private:
  std::unique_ptr<LineSource> owned_;
  LineSource& source_;
  Counter count_;
};

// The bytes of a file, 0 when that cannot be told.
std::uint64_t SizeOfFile(const std::string& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
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

  // How much of the listings a comparison has read, on the progress line.
  void ShowComparing(std::uint64_t read, std::uint64_t total) {
    if (total == 0 || !progress_.Due()) return;
    progress_.Show("comparing: " + std::to_string(std::min(read, total) * 100 / total) + " %");
  }

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

  // What write puts out, to standard output or to FILE through the safe
  // writer; on failure prints the error and returns false.
  bool WriteOut(const std::optional<std::string>& output, const std::function<bool(OutputChannel&)>& write) {
    if (output) return Run([&] { SaveListingFile(*output, write); });
    StandardStream out(StandardStream::Which::Output);
    // Lines on the terminal would break into the progress line.
    if (out.IsConsole()) surfaces_.SetRefreshHook({});
    return Run([&] {
      if (!write(out)) throw QuillonError(ErrorText::kStreamWriteError);
    });
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

  HeadlessSurfaces surfaces_;
  SystemFolderSearch search_;
  TMainWindow window_;
  StandardStream error_;
  ProgressLine progress_;
  std::chrono::steady_clock::time_point started_;
};

}  // namespace

int CliCommand::Main(const std::vector<std::string>& args) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << Usage();
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
  if (options.sign && (*options.output == "-" || !SignableOutput(*options.output)))
    return UsageError("--sign needs -o FILE to be a file or a FIFO, for FILE.sig goes beside it; "
                      "standard output has no place for a signature");
  TakeStandardOutput(options.output);
  if (!OutputSparesInputs(options.output, ListingInputs(options))) return 2;
  // Nor may the signature take the place of the key that makes it.
  if (options.sign && !OutputSparesInputs(ListingSignature::FileOf(*options.output), {{"private key", *options.sign}}))
    return 2;
  int status = 0;
  if (!PrepareListing(options, status)) return status;
  const std::string folder = SystemPaths::AbsoluteFolder(options.operands[0]);
  if (!CheckFolder(folder)) return 2;
  Session session;
  // A signal before FILE is saved says that it was left as it was.
  const auto untouched = FileSaver::UntouchedNote(options.output.value_or(""));
  // A key that cannot sign is refused before the tree is read.
  std::optional<SigningKey> key;
  if (options.sign && !session.Run([&] { key = SigningKey::LoadPrivate(*options.sign); })) return 2;
  std::string signedText;
  bool signatureSaved = false;
  HeadlessSurfaces& surfaces = session.Surfaces();
  const auto format = ReadableRecords::FormatNamed(options.format);
  // Each line goes out as soon as the run has made it; a failed run leaves
  // FILE as it was, while standard output has had what came before.
  struct ListingFailed {};
  const auto writeListing = [&](OutputChannel& out) {
    // A signature is of the bytes written: with a key, they are kept too.
    CopyingChannel copy(out, key ? &signedText : nullptr);
    ListingWriter writer(copy);
    std::optional<ReadableRecords> records;
    LineStore batch;
    bool first = true;
    const auto passBatch = [&] {
      records->AddListing(batch.Lines(), std::exchange(first, false));
      PassRecords(*records, writer);
      batch.Clear();
    };
    if (format) records.emplace(*format);
    surfaces.SetPaneSink(PaneId::ListBox1, [&](std::string_view line) {
      if (!records) {
        writer.Add(line);
        return;
      }
      batch.Append(line);
      if (batch.Size() >= kRecordBatch) passBatch();
    });
    if (!session.ListFolder(folder, options)) throw ListingFailed{};
    if (records) passBatch();
    return writer.Finish();
  };
  try {
    if (!options.output || FileSaver::WritesAsStream(*options.output)) {
      if (!session.WriteOut(options.output, writeListing)) return 2;
    } else {
      // FILE is touched only once the listing is whole: until then it goes to
      // a temporary file (in memory while it is small).
      SpillChannel::Place place{options.temporaryFolder.value_or(SpillFile::DefaultFolder()), 0};
      SpillChannel text(&place, std::size_t{8} << 20);
      SpillOutput spill(text);
      if (!session.Run([&] { writeListing(spill); })) return 2;
      text.StartReading();
      const auto copyOut = [&text](OutputChannel& out) {
        for (std::string_view piece; !(piece = text.TakeUpTo(std::size_t{1} << 20)).empty();)
          if (!out.Write(piece.data(), piece.size())) return false;
        return true;
      };
      if (!key && !session.WriteOut(options.output, copyOut)) return 2;
      // FILE is replaced only once FILE.sig is written; where either cannot
      // be, neither changes.
      if (key && !session.Run([&] {
            ListingSignature::SaveSigned(*options.output, signedText, *key,
                                         [&] { SaveListingFile(*options.output, copyOut); });
          }))
        return 2;
      signatureSaved = true;
    }
  } catch (const ListingFailed&) {
    return 2;
  }
  // A FIFO has had the listing already; its signature goes beside it.
  if (key && !signatureSaved && !session.Run([&] { ListingSignature::SaveSigned(*options.output, signedText, *key, [] {}); })) return 2;
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
  TakeStandardOutput(options.output);
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
  // A signal before FILE is saved says that it was left as it was.
  const auto untouched = FileSaver::UntouchedNote(options.output.value_or(""));
  HeadlessSurfaces& surfaces = session.Surfaces();
  BoundedComparison::Options budget;
  budget.memory = options.memory.value_or(MemoryBudget::AvailableBytes() / 4);
  budget.temporaryFolder = options.temporaryFolder.value_or(SpillFile::DefaultFolder());
  budget.moves = options.moves;
  // The listing of DIR stays in memory while it takes less than half the
  // budget, and goes to a temporary file past that.
  SpilledListing listing(budget.temporaryFolder, budget.memory / 2);
  std::optional<SigningKey> verifier;
  if (options.verifyWith && !session.Run([&] { verifier = SigningKey::LoadPublic(*options.verifyWith); })) return 2;
  // A baseline checked against its signature is compared from the lines
  // held in memory, which the check makes sure are those of the bytes that
  // verified. A failed check is told before a long listing, not after it.
  if (verifier && !session.Run([&] { surfaces.PaneLoadFromFile(PaneId::ListBox2, loaded); })) return 2;
  if (!session.CheckSignature(loaded, verifier)) return 2;
  if (options.folder) {
    const std::string folder = SystemPaths::AbsoluteFolder(*options.folder);
    if (!CheckFolder(folder)) return 2;
    surfaces.SetPaneSink(PaneId::ListBox1, [&listing](std::string_view line) { listing.Add(line); });
    if (!session.ListFolder(folder, options)) return 2;
    if (options.reuseDigests) session.PrintReuse();
    if (!session.Run([&] { listing.StartReading(); })) return 2;
  }
  BoundedComparison comparison(budget);
  // Reading the listings is most of a long comparison: the progress line
  // tells how far it has got, by their bytes. A baseline held in memory for
  // its signature check takes no time to read.
  std::uint64_t bytesRead = 0;
  std::size_t linesRead = 0;
  const std::uint64_t totalBytes =
      (options.folder ? static_cast<std::uint64_t>(std::max(0LL, listing.SizeHint())) : SizeOfFile(options.operands[0])) +
      (verifier ? 0 : SizeOfFile(loaded));
  const auto count = [&](std::size_t bytes) {
    bytesRead += bytes;
    if (++linesRead % 4096 == 0) session.ShowComparing(bytesRead, totalBytes);
  };
  const auto openLoaded = [&]() -> std::unique_ptr<LineSource> {
    if (verifier) return std::make_unique<LinesInMemory>(surfaces.Pane(PaneId::ListBox2).Lines().Lines());
    return std::make_unique<CountedLines>(std::make_unique<ListingLineReader>(loaded), count);
  };
  const bool compared = session.Run([&] {
    if (options.folder) {
      // A listing still in memory is compared where it is, not copied.
      if (auto lines = listing.LinesInMemory()) {
        count(static_cast<std::size_t>(std::max(0LL, listing.SizeHint())));
        comparison.Run(*lines, openLoaded, [&] {
          std::vector<std::string_view>().swap(*lines);
          listing.Release();
        });
      } else {
        CountedLines current(listing, count);
        comparison.Run(current, openLoaded);
      }
    } else {
      ListingLineReader reader(options.operands[0]);
      CountedLines current(reader, count);
      comparison.Run(current, openLoaded);
    }
  });
  if (!compared) {
    // The program's message tells of a line that is missing; say which listing had none.
    if (comparison.ListingsRead()) {
      if (!options.folder && comparison.CurrentLineCount() == 0) {
        std::cerr << "quillon-cli: the current listing '" << options.operands[0] << "' is empty\n";
      } else if (comparison.LoadedLineCount() == 0) {
        std::cerr << "quillon-cli: the loaded listing '" << loaded << "' is empty\n";
      }
    }
    return 2;
  }
  for (const std::string& warning : comparison.Warnings()) surfaces.ShowWarning(warning);
  const auto format = ReadableRecords::FormatNamed(options.format);
  if (!session.WriteOut(options.output, [&](OutputChannel& out) { return WriteChanges(comparison, format, out); }))
    return 2;
  const ComparisonResult& counts = comparison.Counts();
  std::cerr << counts.CountsText() << "\n";
  const bool same = counts.Modified + counts.Deleted + counts.Added + counts.Moved == 0;
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
