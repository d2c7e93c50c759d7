#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

// The lines of a list pane, packed into large blocks so that a pane of a
// million lines costs little more than its text and one view per line.
class LineStore {
 public:
  void Clear();
  // Copies the text of the line into the store.
  void Append(std::string_view line);
  // Keeps a block of text that views added by AppendView point into.
  void Adopt(std::unique_ptr<char[]> block);
  // Adds a line that lies inside an adopted block, without copying it.
  void AppendView(std::string_view line) { lines_.push_back(line); }

  std::size_t Size() const { return lines_.size(); }
  std::string_view At(std::size_t index) const { return lines_[index]; }
  const std::vector<std::string_view>& Lines() const { return lines_; }

 private:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* cursor_ = nullptr;
  std::size_t room_ = 0;
  std::vector<std::string_view> lines_;
};
