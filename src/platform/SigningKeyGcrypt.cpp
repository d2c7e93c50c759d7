#include "platform/WindowsApi.h"

#include <bcrypt.h>
#include <gcrypt.h>

#include <climits>
#include <memory>
#include <optional>
#include <type_traits>

#include "platform/Ed25519Pem.h"
#include "platform/QuillonError.h"
#include "platform/SigningKey.h"
#include "platform/WindowsKeyFile.h"

// Ed25519 through libgcrypt, which the Windows build loads as a DLL beside
// the program; Windows' own CNG has no Ed25519 on the systems it supports.
// The key files, and the signatures, are byte for byte those of the POSIX
// build (OpenSSL).

namespace {

constexpr std::size_t kKeySize = Ed25519Pem::kKeySize;

[[noreturn]] void Fail(const std::string& message) { throw QuillonError(message); }

// The library is set up once, before its first use.
void Ready() {
  static const bool ready = [] {
    if (gcry_check_version("1.9.0") == nullptr) return false;
    // Keys live in ordinary memory here, as in OpenSSL: no locked pool.
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  if (!ready) Fail("The Ed25519 library (libgcrypt-20.dll) beside the program is too old; install the program again");
}

struct SexpFree {
  void operator()(gcry_sexp_t sexp) const { gcry_sexp_release(sexp); }
};
using Sexp = std::unique_ptr<std::remove_pointer_t<gcry_sexp_t>, SexpFree>;

// Text that holds a private key, wiped when done with.
struct Secret {
  std::string text;
  ~Secret() { SecureZeroMemory(text.data(), text.size()); }
};

// The seed (empty for a public key) and the public point.
struct KeyBytes {
  std::string seed;
  std::string point;
  ~KeyBytes() { SecureZeroMemory(seed.data(), seed.size()); }
};

const KeyBytes& BytesOf(const std::shared_ptr<void>& key) { return *static_cast<const KeyBytes*>(key.get()); }

// The public point of a seed, as RFC 8032 derives it.
std::optional<std::string> PointOf(const std::string& seed) {
  gcry_sexp_t built = nullptr;
  if (gcry_sexp_build(&built, nullptr, "(private-key(ecc(curve Ed25519)(flags eddsa)(d %b)))",
                      static_cast<int>(seed.size()), seed.data()) != 0)
    return std::nullopt;
  const Sexp key(built);
  gcry_ctx_t context = nullptr;
  if (gcry_mpi_ec_new(&context, key.get(), nullptr) != 0) return std::nullopt;
  const std::unique_ptr<std::remove_pointer_t<gcry_ctx_t>, decltype(&gcry_ctx_release)> heldContext(context,
                                                                                                    gcry_ctx_release);
  gcry_mpi_t q = gcry_mpi_ec_get_mpi("q@eddsa", context, 1);
  if (q == nullptr) return std::nullopt;
  const std::unique_ptr<std::remove_pointer_t<gcry_mpi_t>, decltype(&gcry_mpi_release)> heldQ(q, gcry_mpi_release);
  unsigned int bits = 0;
  const void* data = gcry_mpi_get_opaque(q, &bits);
  if (data == nullptr || bits != kKeySize * 8) return std::nullopt;
  return std::string(static_cast<const char*>(data), kKeySize);
}

std::shared_ptr<void> Hold(std::string seed, std::string point) {
  auto bytes = std::make_shared<KeyBytes>();
  bytes->seed = std::move(seed);
  bytes->point = std::move(point);
  return bytes;
}

std::shared_ptr<void> PrivateOf(const std::string& text, const std::string& file) {
  Secret given;
  std::optional<std::string> seed = Ed25519Pem::ReadPrivate(text, &given.text);
  const std::optional<std::string> point = seed ? PointOf(*seed) : std::nullopt;
  // A point carried beside the seed must be the seed's own.
  if (!point || (!given.text.empty() && given.text != *point)) Fail("The key file " + file + " holds no Ed25519 private key");
  return Hold(std::move(*seed), *point);
}

// The message as the library takes it, whose lengths are ints.
int SizeOf(std::string_view message) {
  if (message.size() > static_cast<std::size_t>(INT_MAX))
    Fail("A listing over 2 GiB cannot be signed or checked by this build of the program");
  return static_cast<int>(message.size());
}

// Whether the second half of a signature, S, is below the group order L:
// RFC 8032 takes no other, and neither does OpenSSL. Both are little-endian.
bool CanonicalS(std::string_view s) {
  static constexpr unsigned char kOrder[kKeySize] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                                     0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                                                     0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};
  for (std::size_t i = kKeySize; i-- > 0;) {
    const auto byte = static_cast<unsigned char>(s[i]);
    if (byte != kOrder[i]) return byte < kOrder[i];
  }
  return false;
}

}  // namespace

