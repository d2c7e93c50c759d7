#include "cli/ListCommand.h"

#include <filesystem>
#include <iostream>
#include <utility>

#include "cli/CliSession.h"
#include "cli/CommandSupport.h"
#include "compare/ReadableRecords.h"
#include "compare/SpillChannel.h"
#include "documents/ListingFile.h"
#include "documents/ListingSignature.h"
#include "documents/ListingWriter.h"
#include "platform/FileSaver.h"
#include "platform/SpillFile.h"
#include "platform/SystemPaths.h"
#include "surfaces/LineStore.h"

namespace {

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

}  // namespace

int ListCommand::Run(CliOptions options) {
  if (options.operands.size() != 1) return CommandSupport::UsageError("list takes one FOLDER");
  if (options.sign && !options.output) return CommandSupport::UsageError("--sign needs -o FILE: the signature goes beside FILE");
  if (options.sign && (*options.output == "-" || !SignableOutput(*options.output)))
    return CommandSupport::UsageError("--sign needs -o FILE to be a file or a FIFO, for FILE.sig goes beside it; "
                      "standard output has no place for a signature");
  CommandSupport::TakeStandardOutput(options.output);
  if (!CommandSupport::OutputSparesInputs(options.output, CommandSupport::ListingInputs(options))) return 2;
  // Nor may the signature take the place of the key that makes it.
  if (options.sign && !CommandSupport::OutputSparesInputs(ListingSignature::FileOf(*options.output), {{"private key", *options.sign}}))
    return 2;
  int status = 0;
  if (!CommandSupport::PrepareListing(options, status)) return status;
  const std::string folder = SystemPaths::AbsoluteFolder(options.operands[0]);
  if (!CommandSupport::CheckFolder(folder)) return 2;
  CliSession session;
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
      CommandSupport::PassRecords(*records, writer);
      batch.Clear();
    };
    if (format) records.emplace(*format);
    if (records) records->SetMetaColumns(options.meta);
    surfaces.SetPaneSink(PaneId::ListBox1, [&](std::string_view line) {
      if (!records) {
        writer.Add(line);
        return;
      }
      batch.Append(line);
      if (batch.Size() >= CommandSupport::kRecordBatch) passBatch();
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

