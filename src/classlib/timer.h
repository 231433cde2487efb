#pragma once
// A window-message timer component: OnTimer every Interval milliseconds
// while Enabled, delivered by the message loop.
#include <windows.h>

#include "classlib/component.h"
#include "classlib/message_window.h"

class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned interval);
  TNotifyEvent OnTimer;

protected:
  void Loaded() override;

private:
  void TimerMessage(TMessage& message);
  void UpdateTimer();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  TMessageWindow window_;
};
