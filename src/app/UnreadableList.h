#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the running command could not read, for the tooltip of the panel that
// shows their count: the first paths, and how many more there were.
class UnreadableList {
 public:
  static constexpr std::size_t kShown = 20;

  void Clear();
  void Add(std::string_view path);
  // One line a path, then "... and N more" when there were more; empty when
  // everything could be read.
  std::vector<std::string> TipLines() const;

 private:
  std::vector<std::string> first_;
  std::size_t count_ = 0;
};
