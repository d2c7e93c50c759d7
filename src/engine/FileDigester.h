#pragma once

#include <memory>
#include <string>

// Reads files for their MD5 digest through one large stream buffer that is
// reused for every file.
class FileDigester {
 public:
  static constexpr std::size_t kStreamBufferSize = 256 * 1024;
  static constexpr std::size_t kReadBlock = 512;

  FileDigester();

  // The 32 hexadecimal digits of the file's MD5 digest; 32 "0" when the entry
  // is no regular file, cannot be opened, or a read fails part-way. Symbolic
  // links are not followed, and FIFOs and devices are never read.
  std::string ComputeFileDigest(const std::string& filePath);

 private:
  std::unique_ptr<char[]> streamBuffer_;
};
