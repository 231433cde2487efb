#pragma once
// TSimpleTimer: a lightweight periodic timer created in code, without owner.
// All simple timers share one hidden window that receives their WM_TIMER
// messages; each timer's system identifier is its own address.
#include <windows.h>

#include <functional>
#include <memory>
#include <unordered_set>

#include "tray/hidden_window.h"

class TSimpleTimer;
using TSimpleTimerEvent = std::function<void(TSimpleTimer* sender)>;

class TSimpleTimer {
public:
  // Interval 1000 ms, no callback.
  TSimpleTimer();
  TSimpleTimer(unsigned interval, TSimpleTimerEvent onTimer);
  ~TSimpleTimer();
  TSimpleTimer(const TSimpleTimer&) = delete;
  TSimpleTimer& operator=(const TSimpleTimer&) = delete;

  UINT_PTR TimerId() const { return timerId_; }

  // True starts the timer (nothing with interval 0), false stops it.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // A new non-zero interval restarts a running timer; 0 pauses it.
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  // A single-shot timer stops itself before its callback runs.
  bool SingleShot() const { return singleShot_; }
  void SetSingleShot(bool value) { singleShot_ = value; }
  // An empty callback pauses a running timer.
  const TSimpleTimerEvent& OnTimer() const { return onTimer_; }
  void SetOnTimer(TSimpleTimerEvent callback);

  // Sets the system timer (anew when running); false when refused or
  // when the interval is 0.
  bool StartTimer();
  // Kills the system timer; `clear` also marks the timer stopped.
  bool StopTimer(bool clear);

private:
  UINT_PTR timerId_;
  bool enabled_ = false;
  unsigned interval_;
  bool singleShot_ = false;
  TSimpleTimerEvent onTimer_;
};

// The shared window of all simple timers; exists while any timer does.
class TSimpleTimerHandler {
public:
  TSimpleTimerHandler();

  unsigned UserCount() const { return userCount_; }
  // Timers whose system timer runs.
  unsigned RunningCount() const { return runningCount_; }
  HWND WindowHandle() const { return window_.Handle(); }

private:
  static TSimpleTimerHandler& Acquire(const TSimpleTimer* timer);
  static void Release(const TSimpleTimer* timer);
  void HandleTimerMessage(TMessage& message);

  unsigned userCount_ = 0;
  unsigned runningCount_ = 0;
  // Live timers: a WM_TIMER already queued for a timer destroyed since
  // must not be taken for a timer.
  std::unordered_set<const TSimpleTimer*> timers_;
  THiddenWindow window_;

  friend class TSimpleTimer;
};

// The shared handler, or null while no simple timer exists.
TSimpleTimerHandler* SimpleTimerHandler();
