#pragma once

#include <array>

#include "app/ScreenRect.h"
#include "surfaces/Texts.h"

// The About box as both windows lay it out, in pixels at 96 pixels per inch:
// a black panel with the icon and four white texts, the OK button, and the
// commit the program was built from in the free corner beside the button.
namespace AboutLayout {

inline constexpr int kWidth = 242;  // the client area, which keeps its size
inline constexpr int kHeight = 179;
inline constexpr int kCharacterHeight = 11;  // pixels, whatever the user's font size
inline constexpr int kCommitHeight = 9;
inline constexpr ScreenRect kPanel{8, 8, 225, 121};
inline constexpr ScreenRect kOk{84, 144, 75, 25};
inline constexpr ScreenRect kCommit{8, 148, 72, 16};

// The icon and the texts lie on the panel, placed from its outer corner.
inline constexpr ScreenRect kIcon{16, 8, 41, 41};
inline constexpr int kIconSize = 37;
inline constexpr int kInnerRight = kPanel.width - 8;  // each text has the room up to the panel's inner edge

struct PanelText {
  const char* name;
  const char* text;
  ScreenRect room;
  bool bold;
  bool wrap;
};
inline constexpr std::array<PanelText, 4> kTexts{{
    {"ProductName", Texts::kProductName, {72, 16, kInnerRight - 72, 16}, true, false},
    {"Version", Texts::kVersionText, {104, 32, kInnerRight - 104, 16}, false, false},
    {"Notice", Texts::kAboutNotice, {8, 56, kInnerRight - 8, 16}, false, false},
    {"Comments", Texts::kAboutComments, {8, 80, 207, 26}, false, true},
}};

}  // namespace AboutLayout
