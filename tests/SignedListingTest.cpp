// Signed listings: what a signature catches, the key file rules, every way a
// listing is saved, and a standard tool checking our signatures. The keys,
// signatures and rules are the same on Windows (libgcrypt, DACLs) as on
// POSIX (OpenSSL, modes).
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "TestSupport.h"
#include "documents/ListingFile.h"
#include "documents/ListingSignature.h"
#include "platform/Ed25519Pem.h"
#include "platform/QuillonError.h"
#include "surfaces/ListPane.h"
#ifdef _WIN32
// After the listing headers: the system's global "byte" would shadow their names.
#include "platform/WindowsApi.h"

#include <aclapi.h>
#endif

namespace {

const std::vector<std::string_view> kLines = {"01.01.2024 00:00:00 0000000001 Bytes ____N______ /d/a",
                                              "Number of Files = 1"};
const std::vector<std::string_view> kOtherLines = {"01.01.2024 00:00:00 0000000002 Bytes ____N______ /d/a",
                                                   "Number of Files = 1"};

#ifndef _WIN32
ProgramResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> all{CliPath()};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all);
}
#endif

std::string Bytes(std::string_view hex) {
  std::string bytes;
  for (std::size_t at = 0; at + 1 < hex.size(); at += 2) bytes += static_cast<char>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16));
  return bytes;
}

class SignedListing : public ::testing::Test {
 protected:
  void SetUp() override {
    SigningKey::Generate(tree.Path("key"));
    SigningKey::Generate(tree.Path("other"));
    key = SigningKey::LoadPrivate(tree.Path("key"));
    pub = SigningKey::LoadPublic(tree.Path("key.pub"));
  }

  // The verdict on the listing file as it is read back.
  ListingSignature::Verdict Check(const std::string& name, const SigningKey& with) {
    ListPane store;
    ReadListingFile(tree.Path(name), store);
    return ListingSignature::Check(store.Lines().Lines(), tree.Path(name), with);
  }

  TempTree tree;
  std::optional<SigningKey> key, pub;
};

}  // namespace

TEST_F(SignedListing, AnyChangeToListingOrSignatureFailsTheCheck) {
  WriteListingFile(kLines, tree.Path("l.qln"));
  ListingSignature::Write(kLines, tree.Path("l.qln"), *key);
  EXPECT_EQ(tree.Read("l.qln.sig").size(), SigningKey::kSignatureSize);
  EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Verified);
  EXPECT_EQ(Check("l.qln", *key), ListingSignature::Verdict::Verified);  // a private key checks too

  const std::string listing = tree.Read("l.qln");
  const std::string signature = tree.Read("l.qln.sig");
  // One byte changed: the size digit of the file line.
  std::string changed = listing;
  changed[29] = '7';
  tree.File("l.qln", changed);
  EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Mismatch);
  tree.File("l.qln", listing);
  // The signature of another listing.
  WriteListingFile(kOtherLines, tree.Path("m.qln"));
  ListingSignature::Write(kOtherLines, tree.Path("m.qln"), *key);
  tree.File("l.qln.sig", tree.Read("m.qln.sig"));
  EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Mismatch);
  // A truncated signature, and one with a byte too many.
  tree.File("l.qln.sig", signature.substr(0, 63));
  EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Mismatch);
  tree.File("l.qln.sig", signature + "x");
  EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Mismatch);
  // The wrong public key.
  tree.File("l.qln.sig", signature);
  EXPECT_EQ(Check("l.qln", SigningKey::LoadPublic(tree.Path("other.pub"))), ListingSignature::Verdict::Mismatch);
  EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Verified);
  // The same lines in other bytes were not signed: other line ends, or a
  // NUL with more after it, where reading the lines stops.
  std::string lf = listing;
  lf.erase(lf.find('\r'), 1);
  for (const std::string& other : {lf, listing + std::string(1, '\0') + "extra\r\n", listing + "\r\n"}) {
    tree.File("l.qln", other);
    EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Mismatch) << other;
  }
  // Nor are lines read before the file was swapped for another signed one.
  tree.File("l.qln", tree.Read("m.qln"));
  tree.File("l.qln.sig", tree.Read("m.qln.sig"));
  EXPECT_EQ(ListingSignature::Check(kLines, tree.Path("l.qln"), *pub), ListingSignature::Verdict::Mismatch);
  tree.File("l.qln", listing);
  tree.File("l.qln.sig", signature);
  // No signature at all.
  std::filesystem::remove(tree.Path("l.qln.sig"));
  EXPECT_EQ(Check("l.qln", *pub), ListingSignature::Verdict::Unsigned);
}

