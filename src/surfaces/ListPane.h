#pragma once

#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "surfaces/LineSink.h"
#include "surfaces/LineStore.h"

// One list pane as the commands see it: its lines, its selection and the
// numbers its scroll extent is worked out from. Every realisation of the
// window's surfaces keeps its panes in this form. A listing file is read into
// a pane as into any line sink; the pane itself knows nothing of files.
class ListPane : public LineSink {
 public:
  static constexpr int kNoSelection = -1;
  static constexpr int kUnlimited = std::numeric_limits<int>::max();

  explicit ListPane(int capacity = kUnlimited) : capacity_(capacity) {}

  void Clear() override;
  // Fails with "Unable to insert a line" when the pane is full.
  void AddLine(std::string_view line);
  // Fails with "List index out of bounds (%d)" for an index it does not have.
  std::string_view LineAt(int index) const;
  int Count() const { return static_cast<int>(store_.Size()); }

  // Reading a file hands its text over whole and adds views into it.
  void AdoptText(std::unique_ptr<char[]> text) override { store_.Adopt(std::move(text)); }
  void AddAdoptedLine(std::string_view line) override;

  int SelectedIndex() const { return selected_; }
  void SetSelectedIndex(int index) { selected_ = index; }
  int ScrollExtent() const { return scrollExtent_; }
  void SetScrollExtent(int pixels) { scrollExtent_ = pixels; }
  int FontSize() const { return fontSize_; }
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetCapacity(int capacity) { capacity_ = capacity; }

  const LineStore& Lines() const { return store_; }

 private:
  void CheckRoom() const;

  LineStore store_;
  int capacity_;
  int selected_ = kNoSelection;
  int scrollExtent_ = 0;
  int fontSize_ = 8;
  int pixelsPerInch_ = 96;
};
