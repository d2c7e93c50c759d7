#pragma once

#include "app/WindowPort.h"

// A window whose clock a test moves on: the work's next pump or paint comes
// due at once, where a test would otherwise sleep for it. Between skips it
// runs with real time, so the work keeps its cadence.
template <class Window>
class SkippingClock : public Window {
 public:
  using Window::Window;
  void Skip(WindowPort::Clock::duration time) { skipped_ += time; }
  WindowPort::Clock::time_point Now() override { return WindowPort::Clock::now() + skipped_; }

 private:
  WindowPort::Clock::duration skipped_{};
};
