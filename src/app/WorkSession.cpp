#include "app/WorkSession.h"

#include <algorithm>

void WorkSession::Begin() {
  working_ = true;
  stopRequested_ = false;
  figuresPending_ = false;
  figures_.Restart();
  lastPump_ = lastWindowPaint_ = lastStatusPaint_ = port_.Now();
  announceInterval_ = kRepaintInterval;
  port_.WorkChanged(true);
}

void WorkSession::End() {
  // The last lines, still following the end, and the caption the work
  // ends with; input that came in at the very end is dropped too, not left
  // for later.
  port_.AnnouncePanes();
  ShowCaption();
  port_.ProcessInput();
  working_ = false;
  stopRequested_ = false;
  figuresPending_ = false;
  port_.WorkChanged(false);
  panels_.EndFigures();
}

bool WorkSession::StopRequested() {
  if (!working_) return false;
  if (port_.Now() - lastPump_ >= kPumpInterval) Pump();
  return stopRequested_;
}

void WorkSession::Refresh() {
  // The work polls for a stop far more often than it refreshes; this only
  // makes sure of a pump when it is due.
  if (working_ && port_.Now() - lastPump_ >= kPumpInterval) Pump();
}

bool WorkSession::StatusPaintDue() {
  const auto now = port_.Now();
  if (now - lastStatusPaint_ < kRepaintInterval) return false;
  lastStatusPaint_ = now;
  return true;
}

void WorkSession::Progress(const RunProgress& progress) {
  progress_ = progress;
  figuresPending_ = working_;
}

void WorkSession::SetCaption(std::string_view text) {
  caption_.assign(text);
  if (!working_) ShowCaption();
}

bool WorkSession::Drops(Input input) {
  if (!working_) return false;
  if (input == Input::Escape) RequestStop();
  return input != Input::Looking;
}

WorkSession::Input WorkSession::Sort(const Event& event) {
  using Kind = Event::Kind;
  if (event.target == Event::Target::OtherWindow) return Input::Looking;
  switch (event.kind) {
    case Kind::KeyDown:
      return event.escape ? Input::Escape : Input::Acting;
    case Kind::KeyUp:
    case Kind::Char:
      return Input::Acting;
    case Kind::MouseButton:
    case Kind::Command:
      return event.target == Event::Target::Control ? Input::Acting : Input::Looking;
    case Kind::Other:
      break;
  }
  return Input::Looking;
}

void WorkSession::Pump() {
  const auto now = port_.Now();
  lastPump_ = now;
  if (figuresPending_ && StatusPaintDue()) {
    figuresPending_ = false;
    panels_.ShowFigures(figures_.PanelTexts(progress_, now),
                        progress_.digests ? RunFigures::RateTip(progress_) : std::string());
  }
  if (now - lastWindowPaint_ < announceInterval_) {
    port_.ProcessInput();
    return;
  }
  // New rows cost the view a layout pass and a paint: the pause between them
  // grows with their cost, so that they take a small and steady share of the
  // run whatever its size.
  ShowCaption();
  port_.AnnouncePanes();
  port_.ProcessInput();
  const auto done = port_.Now();
  announceInterval_ = std::max<WindowPort::Clock::duration>(kRepaintInterval, (done - now) * kPaintShare);
  lastWindowPaint_ = done;
}

void WorkSession::ShowCaption() {
  if (captionShown_ && shownCaption_ == caption_) return;
  captionShown_ = true;
  shownCaption_ = caption_;
  window_.SetCaption(caption_);
}
