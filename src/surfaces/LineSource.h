#pragma once

#include <string_view>

// Where the lines of a listing come from, one at a time and in order, for
// work that must not hold a whole listing in memory.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line, valid until the next call; false at the end. Fails with
  // the program's text when the listing cannot be read.
  virtual bool Next(std::string_view& line) = 0;
  // The bytes the listing takes, where known in advance; -1 otherwise.
  virtual long long SizeHint() const { return -1; }
};
