#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A temporary file for work that outgrows the memory, read back in the
// order it was written. It is created anew (never an existing file), only
// its owner may read it, and it has no name in the folder once created, so
// that nothing of it stays behind however the program ends.
class SpillFile {
 public:
  SpillFile() = default;
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // False with Error() set when it cannot be made in folder.
  bool Create(const std::string& folder);
  // Writes all the bytes; false with Error() set when they cannot be stored.
  bool Write(const char* data, std::size_t size);
  // Back to the first byte, for reading.
  bool Rewind();
  // Reads up to size bytes: the count, 0 at the end, -1 on a read error.
  long long Read(char* buffer, std::size_t size);
  // Why the last call failed, as an errno value on every system.
  int Error() const { return error_; }

  // The folder for temporary files: $TMPDIR, else the system's own.
  static std::string DefaultFolder();

 private:
  std::intptr_t handle_ = -1;
  int error_ = 0;
};
