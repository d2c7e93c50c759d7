#pragma once

#include <cstdint>
#include <string>

// Attribute bits of a search record, as the listing reads them.
namespace FileAttribute {
constexpr std::uint32_t ReadOnly = 0x0001;
constexpr std::uint32_t Hidden = 0x0002;
constexpr std::uint32_t System = 0x0004;
constexpr std::uint32_t VolumeLabel = 0x0008;
constexpr std::uint32_t Directory = 0x0010;
constexpr std::uint32_t Archive = 0x0020;
constexpr std::uint32_t Normal = 0x0080;
constexpr std::uint32_t Temporary = 0x0100;
constexpr std::uint32_t Compressed = 0x0800;
constexpr std::uint32_t Offline = 0x1000;
constexpr std::uint32_t ReparsePoint = 0x0400;
constexpr std::uint32_t Encrypted = 0x4000;
}  // namespace FileAttribute

// One entry found by a folder search: what the folder scan and the
// file-information functions read of it.
struct FindData {
  std::uint32_t Attributes = 0;
  std::string Name;
  std::uint64_t Size = 0;
  std::int64_t ModifiedSeconds = 0;      // since 1970-01-01 UTC
  std::uint32_t ModifiedNanoseconds = 0;
  bool RegularFile = false;              // the only kind of entry ever read for a digest
  // Which file this is and when its inode last changed; an inode of 0 means
  // the search could not tell.
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::int64_t ChangedSeconds = 0;
  std::uint32_t ChangedNanoseconds = 0;
  // The POSIX mode (type and permission bits), owner, group and link count,
  // as the search's own record gives them; 0 where the system has none.
  std::uint32_t Mode = 0;
  std::uint32_t Uid = 0;
  std::uint32_t Gid = 0;
  std::uint64_t Links = 0;
};

// An entry, or a whole folder, that a search could not read.
struct SearchFailure {
  std::string Name;  // the entry's name; empty for the searched folder itself
  bool Folder = false;  // the entry is a folder, or the failure is the searched folder's
  int Error = 0;        // the system's error number
};

// The folder separator of listing paths on this platform.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
