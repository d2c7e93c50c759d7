#include "compare/ComparisonResult.h"

#include "compare/ComparisonKey.h"

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

std::array<std::string_view, 4> ResultLineParts(ChangeKind kind, std::string_view current, std::string_view loaded) {
  switch (kind) {
    case ChangeKind::Modified: return {"Modified: ", current};
    case ChangeKind::Deleted: return {"Deleted: ", loaded};
    case ChangeKind::Added: return {"Added: ", current};
    case ChangeKind::Moved: {
      const std::string_view oldPath = ComparisonKey::FileLinePath(loaded).value_or(std::string_view());
      if (oldPath.empty()) return {"Moved: ", current};
      return {"Moved: ", current, " <= ", oldPath};
    }
  }
  return {};
}
