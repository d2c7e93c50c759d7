#include "surfaces/ListPane.h"

#include "surfaces/ErrorText.h"
#include "platform/QuillonError.h"

void ListPane::Clear() {
  store_.Clear();
  selected_ = kNoSelection;
}

void ListPane::CheckRoom() const {
  if (Count() >= capacity_) throw QuillonError(ErrorText::kUnableToInsertLine);
}

void ListPane::AddLine(std::string_view line) {
  CheckRoom();
  store_.Append(line);
}

void ListPane::AddAdoptedLine(std::string_view line) {
  CheckRoom();
  store_.AppendView(line);
}

std::string_view ListPane::LineAt(int index) const {
  if (index < 0 || index >= Count()) throw QuillonError(ErrorText::ListIndexOutOfBounds(index));
  return store_.At(static_cast<std::size_t>(index));
}
