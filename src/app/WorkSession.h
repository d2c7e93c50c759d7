#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "app/RunFigures.h"
#include "app/StatusPanels.h"
#include "app/WindowPort.h"
#include "app/WindowView.h"

// A listing run or a comparison under way in a window, on the window's own
// thread: between its steps the window answers its input at the pump
// cadence, shows new lines at a repaint pace that grows with their cost, and
// shows the run's figures at most ten times a second. Input that would act
// is dropped while it runs; Escape and Stop ask it to stop.
class WorkSession {
 public:
  static constexpr auto kRepaintInterval = std::chrono::milliseconds(100);
  static constexpr auto kPumpInterval = std::chrono::milliseconds(20);
  static constexpr int kPaintShare = 20;  // new rows take at most about a twentieth of a run

  // Input during work, as the window sorts it: Escape; what would act, such
  // as keys, clicks on the panes and drops; and what only looks, such as the
  // scroll bars, the splitters, the menus and the Stop button.
  enum class Input { Escape, Acting, Looking };
  // An input event as a window describes it, its toolkit aside: what it is,
  // whether it is the Escape key, and where it goes. The frame is what only
  // moves or shows: the window itself, scroll bars, splitters and menus.
  struct Event {
    enum class Kind { KeyDown, KeyUp, Char, MouseButton, Command, Other };
    enum class Target { Control, Frame, StopButton, OtherWindow };
    Kind kind = Kind::Other;
    bool escape = false;
    Target target = Target::Control;
  };
  // The one rule of both windows. Only this window waits for the run: input
  // to another one answers as usual. Escape pressed stops; other keys act. A
  // click or a command acts on a control, not on the frame or the Stop button.
  static Input Sort(const Event& event);

  WorkSession(WindowView& window, WindowPort& port, StatusPanels& panels)
      : window_(window), port_(port), panels_(panels) {}

  bool Working() const { return working_; }
  void Begin();
  void End();
  void RequestStop() { stopRequested_ = working_; }
  // Polled between the steps of the work: pumps when it is due.
  bool StopRequested();
  // A refresh asked for by the work: pumps when it is due.
  void Refresh();
  // Whether the status bar may be painted now; it is, at the repaint pace.
  bool StatusPaintDue();
  void Progress(const RunProgress& progress);
  // During work the caption changes every few files; it is shown at the
  // repaint pace, as the new lines are.
  void SetCaption(std::string_view text);
  // True when the input is to be dropped.
  bool Drops(Input input);

 private:
  void Pump();
  void ShowCaption();

  WindowView& window_;
  WindowPort& port_;
  StatusPanels& panels_;
  bool working_ = false;
  bool stopRequested_ = false;
  bool figuresPending_ = false;
  RunProgress progress_;
  RunFigures figures_;
  WindowPort::Clock::time_point lastPump_{};
  WindowPort::Clock::time_point lastWindowPaint_{};
  WindowPort::Clock::time_point lastStatusPaint_{};
  WindowPort::Clock::duration announceInterval_ = kRepaintInterval;
  std::string caption_;
  std::string shownCaption_;
  bool captionShown_ = false;
};
