#include "app/HelpPlace.h"

#include <algorithm>

namespace {
constexpr int kGap = 8;  // between the main window and the help window
}

HelpPlace::Rect HelpPlace::Beside(const Rect& owner, int width, int height, const Rect& screen) {
  Rect place{0, 0, width, height};
  const int rightOf = owner.left + owner.width + kGap;
  const int leftOf = owner.left - kGap - width;
  if (rightOf + width <= screen.left + screen.width) {
    place.left = rightOf;
    place.top = owner.top;
  } else if (leftOf >= screen.left) {
    place.left = leftOf;
    place.top = owner.top;
  } else {
    // Centre on centre, the last pixel of each counted as the frames' own.
    place.left = (2 * owner.left + owner.width - 1) / 2 - (width - 1) / 2;
    place.top = (2 * owner.top + owner.height - 1) / 2 - (height - 1) / 2;
  }
  const int screenRight = screen.left + screen.width - 1, screenBottom = screen.top + screen.height - 1;
  place.left = std::clamp(place.left, screen.left, std::max(screen.left, screenRight - width));
  place.top = std::clamp(place.top, screen.top, std::max(screen.top, screenBottom - height));
  return place;
}
