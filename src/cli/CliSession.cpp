#include "cli/CliSession.h"

#include <algorithm>
#include <iostream>

#include "documents/ListingFile.h"
#include "documents/ListingSignature.h"
#include "platform/QuillonError.h"
#include "surfaces/ErrorText.h"

CliSession::CliSession()
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

void CliSession::ShowComparing(std::uint64_t read, std::uint64_t total) {
  if (total == 0 || !progress_.Due()) return;
  progress_.Show("comparing: " + std::to_string(std::min(read, total) * 100 / total) + " %");
}

bool CliSession::Run(const std::function<void()>& command) {
  const bool ok = window_.Dispatch(command);
  progress_.Finish();
  if (!ok) std::cerr << "quillon-cli: " << surfaces_.Errors().back() << "\n";
  return ok;
}

bool CliSession::ListFolder(const std::string& folder, const CliOptions& options) {
  surfaces_.SetFolderBrowserAnswer(folder);
  surfaces_.SetMd5(options.md5 || options.sha256);
  window_.SetDigestAlgorithm(options.sha256 ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5);
  window_.SetMetadata(options.meta);
  surfaces_.SetReuseDigests(options.reuseDigests);
  surfaces_.SetExcludePatterns(options.excludes);
  if (options.digestCache) window_.SetDigestCacheFile(*options.digestCache);
  if (options.readers != 0) window_.SetReaders(options.readers);
  started_ = std::chrono::steady_clock::now();
  return Run([this] { window_.EditListContentActionExecute(); });
}

void CliSession::PrintTotals() {
  std::cerr << surfaces_.PanelText(0) << "  " << surfaces_.PanelText(1) << "  " << surfaces_.PanelText(2) << "\n";
}

bool CliSession::Incomplete() {
  if (surfaces_.UnreadableCount() == 0) return false;
  std::cerr << "quillon-cli: " << window_.UnreadableText() << "\n";
  return true;
}

void CliSession::PrintReuse() {
  const MainWindowState& state = window_.State();
  std::cerr << state.ReusedDigestCount << " of " << state.DigestCount << " digests reused\n";
}

bool CliSession::CheckSignature(const std::string& loaded, const std::optional<SigningKey>& key) {
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

bool CliSession::WriteOut(const std::optional<std::string>& output, const std::function<bool(OutputChannel&)>& write) {
  if (output) return Run([&] { SaveListingFile(*output, write); });
  StandardStream out(StandardStream::Which::Output);
  // Lines on the terminal would break into the progress line.
  if (out.IsConsole()) surfaces_.SetRefreshHook({});
  return Run([&] {
    if (!write(out)) throw QuillonError(ErrorText::kStreamWriteError);
  });
}

void CliSession::ShowProgress() {
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
