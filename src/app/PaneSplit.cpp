#include "app/PaneSplit.h"

#include <algorithm>
#include <cmath>

#include "app/WindowLayout.h"

namespace L = WindowLayout;

namespace {

// The shares as kept between sessions, in millionths.
constexpr const char* kListBox1ShareKey = "Window/ListBox1Share";
constexpr const char* kListBox3ShareKey = "Window/ListBox3Share";
constexpr int kShareUnit = 1000000;
constexpr int kFixedHeight = L::kToolBarHeight + L::kPanelHeight + L::kStatusBarHeight;

}  // namespace

PaneSplit::PaneSplit()
    : list1Share_(static_cast<double>(L::kListBox1Width) / (L::kClientWidth - L::kSplitterSize)),
      list3Share_(static_cast<double>(L::kListBox3Height) / (L::kClientHeight - kFixedHeight - L::kSplitterSize)) {}

int PaneSplit::Scaled(int pixels) const {
  return static_cast<int>((static_cast<long long>(pixels) * dpi_ + 48) / 96);
}

int PaneSplit::RoomWidth(int width) const { return std::max(1, width - Scaled(L::kSplitterSize)); }

int PaneSplit::RoomHeight(int height) const {
  return std::max(1, height - Scaled(kFixedHeight) - Scaled(L::kSplitterSize));
}

PaneSplit::Boxes PaneSplit::Place(int width, int height, int barHeight) const {
  const int areaTop = Scaled(L::kToolBarHeight + L::kPanelHeight);
  const int areaBottom = std::max(areaTop, height - Scaled(L::kStatusBarHeight));
  const int split = Scaled(L::kSplitterSize);
  const int roomX = RoomWidth(width), roomY = RoomHeight(height);
  const int h3 = std::clamp(static_cast<int>(std::lround(list3Share_ * roomY)), 1, std::max(1, roomY - 1));
  const int split2 = std::max(areaTop + 1, areaBottom - h3 - split);
  const int w1 = std::clamp(static_cast<int>(std::lround(list1Share_ * roomX)), 1, std::max(1, roomX - 1));
  const int bottomTop = split2 + split;
  const int bar = barHeight > 0 ? std::min(Scaled(barHeight), h3 - 1) : 0;
  return {{0, areaTop, w1, split2 - areaTop},
          {w1 + split, areaTop, std::max(1, width - w1 - split), split2 - areaTop},
          {0, bottomTop + bar, width, h3 - bar},
          {0, bottomTop, width, bar}};
}

PaneSplit::Splitter PaneSplit::At(int x, int y, int width, int height) const {
  const Boxes boxes = Place(width, height, 0);
  const Box& one = boxes.listBox1;
  const int split = Scaled(L::kSplitterSize);
  if (y >= one.top && y < one.top + one.height && x >= one.width && x < one.width + split) return Splitter::Beside;
  if (y >= boxes.listBox3.top - split && y < boxes.listBox3.top) return Splitter::Above;
  return Splitter::None;
}

void PaneSplit::Drag(Splitter splitter, int x, int y, int width, int height) {
  if (splitter == Splitter::Beside) list1Share_ = static_cast<double>(std::max(1, x)) / RoomWidth(width);
  if (splitter == Splitter::Above) {
    const int below = height - Scaled(L::kStatusBarHeight) - y - Scaled(L::kSplitterSize);
    list3Share_ = static_cast<double>(std::max(1, below)) / RoomHeight(height);
  }
}

void PaneSplit::Read(const SettingsStore& store) {
  if (const auto share = store.ReadInt(kListBox1ShareKey)) list1Share_ = std::clamp(*share, 1, kShareUnit) / double{kShareUnit};
  if (const auto share = store.ReadInt(kListBox3ShareKey)) list3Share_ = std::clamp(*share, 1, kShareUnit) / double{kShareUnit};
}

void PaneSplit::Write(const SettingsStore& store) const {
  store.WriteInt(kListBox1ShareKey, static_cast<int>(std::lround(list1Share_ * kShareUnit)));
  store.WriteInt(kListBox3ShareKey, static_cast<int>(std::lround(list3Share_ * kShareUnit)));
}
