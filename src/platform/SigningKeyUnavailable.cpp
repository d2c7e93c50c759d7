#include "platform/QuillonError.h"
#include "platform/SigningKey.h"

// The Windows build has no Ed25519: its own cryptography (CNG) offers none
// on the systems the program runs on, and the build links no libcrypto.

const char* const SigningKey::kUnavailable =
    "Signed listings are not available in this build of the program; sign and verify them on Linux";

bool SigningKey::Available() { return false; }
void SigningKey::Generate(const std::string&) { throw QuillonError(kUnavailable); }
SigningKey SigningKey::LoadPrivate(const std::string&) { throw QuillonError(kUnavailable); }
SigningKey SigningKey::LoadPublic(const std::string&) { throw QuillonError(kUnavailable); }
std::string SigningKey::Sign(std::string_view) const { throw QuillonError(kUnavailable); }
bool SigningKey::Verifies(std::string_view, std::string_view) const { throw QuillonError(kUnavailable); }
