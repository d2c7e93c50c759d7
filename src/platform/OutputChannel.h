#pragma once

#include <cstddef>

// Where bytes are written: a file being saved, or a standard stream.
class OutputChannel {
 public:
  virtual ~OutputChannel() = default;
  // Writes all the bytes; false when fewer could be stored.
  virtual bool Write(const char* data, std::size_t size) = 0;
};
