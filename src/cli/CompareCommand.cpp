#include "cli/CompareCommand.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/CliSession.h"
#include "cli/CommandSupport.h"
#include "compare/BoundedComparison.h"
#include "compare/FileLineFields.h"
#include "compare/LineChanges.h"
#include "compare/ReadableRecords.h"
#include "compare/SpilledListing.h"
#include "documents/ListingLineReader.h"
#include "documents/ListingSignature.h"
#include "documents/ListingWriter.h"
#include "platform/FileSaver.h"
#include "platform/MemoryBudget.h"
#include "platform/QuillonError.h"
#include "platform/SpillFile.h"
#include "platform/SystemPaths.h"
#include "surfaces/Texts.h"

namespace {

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
      // Where the lines carry metadata, a change names the fields it is in.
      if ((kind == ChangeKind::Modified || kind == ChangeKind::Moved) &&
          (LineChanges::HasMeta(current) || LineChanges::HasMeta(loaded))) {
        const auto names = LineChanges::ChangedNames(current, loaded);
        std::string changed = "Changed:";
        for (std::size_t i = 0; i < names.size(); ++i) changed.append(i == 0 ? " " : ", ").append(names[i]);
        if (!names.empty()) writer.Add(changed);
      }
      return;
    }
    records->AddChange(kind, current, loaded);
    if (records->Lines().size() >= CommandSupport::kRecordBatch) CommandSupport::PassRecords(*records, writer);
  });
  const ComparisonResult& counts = comparison.Counts();
  if (records) {
    records->AddChangeCounts(counts);
    CommandSupport::PassRecords(*records, writer);
  } else if (counts.Modified + counts.Deleted + counts.Added + counts.Moved == 0) {
    writer.Add(Texts::kNoDifferences);
  }
  return writer.Finish();
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

// How a listing file was made, as the first of its file lines tells:
// its digests (nothing inside for none) and whether it carries metadata;
// nothing where no file line tells, or where the listing is a pipe, which
// can be read only once.
struct ListingMade {
  std::optional<DigestAlgorithm> digests;
  bool meta = false;
};
std::optional<ListingMade> HowListingWasMade(const std::string& listing) {
  if (!SystemPaths::IsExistingFile(listing)) return std::nullopt;
  try {
    ListingLineReader reader(listing);
    for (std::string_view line; reader.Next(line);)
      if (const auto fields = FileLineFields::Parse(line)) return ListingMade{fields->DigestKind(), fields->Meta.has_value()};
  } catch (const QuillonError&) {
    // The comparison reads it again, and tells why it cannot.
  }
  return std::nullopt;
}

std::string DigestsText(std::optional<DigestAlgorithm> digests) {
  if (!digests) return "without digests";
  return std::string("with ") + (*digests == DigestAlgorithm::Sha256 ? "SHA-256" : "MD5") + " digests";
}

// With --folder, DIR is listed as LOADED was made: with its digest, or none,
// and with metadata or without, unless --md5, --sha256 or --meta says
// otherwise, which must then agree with it.
bool FollowLoadedListing(CliOptions& options, const std::string& loaded) {
  const auto made = HowListingWasMade(loaded);
  if (!made) return true;
  if (options.meta && !made->meta) {
    std::cerr << "quillon-cli: the loaded listing '" << loaded
              << "' was made without metadata, not with it: leave out --meta, and the folder is listed as it was; "
                 "else every file would show as Modified\n";
    return false;
  }
  options.meta = made->meta;
  if (!options.md5 && !options.sha256) {
    options.md5 = made->digests == DigestAlgorithm::Md5;
    options.sha256 = made->digests == DigestAlgorithm::Sha256;
    return true;
  }
  const DigestAlgorithm asked = options.sha256 ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5;
  if (made->digests == asked) return true;
  const std::string option =
      !made->digests ? "" : *made->digests == DigestAlgorithm::Sha256 ? "--sha256, or " : "--md5, or ";
  std::cerr << "quillon-cli: the loaded listing '" << loaded << "' was made " << DigestsText(made->digests) << ", not "
            << DigestsText(asked) << ": give " << option
            << "no digest option, and the folder is listed as it was; else every file would show as Modified\n";
  return false;
}

}  // namespace

int CompareCommand::Run(CliOptions options) {
  const std::size_t wanted = options.folder ? 1 : 2;
  if (options.operands.size() != wanted)
    return CommandSupport::UsageError(options.folder ? "compare --folder DIR takes one LOADED listing"
                                     : "compare takes CURRENT and LOADED listings");
  if ((options.md5 || options.sha256 || options.meta || options.readers != 0) && !options.folder)
    return CommandSupport::UsageError(std::string(options.md5      ? "--md5"
                                                  : options.sha256 ? "--sha256"
                                                  : options.meta   ? "--meta"
                                                                   : "--readers") +
                                      " goes with --folder");
  CommandSupport::TakeStandardOutput(options.output);
  const std::string& loaded = options.operands.back();
  std::vector<std::pair<std::string, std::string>> inputs = CommandSupport::ListingInputs(options);
  inputs.emplace_back("loaded listing", loaded);
  if (options.verifyWith) inputs.emplace_back("loaded listing's signature", ListingSignature::FileOf(loaded));
  if (!options.folder) inputs.emplace_back("current listing", options.operands[0]);
  if (!CommandSupport::OutputSparesInputs(options.output, inputs)) return 2;
  if (!options.folder && (!options.excludes.empty() || !options.excludeFiles.empty()))
    return CommandSupport::UsageError("--exclude goes with --folder");
  int status = 0;
  if (options.folder && !FollowLoadedListing(options, loaded)) return 2;
  if (options.folder && !CommandSupport::PrepareListing(options, status)) return status;
  CliSession session;
  // A signal before FILE is saved says that it was left as it was.
  const auto untouched = FileSaver::UntouchedNote(options.output.value_or(""));
  HeadlessSurfaces& surfaces = session.Surfaces();
  BoundedComparison::Options budget;
  budget.memory = options.memory.value_or(MemoryBudget::AvailableBytes() / 4);
  budget.temporaryFolder = options.temporaryFolder.value_or(SpillFile::DefaultFolder());
  budget.moves = options.moves;
  budget.ignore = options.ignore;
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
    if (!CommandSupport::CheckFolder(folder)) return 2;
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

