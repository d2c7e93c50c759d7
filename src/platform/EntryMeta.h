#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a metadata listing shows of an entry beyond its search record (whose
// mode, owner, group and link count FindData carries on POSIX). Read only
// when a listing asks for it, and never by following a link.
struct EntryMeta {
  enum class Kind { Posix, Windows };
  // An alternate data stream of a Windows file.
  struct Stream {
    std::string Name;    // as the system names it, without ":" and ":$DATA"
    std::uint64_t Size = 0;
    std::string Digest;  // hexadecimal, when digests were asked for; zeros where it could not be read
  };
  // A part that could not be read: what it is, and the system's error number.
  struct Failure {
    std::string What;
    int Error = 0;
  };

  Kind Of = Kind::Posix;
  // POSIX.
  std::string LinkTarget;   // a link's target as readlink gives it; empty where it could not be read
  std::string XattrDigest;  // SHA-256 of the sorted names and values, hexadecimal; empty: none
  // Windows.
  std::string OwnerSid;     // "S-1-5-32-544"; empty where it could not be read
  std::string DaclDigest;   // SHA-256 of the DACL's SDDL form, hexadecimal; empty where it could not be read
  std::uint32_t ReparseTag = 0;
  std::vector<Stream> Streams;

  std::vector<Failure> Failures;

  void Clear() {
    LinkTarget.clear();
    XattrDigest.clear();
    OwnerSid.clear();
    DaclDigest.clear();
    ReparseTag = 0;
    Streams.clear();
    Failures.clear();
  }
};
