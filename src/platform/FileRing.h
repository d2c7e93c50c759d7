#pragma once

#include <cstdint>
#include <span>

// Many file operations asked of the system at once, each batch in one call
// and answered in one, where the system has a way to (io_uring on Linux).
// The disk then gets the reads of a batch together, and the program makes a
// few calls where it would make one per file. Used by one thread. Errors
// are given as -errno.
class FileRing {
 public:
  virtual ~FileRing() = default;

  // A file to open by its name in a folder held open.
  struct OpenAt {
    int folder;
    const char* name;
  };
  // Opens each file as FileReader::OpenIn does: its descriptor in results.
  virtual void OpenAll(std::span<const OpenAt> opens, std::span<int> results) = 0;

  // The first bytes of an open file, wanted in the page cache.
  struct Probe {
    int fd;
    std::uint32_t bytes;
  };
  // Reads the first bytes of each file, and drops them, when they are in
  // the page cache: their count in results; otherwise begins reading them
  // into it and gives -EAGAIN, where the file system can (or only -EAGAIN).
  virtual void ProbeAll(std::span<const Probe> probes, std::span<int> results) = 0;

  virtual void CloseAll(std::span<const int> fds) = 0;

  // False once the system stopped taking operations: from then on each
  // operation of the ring fails, and its user asks for files one by one.
  virtual bool Working() const = 0;
};
