#include "compare/ComparisonResult.h"

void ComparisonResult::Count(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::Modified: ++Modified; break;
    case ChangeKind::Deleted: ++Deleted; break;
    case ChangeKind::Added: ++Added; break;
    case ChangeKind::Moved: ++Moved; break;
  }
}

std::string ComparisonResult::CountsText() const {
  std::string text = std::to_string(Modified) + " modified, " + std::to_string(Deleted) + " deleted, " +
                     std::to_string(Added) + " added";
  if (MovesDetected) text += ", " + std::to_string(Moved) + " moved";
  if (AmbiguousMoves > 0) text += ", " + std::to_string(AmbiguousMoves) + " ambiguous move candidates";
  return text;
}
