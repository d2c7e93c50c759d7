#include "app/WindowPlace.h"

#include <algorithm>

namespace {
constexpr const char* kLeftKey = "Window/Left";
constexpr const char* kTopKey = "Window/Top";
constexpr const char* kWidthKey = "Window/Width";
constexpr const char* kHeightKey = "Window/Height";
constexpr const char* kMaximizedKey = "Window/Maximized";
}  // namespace

std::optional<WindowPlace> WindowPlace::Read(const SettingsStore& store) {
  const auto left = store.ReadInt(kLeftKey), top = store.ReadInt(kTopKey);
  const auto width = store.ReadInt(kWidthKey), height = store.ReadInt(kHeightKey);
  if (!left || !top || !width || !height || *width <= 0 || *height <= 0) return std::nullopt;
  return WindowPlace{{*left, *top, *width, *height}, store.ReadBool(kMaximizedKey, false)};
}

void WindowPlace::Write(const SettingsStore& store) const {
  store.WriteInt(kLeftKey, frame.left);
  store.WriteInt(kTopKey, frame.top);
  store.WriteInt(kWidthKey, frame.width);
  store.WriteInt(kHeightKey, frame.height);
  store.WriteBool(kMaximizedKey, maximized);
}

ScreenRect WindowPlace::Centred(const ScreenRect& work, int width, int height) {
  const int w = std::min(width, work.width), h = std::min(height, work.height);
  return {work.left + (work.width - w) / 2, work.top + (work.height - h) / 2, w, h};
}
