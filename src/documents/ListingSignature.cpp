#include "documents/ListingSignature.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "documents/ListingFile.h"
#include "platform/InterruptGuard.h"
#include "platform/QuillonError.h"
#include "platform/ReadableFile.h"
#include "platform/SystemPaths.h"
#include "surfaces/ErrorText.h"

namespace {

// A signature file is 64 bytes; one far larger is no signature to put back.
constexpr std::size_t kMaxSignatureFile = 1 << 20;

[[noreturn]] void CannotRead(const std::string& fileName, int error) {
  throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotOpenFile(fileName), error));
}

// Every byte of a regular file, up to limit; a NUL and what follows count
// too, though reading lines stops there.
std::string WholeFile(const std::string& fileName, std::size_t limit) {
  ReadableFile file;
  if (!file.OpenForLoading(fileName, true)) CannotRead(fileName, file.Error());
  if (!file.IsRegular())
    throw QuillonError(ErrorText::WithReason(ErrorText::CannotOpenFile(fileName), "Not a regular file"));
  std::string bytes;
  if (file.Size() > 0) bytes.reserve(std::min(static_cast<std::size_t>(file.Size()), limit));
  char block[1 << 16];
  for (;;) {
    const long long got = file.Read(block, std::min(sizeof block, limit + 1 - bytes.size()));
    if (got < 0) CannotRead(fileName, file.Error());
    if (got == 0) return bytes;
    bytes.append(block, static_cast<std::size_t>(got));
    if (bytes.size() > limit) return bytes;
  }
}

// Whether text, read by the rule of a listing, gives exactly these lines.
bool GivesLines(std::string_view text, const std::vector<std::string_view>& lines) {
  std::size_t at = 0;
  bool same = true;
  SplitListingText(text, [&](std::string_view line) {
    same = same && at < lines.size() && lines[at] == line;
    ++at;
  });
  return same && at == lines.size();
}

}  // namespace

bool ListingSignature::Present(const std::string& listingFile) {
  return SystemPaths::IsExistingFile(FileOf(listingFile));
}

std::string ListingSignature::TextOf(const std::vector<std::string_view>& lines) {
  std::size_t size = 0;
  for (const std::string_view line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string_view line : lines) text.append(line).append("\r\n");
  return text;
}

void ListingSignature::Write(const std::vector<std::string_view>& lines, const std::string& listingFile,
                             const SigningKey& key) {
  const std::string signature = key.Sign(TextOf(lines));
  SaveListingFile(FileOf(listingFile),
                  [&signature](OutputChannel& out) { return out.Write(signature.data(), signature.size()); });
}

void ListingSignature::SaveSigned(const std::string& listingFile, std::string_view text, const SigningKey& key,
                                  const std::function<void()>& saveListing) {
  const std::string signature = key.Sign(text);
  const std::string signatureFile = FileOf(listingFile);
  // The old signature is kept to be put back, or the new one removed, when
  // the listing cannot be saved: else the listing left as it was would no
  // longer match its signature. Anything else of that name is left alone.
  std::error_code error;
  const auto status = std::filesystem::symlink_status(signatureFile, error);
  const bool existed = std::filesystem::exists(status);
  std::optional<std::string> old;
  if (Present(listingFile)) {
    old = WholeFile(signatureFile, kMaxSignatureFile);
    if (old->size() > kMaxSignatureFile) old.reset();
  }
  const auto saveSignature = [&signatureFile](std::string_view bytes) {
    SaveListingFile(signatureFile, [bytes](OutputChannel& out) { return out.Write(bytes.data(), bytes.size()); });
  };
  // A signal waits until both are written or neither is.
  InterruptGuard::Deferral hold;
  // The signature first: where it cannot be written, the listing stays as it was.
  saveSignature(signature);
  try {
    saveListing();
  } catch (...) {
    try {
      if (old) saveSignature(*old);
      if (!existed) std::filesystem::remove(signatureFile, error);
    } catch (const QuillonError&) {
      // The listing's own failure is the one to tell.
    }
    throw;
  }
}

ListingSignature::Verdict ListingSignature::Check(const std::vector<std::string_view>& lines,
                                                  const std::string& listingFile, const SigningKey& key) {
  const std::string signatureFile = FileOf(listingFile);
  ReadableFile file;
  if (!file.OpenForLoading(signatureFile, true)) {
    if (file.Error() == ENOENT) return Verdict::Unsigned;
    CannotRead(signatureFile, file.Error());
  }
  if (!file.IsRegular())
    throw QuillonError(ErrorText::WithReason(ErrorText::CannotOpenFile(signatureFile), "Not a regular file"));
  // One byte more than a signature has tells a longer file from a whole one.
  std::string signature(SigningKey::kSignatureSize + 1, '\0');
  std::size_t got = 0;
  while (got < signature.size()) {
    const long long n = file.Read(signature.data() + got, signature.size() - got);
    if (n < 0) CannotRead(signatureFile, file.Error());
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  signature.resize(got);
  // The signature is of the file's bytes, every one of them: the same lines
  // with other line ends, or with a NUL and more after them, were not signed.
  // The lines compared must then be the lines of those very bytes, in case
  // the file was replaced since they were read. A file larger than the lines
  // could come from is no file they came from.
  std::size_t limit = 0;
  for (const std::string_view line : lines) limit += line.size() + 2;
  const std::string bytes = WholeFile(listingFile, limit);
  if (bytes.size() > limit || !GivesLines(bytes, lines)) return Verdict::Mismatch;
  return key.Verifies(bytes, signature) ? Verdict::Verified : Verdict::Mismatch;
}
