#include "app/WindowPlace.h"

#include <algorithm>

namespace {
constexpr const char* kLeftKey = "Window/Left";
constexpr const char* kTopKey = "Window/Top";
// The size at 96 pixels per inch.
constexpr const char* kWidthKey = "Window/Width96";
constexpr const char* kHeightKey = "Window/Height96";
// The size in the pixels of the screen it was kept on, as older versions kept it.
constexpr const char* kPixelWidthKey = "Window/Width";
constexpr const char* kPixelHeightKey = "Window/Height";
constexpr const char* kMaximizedKey = "Window/Maximized";
constexpr int kBaseDpi = 96;

// a * b / c, rounded to the nearest.
int Scale(int a, unsigned b, unsigned c) {
  const long long product = static_cast<long long>(a) * b;
  return static_cast<int>((product + static_cast<long long>(c) / 2) / c);
}
}  // namespace

std::optional<WindowPlace> WindowPlace::Read(const SettingsStore& store, unsigned dpi) {
  const auto left = store.ReadInt(kLeftKey), top = store.ReadInt(kTopKey);
  auto width = store.ReadInt(kWidthKey), height = store.ReadInt(kHeightKey);
  const bool scaled = width && height;
  if (!scaled) width = store.ReadInt(kPixelWidthKey), height = store.ReadInt(kPixelHeightKey);
  if (!left || !top || !width || !height || *width <= 0 || *height <= 0 || dpi == 0) return std::nullopt;
  const int w = scaled ? Scale(*width, dpi, kBaseDpi) : *width, h = scaled ? Scale(*height, dpi, kBaseDpi) : *height;
  return WindowPlace{{*left, *top, w, h}, store.ReadBool(kMaximizedKey, false)};
}

void WindowPlace::Write(const SettingsStore& store, unsigned dpi) const {
  if (dpi == 0) return;
  store.WriteInt(kLeftKey, frame.left);
  store.WriteInt(kTopKey, frame.top);
  store.WriteInt(kWidthKey, Scale(frame.width, kBaseDpi, dpi));
  store.WriteInt(kHeightKey, Scale(frame.height, kBaseDpi, dpi));
  store.WriteBool(kMaximizedKey, maximized);
}

ScreenRect WindowPlace::Centred(const ScreenRect& work, int width, int height) {
  const int w = std::min(width, work.width), h = std::min(height, work.height);
  return {work.left + (work.width - w) / 2, work.top + (work.height - h) / 2, w, h};
}
