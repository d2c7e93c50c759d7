#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileRing.h"

// What the digest checks of an open file, before and after it reads it.
struct OpenFileFacts {
  bool RegularFile = false;
  std::uint64_t Size = 0;
  std::int64_t ModifiedSeconds = 0;  // since 1970-01-01 UTC
  std::uint32_t ModifiedNanoseconds = 0;
  // Which file it is and when its inode last changed: a rewrite that puts
  // the modification time back still moves the change time.
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::int64_t ChangedSeconds = 0;
  std::uint32_t ChangedNanoseconds = 0;
};

// The file access that a digest reads through; the tests put failures and
// changes in its way. Errors are errno values on every system.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // Opens a file for reading without following a link at its end, by a path
  // of any length, never keeping other programs from the file; -1 with errno
  // set when it cannot. A read that would wait for data to arrive, as from a
  // FIFO or a file of /proc, fails with EAGAIN instead.
  virtual int Open(const std::string& path) = 0;
  // A folder held open so that the files in it open by name alone, without
  // the path being walked again for each; closed with Close. -1 where the
  // system has no such thing or the folder cannot be opened.
  virtual int OpenFolder(const std::string& /*path*/) { return -1; }
  // Opens the file name in a folder from OpenFolder, as Open does.
  virtual int OpenIn(int /*folder*/, const char* /*name*/) { return -1; }
  // Opens the folder name in a folder from OpenFolder, as OpenFolder does.
  virtual int OpenFolderIn(int /*folder*/, const char* /*name*/) { return -1; }
  // As read(2), with errno set on failure.
  virtual long long Read(int fd, void* buffer, std::size_t count) = 0;
  // The facts of the open file; -1 with errno set on failure.
  virtual int Stat(int fd, OpenFileFacts& facts) = 0;
  virtual void Close(int fd) = 0;
  // As Read, but without waiting for the disk: -1 with errno EAGAIN when what
  // comes next is not in the page cache yet. By default every read counts as
  // one from the cache.
  virtual long long ReadIfCached(int fd, void* buffer, std::size_t count) { return Read(fd, buffer, count); }
  // Asks the system to start reading the file's first bytes into the page
  // cache and returns at once; that the file is read from start to end in
  // large blocks; and to drop its pages from the cache. By default none of
  // these does anything.
  virtual void FetchAhead(int /*fd*/, std::uint64_t /*bytes*/) {}
  virtual void AdviseSequential(int /*fd*/) {}
  virtual void DropCache(int /*fd*/) {}
  // The first size bytes of the open file mapped into memory for reading,
  // when every page of them is in the page cache: they are then read with
  // no copy made. None where the system maps no files, or some page would
  // have to come from the disk. Read it only within a MapGuard that watches
  // it: the file may be shortened under the read.
  virtual const unsigned char* MapIfCached(int /*fd*/, std::uint64_t /*size*/) { return nullptr; }
  // Lets go of the pages of [from, to) of a mapping, read already, so that
  // they do not stay counted as the program's own; and of the whole.
  virtual void ReleaseMapped(const unsigned char* /*view*/, std::uint64_t /*from*/, std::uint64_t /*to*/) {}
  virtual void Unmap(const unsigned char* /*view*/, std::uint64_t /*size*/) {}
  // A ring of this reader's own for one thread, which asks for many files'
  // operations at once; none where the system has no such way, or has it
  // switched off: then each is asked on its own, as above.
  virtual std::unique_ptr<FileRing> MakeRing() { return nullptr; }
};
