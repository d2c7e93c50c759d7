#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SigningKey.h"

// A listing's detached signature: the raw Ed25519 signature of the listing
// file's bytes, in a file of its own beside it (FileOf), so that the listing
// keeps its bytes and standard tools can check it.
//
// A loaded listing is checked by the file's exact bytes, and those bytes
// must give exactly the lines that were read from it before: the lines
// compared are then the lines of the bytes that verified, even when another
// file was slipped in between the two reads.
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
  // Saves a listing of these bytes with saveListing, and its signature,
  // so that both change or neither does where the system allows: the
  // signature is written first, so that a place that cannot take it leaves
  // the listing untouched, and it is put back as it was when saveListing
  // fails. Only a crash between the two leaves a mismatch, which a check
  // then reports.
  static void SaveSigned(const std::string& listingFile, std::string_view text, const SigningKey& key,
                         const std::function<void()>& saveListing);

  // Unsigned when there is no signature file; a signature file that cannot
  // be read fails with "Cannot open file".
  static Verdict Check(const std::vector<std::string_view>& lines, const std::string& listingFile,
                       const SigningKey& key);
};