// The second example of RFC 8032 signs to its very bytes, and checks, on
// every system; a signature whose S is not below the group order (S + L,
// which the curve arithmetic alone would accept) does not.
TEST_F(SignedListing, SignsAndChecksTheRfc8032ExampleByteForByte) {
  const std::string seed = Bytes("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb");
  const std::string point = Bytes("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
  const std::string signature = Bytes(
      "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
      "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00");
  // The key files made by Generate keep their rights when written again.
  tree.File("key", Ed25519Pem::PrivateKey(seed));
  tree.File("key.pub", Ed25519Pem::PublicKey(point));
  EXPECT_EQ(SigningKey::LoadPrivate(tree.Path("key")).Sign("\x72"), signature);
  for (const std::string name : {"key", "key.pub"}) {
    const SigningKey checker = SigningKey::LoadPublic(tree.Path(name));
    EXPECT_TRUE(checker.Verifies("\x72", signature)) << name;
    EXPECT_FALSE(checker.Verifies("\x73", signature)) << name;
    std::string plusOrder = signature;
    const std::string order = Bytes("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
    for (std::size_t i = 0, carry = 0; i < 32; ++i) {
      carry += static_cast<unsigned char>(plusOrder[32 + i]) + static_cast<unsigned char>(order[i]);
      plusOrder[32 + i] = static_cast<char>(carry & 0xff);
      carry >>= 8;
    }
    EXPECT_FALSE(checker.Verifies("\x72", plusOrder)) << name;
  }
}

TEST_F(SignedListing, KeyFilesAreGuarded) {
  // Both key files in the very bytes OpenSSL reads and writes.
  const std::string privateText = tree.Read("key"), publicText = tree.Read("key.pub");
  std::string point;
  const std::optional<std::string> seed = Ed25519Pem::ReadPrivate(privateText, &point);
  ASSERT_TRUE(seed.has_value()) << privateText;
  EXPECT_EQ(Ed25519Pem::PrivateKey(*seed), privateText);
  EXPECT_EQ(Ed25519Pem::PublicKey(Ed25519Pem::ReadPublic(publicText).value_or("")), publicText);
  EXPECT_FALSE(Ed25519Pem::ReadPrivate(publicText).has_value());
  EXPECT_FALSE(Ed25519Pem::ReadPublic(privateText.substr(0, 40) + "!" + privateText.substr(41)).has_value());
  // A new key never replaces an old one, nor leaves half a pair behind.
  EXPECT_THROW(SigningKey::Generate(tree.Path("key")), QuillonError);
  tree.File("lone.pub", "kept");
  EXPECT_THROW(SigningKey::Generate(tree.Path("lone")), QuillonError);
  EXPECT_FALSE(std::filesystem::exists(tree.Path("lone")));
  EXPECT_EQ(tree.Read("lone.pub"), "kept");
  // A public key does not sign, and a listing is no key.
  EXPECT_THROW(SigningKey::LoadPrivate(tree.Path("key.pub")), QuillonError);
  WriteListingFile(kLines, tree.Path("l.qln"));
  EXPECT_THROW(SigningKey::LoadPublic(tree.Path("l.qln")), QuillonError);
}

#ifdef _WIN32

namespace {

// Lets everyone have rights on a file, next to what its DACL grants already.
void GrantEveryone(const std::string& file, DWORD rights) {
  const std::wstring path = WideOf(file);
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof everyone;
  ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
  PACL old = nullptr, updated = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &old, nullptr,
                                  &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = rights;
  access.grfAccessMode = GRANT_ACCESS;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
  ASSERT_EQ(SetEntriesInAclW(1, &access, old, &updated), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, updated, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(updated);
  LocalFree(descriptor);
}

std::string Refusal(const std::function<void()>& load) {
  try {
    load();
  } catch (const QuillonError& error) {
    return error.what();
  }
  return "taken";
}

}  // namespace

// The rules of the modes below, in terms of the DACL: a private key others
// may read, or a key others may write, is refused with the icacls command
// that mends it.
TEST_F(SignedListing, WindowsKeyFilesAreGuardedByTheirDacl) {
  GrantEveryone(tree.Path("key.pub"), FILE_GENERIC_READ);
  EXPECT_EQ(Refusal([&] { SigningKey::LoadPublic(tree.Path("key.pub")); }), "taken");  // anyone may read a public key
  GrantEveryone(tree.Path("key.pub"), FILE_GENERIC_WRITE);
  const std::string written = Refusal([&] { SigningKey::LoadPublic(tree.Path("key.pub")); });
  EXPECT_NE(written.find("may be written by others (Everyone)"), std::string::npos) << written;
  EXPECT_NE(written.find(" /inheritance:d /grant:r Everyone:(R)\""), std::string::npos) << written;

  GrantEveryone(tree.Path("key"), FILE_GENERIC_READ);
  const std::string read = Refusal([&] { SigningKey::LoadPrivate(tree.Path("key")); });
  EXPECT_NE(read.find("may be read or written by others (Everyone)"), std::string::npos) << read;
  EXPECT_NE(read.find(" /inheritance:r /grant:r "), std::string::npos) << read;
}

#else

TEST_F(SignedListing, PrivateKeysOthersMayReadAreRefused) {
  struct stat st {};
  ASSERT_EQ(stat(tree.Path("key").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // A private key others may read signs nothing.
  for (const unsigned mode : {0640u, 0604u, 0620u}) {
    tree.Chmod("key", mode);
    try {
      SigningKey::LoadPrivate(tree.Path("key"));
      ADD_FAILURE() << "mode " << mode << " was taken";
    } catch (const QuillonError& error) {
      EXPECT_NE(std::string(error.what()).find("chmod 600 " + tree.Path("key")), std::string::npos) << error.what();
    }
  }
}

// Whoever else owns or may write a key or its folder could put their own key
// there: it is refused with the command that mends it, and taken once mended.
TEST_F(SignedListing, KeysOthersCouldReplaceAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "files of another user are made as root";
  tree.Dir("k");
  SigningKey::Generate(tree.Path("k/key"));
  const std::string folder = std::filesystem::canonical(tree.Path("k"));
  const std::string above = std::filesystem::canonical(tree.Root());
  const std::string privFile = tree.Path("k/key"), pubFile = tree.Path("k/key.pub");
  struct stat aboveWas {};
  ASSERT_EQ(stat(above.c_str(), &aboveWas), 0);
  struct Case {
    std::string path;  // what is changed
    std::function<int()> change;
    std::string fix;
    bool privateToo;
  };
  const std::vector<Case> cases{
      {privFile, [&] { return chown(privFile.c_str(), 65534, 0); }, "chown root " + privFile, true},
      {pubFile, [&] { return chown(pubFile.c_str(), 65534, 0); }, "chown root " + pubFile, false},
      {pubFile, [&] { return chmod(pubFile.c_str(), 0664); }, "chmod go-w " + pubFile, false},
      {folder, [&] { return chown(folder.c_str(), 65534, 0); }, "chown root " + folder, true},
      {folder, [&] { return chmod(folder.c_str(), 0777); }, "chmod go-w " + folder, true},
      {folder, [&] { return chmod(folder.c_str(), 0730); }, "chmod go-w " + folder, true},
      // A folder above can have the one holding the keys moved aside.
      {above, [&] { return chown(above.c_str(), 65534, 0); }, "chown root " + above, true},
      {above, [&] { return chmod(above.c_str(), 0777); }, "chmod go-w " + above, true},
  };
  const auto refusal = [](const std::function<void()>& load) -> std::string {
    try {
      load();
    } catch (const QuillonError& error) {
      return error.what();
    }
    return "taken";
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.change(), 0) << c.fix;
    // A private key file gives its public half too.
    const std::string publicRefusal =
        refusal([&] { SigningKey::LoadPublic(c.path == folder || c.path == above ? pubFile : c.path); });
    EXPECT_NE(publicRefusal.find(c.fix), std::string::npos) << publicRefusal;
    if (c.privateToo) {
      const std::string privateRefusal = refusal([&] { SigningKey::LoadPrivate(privFile); });
      EXPECT_NE(privateRefusal.find(c.fix), std::string::npos) << privateRefusal;
    }
    ASSERT_EQ(chown(c.path.c_str(), 0, 0), 0);
    const mode_t was = c.path == above ? aboveWas.st_mode & 07777 : c.path == folder ? 0700 : c.path == pubFile ? 0644 : 0600;
    ASSERT_EQ(chmod(c.path.c_str(), was), 0);
    EXPECT_EQ(refusal([&] { SigningKey::LoadPublic(pubFile); }), "taken") << c.fix;
  }
  // In a sticky folder only the owners of a name and of the folder may swap it.
  ASSERT_EQ(chmod(folder.c_str(), 01777), 0);
  EXPECT_EQ(refusal([&] { SigningKey::LoadPrivate(privFile); }), "taken");
  EXPECT_EQ(refusal([&] { SigningKey::LoadPublic(pubFile); }), "taken");
  EXPECT_EQ(refusal([&] { SigningKey::Generate(tree.Path("k/sticky")); }), "taken");
  // A key is never made where it would be refused, and nothing is left behind.
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  EXPECT_NE(refusal([&] { SigningKey::Generate(tree.Path("k/open")); }).find("chmod go-w " + folder), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(tree.Path("k/open")));
  EXPECT_FALSE(std::filesystem::exists(tree.Path("k/open.pub")));
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
}

TEST_F(SignedListing, VerifiesAfterEverySavePath) {
  // A new file, a file replaced by the renamed temporary file, a file with
  // two names rewritten in place, and a FIFO written directly.
  tree.File("old.qln", "old");
  tree.File("linked.qln", "old");
  ASSERT_EQ(link(tree.Path("linked.qln").c_str(), tree.Path("second.qln").c_str()), 0);
  for (const std::string name : {"new.qln", "old.qln", "linked.qln"}) {
    WriteListingFile(kLines, tree.Path(name));
    ListingSignature::Write(kLines, tree.Path(name), *key);
    EXPECT_EQ(Check(name, *pub), ListingSignature::Verdict::Verified) << name;
  }
  EXPECT_EQ(tree.Read("second.qln"), tree.Read("linked.qln"));  // rewritten in place

  tree.Fifo("pipe");
  std::string received;
  std::thread reader([&] { received = tree.Read("pipe"); });
  WriteListingFile(kLines, tree.Path("pipe"));
  reader.join();
  ListingSignature::Write(kLines, tree.Path("pipe"), *key);
  tree.File("received.qln", received);
  tree.File("received.qln.sig", tree.Read("pipe.sig"));
  EXPECT_EQ(Check("received.qln", *pub), ListingSignature::Verdict::Verified);
}

TEST(CliSignedListing, StandardToolAndCompareCheckOurSignature) {
  TempTree tree;
  tree.Dir("d");
  tree.File("d/a", "content");
  ASSERT_EQ(Cli({"keygen", "-o", tree.Path("key")}).exitCode, 0);
  ASSERT_EQ(Cli({"keygen", "-o", tree.Path("other")}).exitCode, 0);
  EXPECT_EQ(Cli({"keygen", "-o", tree.Path("key")}).exitCode, 2);
  const ProgramResult listed = Cli({"list", "--md5", tree.Path("d"), "-o", tree.Path("l.qln"), "--sign", tree.Path("key")});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  const auto openssl = [&](const std::string& pub) {
    return RunProgram({"/usr/bin/openssl", "pkeyutl", "-verify", "-rawin", "-pubin", "-inkey", tree.Path(pub),
                       "-sigfile", tree.Path("l.qln.sig"), "-in", tree.Path("l.qln")});
  };
  const ProgramResult tool = openssl("key.pub");
  EXPECT_EQ(tool.exitCode, 0) << tool.out << tool.err;
  EXPECT_NE(openssl("other.pub").exitCode, 0);

  const std::vector<std::string> check = {"compare", "--folder", tree.Path("d"), "--md5", tree.Path("l.qln")};
  const auto verifyWith = [&](const std::string& pub) {
    std::vector<std::string> args = check;
    args.insert(args.end(), {"--verify-with", tree.Path(pub)});
    return Cli(args);
  };
  EXPECT_EQ(verifyWith("key.pub").exitCode, 0);
  // Unchecked: compared as ever, with a note.
  const ProgramResult unchecked = Cli(check);
  EXPECT_EQ(unchecked.exitCode, 0);
  EXPECT_NE(unchecked.err.find("was not checked"), std::string::npos) << unchecked.err;
  // The wrong key, then no signature: an error naming the file, and nothing compared.
  for (const bool removeSignature : {false, true}) {
    if (removeSignature) unlink(tree.Path("l.qln.sig").c_str());
    const ProgramResult refused = verifyWith(removeSignature ? "key.pub" : "other.pub");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find(tree.Path("l.qln.sig")), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  tree.Chmod("key", 0644);
  const ProgramResult exposed = Cli({"list", tree.Path("d"), "-o", tree.Path("m.qln"), "--sign", tree.Path("key")});
  EXPECT_EQ(exposed.exitCode, 2);
  EXPECT_NE(exposed.err.find("chmod 600"), std::string::npos) << exposed.err;
  EXPECT_FALSE(std::filesystem::exists(tree.Path("m.qln")));  // refused before the listing
  // Neither the listing nor its signature takes the place of a key, nor results that of the signature checked.
  for (const std::vector<std::string>& call :
       {std::vector<std::string>{"list", tree.Path("d"), "-o", tree.Path("key"), "--sign", tree.Path("key")},
        {"list", tree.Path("d"), "-o", tree.Path("key"), "--sign", tree.Path("key.sig")},
        {"compare", "--verify-with", tree.Path("key.pub"), tree.Path("m.qln"), tree.Path("l.qln"), "-o",
         tree.Path("l.qln.sig")}}) {
    const ProgramResult refused = Cli(call);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("it would be replaced"), std::string::npos) << refused.err;
  }
  // A link to a pipe, like /dev/stdout, would put the signature beside the link.
  tree.Chmod("key", 0600);
  tree.Fifo("pipe");
  tree.Link("out", tree.Path("pipe"));
  EXPECT_EQ(Cli({"list", tree.Path("d"), "-o", tree.Path("out"), "--sign", tree.Path("key")}).exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(tree.Path("out.sig")));
}

TEST(CliSignedListing, ListingAndSignatureChangeTogetherOrNotAtAll) {
  TempTree tree;
  tree.Dir("d");
  tree.File("d/a", "content");
  ASSERT_EQ(Cli({"keygen", "-o", tree.Path("key")}).exitCode, 0);
  const auto list = [&](const std::string& out) {
    return Cli({"list", tree.Path("d"), "-o", tree.Path(out), "--sign", tree.Path("key")});
  };
  ASSERT_EQ(list("l.qln").exitCode, 0);
  const std::string listing = tree.Read("l.qln"), signature = tree.Read("l.qln.sig");
  tree.File("d/b", "new");
  // No room for the signature: the listing is not replaced.
  tree.File("n.qln", listing);
  tree.Dir("n.qln.sig");
  EXPECT_EQ(list("n.qln").exitCode, 2);
  EXPECT_EQ(tree.Read("n.qln"), listing);
  // A listing that may not be replaced: its old signature is put back, and
  // a signature that was not there before is removed again.
  for (const bool signedBefore : {true, false}) {
    tree.File("r.qln", listing);
    if (signedBefore) tree.File("r.qln.sig", signature);
    tree.Chmod("r.qln", 0444);
    const ProgramResult refused = list("r.qln");
    EXPECT_EQ(refused.exitCode, 2) << refused.err;
    EXPECT_EQ(tree.Read("r.qln"), listing);
    EXPECT_EQ(std::filesystem::exists(tree.Path("r.qln.sig")), signedBefore);
    if (signedBefore) {
      EXPECT_EQ(tree.Read("r.qln.sig"), signature);
    }
    unlink(tree.Path("r.qln.sig").c_str());
    unlink(tree.Path("r.qln").c_str());
  }
}

#endif
