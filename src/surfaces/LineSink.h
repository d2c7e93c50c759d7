#pragma once

#include <memory>
#include <string_view>

// Where the lines of a listing file go as it is read: its text is handed over
// whole, and each line is a view into that text. A pane is one such sink.
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void Clear() = 0;
  virtual void AdoptText(std::unique_ptr<char[]> text) = 0;
  // Fails with "Unable to insert a line" when the sink is full.
  virtual void AddAdoptedLine(std::string_view line) = 0;
};
