#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/SigningKey.h"

// A listing's detached signature: the raw Ed25519 signature of the listing
// file's bytes, in a file of its own beside it (FileOf), so that the listing
// keeps its bytes and standard tools can check it.
//
// A loaded listing is checked by the lines it was read into, joined as a
// saved listing joins them: those are the bytes that were signed, and the
// lines compared are the lines checked, with no second read of the file in
// between that someone could slip another file into.
class ListingSignature {
 public:
  enum class Verdict { Verified, Unsigned, Mismatch };

  static std::string FileOf(const std::string& listingFile) { return listingFile + ".sig"; }
  // Whether a signature file lies beside the listing.
  static bool Present(const std::string& listingFile);

  // The bytes of a saved listing of these lines: each followed by CR LF.
  static std::string TextOf(const std::vector<std::string_view>& lines);

  // Signs the lines as saved and writes the signature beside listingFile,
  // through the same safe saving as the listing.
  static void Write(const std::vector<std::string_view>& lines, const std::string& listingFile, const SigningKey& key);
  // The same for the bytes of a listing as they were written.
  static void WriteForText(std::string_view text, const std::string& listingFile, const SigningKey& key);

  // Unsigned when there is no signature file; a signature file that cannot
  // be read fails with "Cannot open file".
  static Verdict Check(const std::vector<std::string_view>& lines, const std::string& listingFile,
                       const SigningKey& key);
};
