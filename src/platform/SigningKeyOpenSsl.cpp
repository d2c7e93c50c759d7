#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/QuillonError.h"
#include "platform/SigningKey.h"
#include "platform/WalkedPath.h"

namespace {

// Key files are a few hundred bytes; anything much larger is no key.
constexpr std::size_t kMaxKeyFile = 64 * 1024;

[[noreturn]] void Fail(const std::string& message, int errorNumber = 0) {
  throw QuillonError(errorNumber != 0 ? message + "\n" + std::strerror(errorNumber) : message);
}

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, BioFree>;
struct CtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

std::shared_ptr<void> Hold(EVP_PKEY* key) {
  return std::shared_ptr<void>(key, [](void* held) { EVP_PKEY_free(static_cast<EVP_PKEY*>(held)); });
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// The name of the user with uid, for a message and a chown: the number where
// the system knows no name.
std::string UserName(uid_t uid) {
  const passwd* user = getpwuid(uid);
  return user != nullptr && user->pw_name[0] != '\0' ? user->pw_name : std::to_string(uid);
}

std::string ModeText(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// The folder's path as the system resolved it, for a message; what was given
// where the system cannot tell.
std::string FolderName(int folder, const std::string& given) {
  std::string name(4096, '\0');
  const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(folder)).c_str(), name.data(), name.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= name.size()) return given;
  name.resize(static_cast<std::size_t>(length));
  return name;
}

// A folder that another user owns, or that others may write, lets them put
// another folder, and a key, in the place of what lies in it. A folder that
// others may write is taken only when it is sticky, such as /tmp: there an
// entry can be renamed or removed only by its owner, the folder's owner or
// root, and all of them are checked to be us or root.
void CheckFolder(const struct stat& st, int folder, const std::string& given, const std::string& where) {
  const uid_t me = geteuid();
  const std::string name = FolderName(folder, given);
  if (st.st_uid != me && st.st_uid != 0)
    Fail("The folder " + name + " " + where + " belongs to another user (" + UserName(st.st_uid) +
         "), so the key is not used: its owner could put another key in its place. Make it yours with the command \"chown " +
         UserName(me) + " " + name + "\".");
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
    Fail("The folder " + name + " " + where + " may be written by others (mode " + ModeText(st.st_mode) +
         "), so the key is not used: anyone who can write it could put another key in its place. Take their "
         "right away with the command \"chmod go-w " + name + "\".");
}

// Whoever else owns or may write a key, the folder holding it, or any folder
// above that, can put a key of their own in its place: we would sign with
// it, or take signatures made with it as ours. Only we or root may own any
// of them (root owns much that every user may trust), as with the digest
// cache. The folders above are those the system reaches by "..", whatever
// links the path went through.
void CheckHolders(const std::string& file, const struct stat& st, int folder, const std::string& given) {
  const uid_t me = geteuid();
  if (st.st_uid != me && st.st_uid != 0)
    Fail("The key file " + file + " belongs to another user (" + UserName(st.st_uid) +
         "), so it is not used: its owner could put a key of their own in it. Make it yours with the command \"chown " +
         UserName(me) + " " + file + "\".");
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    Fail("The key file " + file + " may be written by others (mode " + ModeText(st.st_mode) +
         "), so it is not used: anyone who can write it could put a key of their own in it. Make it writable by "
         "you alone with the command \"chmod go-w " + file + "\".");
  struct stat holder {};
  if (fstat(folder, &holder) != 0) Fail("Cannot open the key file " + file, errno);
  CheckFolder(holder, folder, given, "that holds the key file " + file);
  std::optional<Fd> below;
  int at = folder;
  for (struct stat child = holder;;) {
    Fd above(openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat parent {};
    if (above.Get() < 0 || fstat(above.Get(), &parent) != 0)
      Fail("Cannot tell who may change the folders above the key file " + file, errno);
    if (parent.st_dev == child.st_dev && parent.st_ino == child.st_ino) return;  // the root
    CheckFolder(parent, above.Get(), "..", "above the key file " + file);
    child = parent;
    below.reset();
    at = below.emplace(above.Release()).Get();
  }
}

// The text of a key file, refused when anyone but us or root owns it or its
// folder or may write either; a private key also when others may read it.
// All is seen on the file and folder opened, not on their names: the path is
// walked as a save walks it, and the file opened inside the folder reached.
std::string ReadKeyFile(const std::string& file, bool privateKey) {
  std::optional<WalkedPath> walked;
  try {
    walked.emplace(file);
  } catch (const std::system_error& error) {
    Fail("Cannot open the key file " + file, error.code().value());
  }
  const int noLink = walked->KernelLink() ? 0 : O_NOFOLLOW;
  const Fd fd(openat(walked->Folder(), walked->Name().c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | noLink));
  if (fd.Get() < 0) Fail("Cannot open the key file " + file, errno);
  struct stat st {};
  if (fstat(fd.Get(), &st) != 0) Fail("Cannot open the key file " + file, errno);
  if (!S_ISREG(st.st_mode)) Fail("The key file " + file + " is not a regular file");
  if (privateKey && (st.st_mode & 077) != 0)
    Fail("The private key file " + file + " may be read or written by others (mode " + ModeText(st.st_mode) +
         "), so it is not used: anyone who can read it can sign for you. Make it yours alone with the command "
         "\"chmod 600 " + file + "\".");
  const std::size_t slash = file.rfind('/');
  CheckHolders(file, st, walked->Folder(),
               slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash));
  if (static_cast<std::size_t>(st.st_size) > kMaxKeyFile) Fail("The key file " + file + " holds no Ed25519 key");
  std::string text(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = read(fd.Get(), text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("Cannot read the key file " + file, errno);
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  return text;
}

EVP_PKEY* ParseKey(const std::string& text, bool privateKey) {
  const Bio bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  if (!bio) return nullptr;
  EVP_PKEY* key = privateKey ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                             : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
  if (key != nullptr && EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
    EVP_PKEY_free(key);
    return nullptr;
  }
  return key;
}

std::string PemOf(EVP_PKEY* key, bool privateKey) {
  const Bio bio(BIO_new(BIO_s_mem()));
  const int ok = bio && (privateKey ? PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr)
                                    : PEM_write_bio_PUBKEY(bio.get(), key));
  if (!ok) Fail("The new key cannot be written out");
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

// Creates a file that must not exist yet, with the mode given.
int CreateNew(const std::string& file, mode_t mode) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0 && errno == EEXIST)
    Fail(file + " exists already; a new key never replaces a file. Remove it first, or give another name");
  if (fd < 0) Fail("Cannot create file " + file, errno);
  return fd;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return fsync(fd) == 0;
}

}  // namespace

