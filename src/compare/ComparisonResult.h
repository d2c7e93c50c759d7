#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

enum class ChangeKind { Modified, Deleted, Added, Moved };

// One result line of a comparison, by the listing lines it was made from.
struct Change {
  ChangeKind Kind;
  int Current;  // line of the current listing (ListBox1), -1 for a Deleted line
  int Loaded;   // line of the loaded listing (ListBox2), -1 for an Added line
};

// What the last comparison found, in the order of its result lines, for
// front ends that show counts or write the changes in other forms.
struct ComparisonResult {
  std::vector<Change> Changes;
  long long Modified = 0, Deleted = 0, Added = 0, Moved = 0;
  long long AmbiguousMoves = 0;  // Deleted and Added lines left unpaired for want of a unique partner
  bool MovesDetected = false;
  bool Completed = false;  // it ran to its end, neither stopped nor failed

  void Clear() { *this = ComparisonResult(); }
  void Count(ChangeKind kind);
  // "N modified, N deleted, N added", then ", N moved" when moves were
  // detected and ", N ambiguous move candidates" when there are any.
  std::string CountsText() const;
};

// The pieces of a change's result line, to be joined: "Modified: " or
// "Added: " and the current line, "Deleted: " and the loaded line, or
// "Moved: ", the current line, " <= " and the loaded line's path.
std::array<std::string_view, 4> ResultLineParts(ChangeKind kind, std::string_view current, std::string_view loaded);
