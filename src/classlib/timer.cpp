#include "classlib/timer.h"

TTimer::TTimer(TComponent* owner)
    : TComponent(owner),
      window_(L"CammonTimer", [this](TMessage& message) { TimerMessage(message); }, this) {}

TTimer::~TTimer() { KillTimer(window_.Handle(), 1); }

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned interval) {
  if (interval == interval_) return;
  interval_ = interval;
  UpdateTimer();
}

void TTimer::Loaded() { UpdateTimer(); }

void TTimer::UpdateTimer() {
  KillTimer(window_.Handle(), 1);
  if (Loading()) return;
  // Runs whether or not OnTimer is set yet: the handler may be assigned
  // after Enabled and Interval, and is looked up at every tick.
  if (enabled_ && interval_ != 0) SetTimer(window_.Handle(), 1, interval_, nullptr);
}

void TTimer::TimerMessage(TMessage& message) {
  if (message.Msg != WM_TIMER) message.Result = window_.Default(message);
  else if (OnTimer) OnTimer(this);
}
