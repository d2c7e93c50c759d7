#pragma once

#include <memory>
#include <string>
#include <string_view>

// An Ed25519 key (RFC 8032) that signs listings and checks their signatures.
// Keys are PEM files: the private key as PKCS #8, the public key as
// SubjectPublicKeyInfo, so that standard tools read both. A signature is the
// raw 64 bytes over the whole message. Failures raise QuillonError with a
// text that names the file and says what to do. On POSIX through OpenSSL;
// on Windows through libgcrypt, with the same files and signatures, and the
// rules on owners and readers below kept in terms of the file's DACL.
class SigningKey {
 public:
  static constexpr std::size_t kSignatureSize = 64;

  // The public key's file beside a private key's.
  static std::string PublicFileOf(const std::string& privateFile) { return privateFile + ".pub"; }

  // Makes a new key pair: privateFile, readable and writable by the owner
  // alone, and PublicFileOf(privateFile). An existing file of either name is
  // never replaced: a lost private key cannot be made again.
  static void Generate(const std::string& privateFile);

  // A key file is refused when another user (root aside) owns it or the
  // folder holding it, or when others may write either (a sticky folder such
  // as /tmp aside): they could put a key of their own in its place. A private
  // key file is refused too when anyone but its owner may read it: a key
  // others can read signs for them too.
  static SigningKey LoadPrivate(const std::string& file);
  // Takes a private key file as well: its public half is used. A public key
  // may be read by anyone.
  static SigningKey LoadPublic(const std::string& file);

  // The 64 bytes of the signature of message; only a private key signs.
  std::string Sign(std::string_view message) const;
  // Whether signature is this key's signature of message.
  bool Verifies(std::string_view message, std::string_view signature) const;

  const std::string& File() const { return file_; }

 private:
  SigningKey(std::shared_ptr<void> key, std::string file) : key_(std::move(key)), file_(std::move(file)) {}

  std::shared_ptr<void> key_;  // the system's key object
  std::string file_;
};
