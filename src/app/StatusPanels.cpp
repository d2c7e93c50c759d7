#include "app/StatusPanels.h"

#include <algorithm>

#include "app/WindowLayout.h"

void StatusPanels::Set(int panel, std::string_view text) {
  if (panel == 4) {
    unreadableTip_.clear();
    for (const std::string& line : unreadable_.TipLines()) unreadableTip_ += (unreadableTip_.empty() ? "" : "\n") + line;
    // A command's text takes panel 4 from a hint at once.
    hintShown_ = false;
  }
  // The comparison sets panel 3 once a line; an unchanged text costs nothing.
  std::string& kept = texts_.at(static_cast<std::size_t>(panel));
  if (kept != text || panel == 4) {
    kept.assign(text);
    Draw(panel, text);
  }
  if (panel == 4) HintRoomChanged();
}

void StatusPanels::ShowHint(std::string_view text) {
  // The hint it already shows changes nothing.
  if (hint_ == text) return;
  hint_.assign(text);
  // A hint stands in for a command's text, a warning among them, only
  // while it lasts: when it ends, the text comes back.
  hintShown_ = !hint_.empty();
  Draw(4, Shown4());
  HintRoomChanged();
}

void StatusPanels::HintRoomChanged() {
  if (!hintShown_ && !unreadableTip_.empty()) {
    SetTip(4, unreadableTip_);
    return;
  }
  SetTip(4, port_.PanelFits(4, Shown4()) ? std::string() : std::string(Shown4()));
}

void StatusPanels::ShowFigures(const std::array<std::string, 4>& texts, const std::string& rateTip) {
  figuresShown_ = true;
  for (std::size_t i = 0; i < texts.size(); ++i) Draw(static_cast<int>(i), texts[i]);
  SetTip(3, rateTip);
}

void StatusPanels::EndFigures() {
  if (!figuresShown_) return;
  // The figures were shown in place of the panels' texts, which come back.
  figuresShown_ = false;
  for (int i = 0; i < 4; ++i) Draw(i, texts_[static_cast<std::size_t>(i)]);
  SetTip(3, std::string());
}

void StatusPanels::Draw(int panel, std::string_view text) {
  window_.StatusSetPanelText(panel, text);
  // Panels 0 to 3 widen for a longer text, such as the counts of a finished
  // comparison or of a stopped listing, at the hints' cost.
  if (panel < 4) {
    port_.SetPanelWidth(panel, std::max(WindowLayout::kPanelWidths[static_cast<std::size_t>(panel)],
                                        port_.PanelTextWidth(panel, text) + 8));
  }
}

void StatusPanels::SetTip(int panel, const std::string& tip) {
  std::string& shown = tips_.at(static_cast<std::size_t>(panel));
  if (shown == tip) return;
  shown = tip;
  port_.SetPanelTip(panel, tip);
}
