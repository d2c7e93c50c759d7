#include "documents/ListingSignature.h"

#include <cerrno>

#include "documents/ListingFile.h"
#include "platform/QuillonError.h"
#include "platform/ReadableFile.h"
#include "platform/SystemPaths.h"
#include "surfaces/ErrorText.h"

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
  WriteForText(TextOf(lines), listingFile, key);
}

void ListingSignature::WriteForText(std::string_view text, const std::string& listingFile, const SigningKey& key) {
  const std::string signature = key.Sign(text);
  SaveListingFile(FileOf(listingFile),
                [&signature](OutputChannel& out) { return out.Write(signature.data(), signature.size()); });
}

ListingSignature::Verdict ListingSignature::Check(const std::vector<std::string_view>& lines,
                                                  const std::string& listingFile, const SigningKey& key) {
  const std::string signatureFile = FileOf(listingFile);
  ReadableFile file;
  if (!file.OpenForLoading(signatureFile, true)) {
    if (file.Error() == ENOENT) return Verdict::Unsigned;
    throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotOpenFile(signatureFile), file.Error()));
  }
  if (!file.IsRegular())
    throw QuillonError(ErrorText::WithReason(ErrorText::CannotOpenFile(signatureFile), "Not a regular file"));
  // One byte more than a signature has tells a longer file from a whole one.
  std::string signature(SigningKey::kSignatureSize + 1, '\0');
  std::size_t got = 0;
  while (got < signature.size()) {
    const long long n = file.Read(signature.data() + got, signature.size() - got);
    if (n < 0)
      throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotOpenFile(signatureFile), file.Error()));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  signature.resize(got);
  return key.Verifies(TextOf(lines), signature) ? Verdict::Verified : Verdict::Mismatch;
}