void SigningKey::Generate(const std::string& privateFile) {
  Ready();
  KeyBytes key;
  key.seed.assign(kKeySize, '\0');
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(key.seed.data()),
                                      static_cast<ULONG>(key.seed.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    Fail("No Ed25519 key could be made");
  key.point = PointOf(key.seed).value_or(std::string());
  if (key.point.empty()) Fail("No Ed25519 key could be made");
  const Secret privateText{Ed25519Pem::PrivateKey(key.seed)};
  WindowsKeyFile::Create(privateFile, privateText.text, PublicFileOf(privateFile), Ed25519Pem::PublicKey(key.point));
}

SigningKey SigningKey::LoadPrivate(const std::string& file) {
  Ready();
  const Secret text{WindowsKeyFile::Read(file, true)};
  return SigningKey(PrivateOf(text.text, file), file);
}

SigningKey SigningKey::LoadPublic(const std::string& file) {
  Ready();
  const Secret text{WindowsKeyFile::Read(file, false)};
  if (std::optional<std::string> point = Ed25519Pem::ReadPublic(text.text)) return SigningKey(Hold({}, std::move(*point)), file);
  // A private key file gives its public half.
  std::shared_ptr<void> key;
  try {
    key = PrivateOf(text.text, file);
  } catch (const QuillonError&) {
    Fail("The key file " + file + " holds no Ed25519 public key");
  }
  return SigningKey(Hold({}, BytesOf(key).point), file);
}

std::string SigningKey::Sign(std::string_view message) const {
  const KeyBytes& key = BytesOf(key_);
  if (key.seed.empty()) Fail("The listing cannot be signed with the key " + file_);
  gcry_sexp_t built = nullptr;
  if (gcry_sexp_build(&built, nullptr, "(private-key(ecc(curve Ed25519)(flags eddsa)(q %b)(d %b)))",
                      static_cast<int>(kKeySize), key.point.data(), static_cast<int>(kKeySize), key.seed.data()) != 0)
    Fail("The listing cannot be signed with the key " + file_);
  const Sexp secret(built);
  // Ed25519 takes no digest of its own choosing: the message goes in whole.
  if (gcry_sexp_build(&built, nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))", SizeOf(message),
                      message.data()) != 0)
    Fail("The listing cannot be signed with the key " + file_);
  const Sexp data(built);
  if (gcry_pk_sign(&built, data.get(), secret.get()) != 0) Fail("The listing cannot be signed with the key " + file_);
  const Sexp signature(built);
  std::string bytes;
  for (const char* part : {"r", "s"}) {
    const Sexp found(gcry_sexp_find_token(signature.get(), part, 0));
    std::size_t size = 0;
    const char* value = found ? gcry_sexp_nth_data(found.get(), 1, &size) : nullptr;
    if (value == nullptr || size != kKeySize) Fail("The listing cannot be signed with the key " + file_);
    bytes.append(value, size);
  }
  return bytes;
}

bool SigningKey::Verifies(std::string_view message, std::string_view signature) const {
  if (signature.size() != kSignatureSize || !CanonicalS(signature.substr(kKeySize))) return false;
  const KeyBytes& key = BytesOf(key_);
  gcry_sexp_t built = nullptr;
  if (gcry_sexp_build(&built, nullptr, "(public-key(ecc(curve Ed25519)(flags eddsa)(q %b)))", static_cast<int>(kKeySize),
                      key.point.data()) != 0)
    Fail("Signatures cannot be checked with the key " + file_);
  const Sexp publicKey(built);
  if (gcry_sexp_build(&built, nullptr, "(sig-val(eddsa(r %b)(s %b)))", static_cast<int>(kKeySize), signature.data(),
                      static_cast<int>(kKeySize), signature.data() + kKeySize) != 0)
    Fail("Signatures cannot be checked with the key " + file_);
  const Sexp signed_(built);
  if (gcry_sexp_build(&built, nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))", SizeOf(message),
                      message.data()) != 0)
    Fail("Signatures cannot be checked with the key " + file_);
  const Sexp data(built);
  return gcry_pk_verify(signed_.get(), data.get(), publicKey.get()) == 0;
}