void SigningKey::Generate(const std::string& privateFile) {
  const std::string publicFile = PublicFileOf(privateFile);
  EVP_PKEY* made = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
  if (made == nullptr) Fail("No Ed25519 key could be made");
  const std::shared_ptr<void> key = Hold(made);
  const std::string privateText = PemOf(made, true);
  const std::string publicText = PemOf(made, false);
  // Both names are taken before anything is written, so that a clash leaves nothing behind.
  const Fd privateFd(CreateNew(privateFile, 0600));
  int publicFd = -1;
  try {
    publicFd = CreateNew(publicFile, 0644);
  } catch (...) {
    unlink(privateFile.c_str());
    throw;
  }
  const Fd publicHeld(publicFd);
  // A key made where another user could swap it would never be used: the
  // folder is checked as it will be when the key is read, before any key is
  // written.
  try {
    std::optional<WalkedPath> walked;
    try {
      walked.emplace(privateFile);
    } catch (const std::system_error& error) {
      Fail("Cannot create file " + privateFile, error.code().value());
    }
    struct stat created {};
    if (fstat(privateFd.Get(), &created) != 0) Fail("Cannot create file " + privateFile, errno);
    created.st_mode &= ~static_cast<mode_t>(077);  // set to 0600 below
    const std::size_t slash = privateFile.rfind('/');
    CheckHolders(privateFile, created, walked->Folder(),
                 slash == std::string::npos ? "." : slash == 0 ? "/" : privateFile.substr(0, slash));
  } catch (...) {
    unlink(privateFile.c_str());
    unlink(publicFile.c_str());
    throw;
  }
  // The mode is set again: a umask could have taken the owner's own rights.
  errno = 0;
  if (fchmod(privateFd.Get(), 0600) != 0 || !WriteAll(privateFd.Get(), privateText) ||
      !WriteAll(publicFd, publicText)) {
    const int error = errno != 0 ? errno : ENOSPC;
    unlink(privateFile.c_str());
    unlink(publicFile.c_str());
    Fail("Cannot write the key files " + privateFile + " and " + publicFile, error);
  }
}

SigningKey SigningKey::LoadPrivate(const std::string& file) {
  EVP_PKEY* key = ParseKey(ReadKeyFile(file, true), true);
  if (key == nullptr) Fail("The key file " + file + " holds no Ed25519 private key");
  return SigningKey(Hold(key), file);
}

SigningKey SigningKey::LoadPublic(const std::string& file) {
  const std::string text = ReadKeyFile(file, false);
  EVP_PKEY* key = ParseKey(text, false);
  if (key == nullptr) key = ParseKey(text, true);
  if (key == nullptr) Fail("The key file " + file + " holds no Ed25519 public key");
  return SigningKey(Hold(key), file);
}

std::string SigningKey::Sign(std::string_view message) const {
  const std::unique_ptr<EVP_MD_CTX, CtxFree> ctx(EVP_MD_CTX_new());
  std::string signature(kSignatureSize, '\0');
  std::size_t size = signature.size();
  // Ed25519 takes no digest of its own choosing: the message goes in whole.
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(key_.get())) != 1 ||
      EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1 ||
      size != kSignatureSize)
    Fail("The listing cannot be signed with the key " + file_);
  return signature;
}

bool SigningKey::Verifies(std::string_view message, std::string_view signature) const {
  if (signature.size() != kSignatureSize) return false;
  const std::unique_ptr<EVP_MD_CTX, CtxFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(key_.get())) != 1)
    Fail("Signatures cannot be checked with the key " + file_);
  return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                          reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}
