#include "tray/simple_timer.h"

namespace {
std::unique_ptr<TSimpleTimerHandler> sharedHandler;
}

TSimpleTimerHandler* SimpleTimerHandler() { return sharedHandler.get(); }

TSimpleTimerHandler::TSimpleTimerHandler()
    : window_([this](TMessage& message) { HandleTimerMessage(message); }) {}

TSimpleTimerHandler& TSimpleTimerHandler::Acquire(const TSimpleTimer* timer) {
  if (!sharedHandler) sharedHandler = std::make_unique<TSimpleTimerHandler>();
  ++sharedHandler->userCount_;
  sharedHandler->timers_.insert(timer);
  return *sharedHandler;
}

void TSimpleTimerHandler::Release(const TSimpleTimer* timer) {
  if (!sharedHandler) return;
  sharedHandler->timers_.erase(timer);
  if (sharedHandler->userCount_ > 0) --sharedHandler->userCount_;
  if (sharedHandler->userCount_ == 0) sharedHandler.reset();
}

void TSimpleTimerHandler::HandleTimerMessage(TMessage& m) {
  if (m.Msg != WM_TIMER) {
    m.Result = window_.Default(m);
    return;
  }
  auto* timer = reinterpret_cast<TSimpleTimer*>(m.WParam);
  if (!timers_.contains(timer)) return;
  if (timer->SingleShot()) timer->StopTimer(true);
  // Nothing touches the timer after its callback: the callback may
  // destroy it.
  if (timer->OnTimer()) {
    const TSimpleTimerEvent callback = timer->OnTimer();
    callback(timer);
  }
}

TSimpleTimer::TSimpleTimer() : TSimpleTimer(1000, nullptr) {}

TSimpleTimer::TSimpleTimer(unsigned interval, TSimpleTimerEvent onTimer)
    : timerId_(reinterpret_cast<UINT_PTR>(this)), interval_(interval) {
  SetOnTimer(std::move(onTimer));
  TSimpleTimerHandler::Acquire(this);
}

TSimpleTimer::~TSimpleTimer() {
  if (enabled_) StopTimer(true);
  TSimpleTimerHandler::Release(this);
}

void TSimpleTimer::SetEnabled(bool value) {
  if (value) StartTimer();
  else StopTimer(true);
}

void TSimpleTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  if (!enabled_) return;
  if (value != 0) StartTimer();
  else StopTimer(false);
}

void TSimpleTimer::SetOnTimer(TSimpleTimerEvent callback) {
  onTimer_ = std::move(callback);
  if (!onTimer_ && enabled_) StopTimer(false);
}

bool TSimpleTimer::StartTimer() {
  if (interval_ == 0) return false;
  if (enabled_) StopTimer(true);
  TSimpleTimerHandler* handler = SimpleTimerHandler();
  if (!SetTimer(handler->WindowHandle(), timerId_, interval_, nullptr)) return false;
  enabled_ = true;
  ++handler->runningCount_;
  return true;
}

bool TSimpleTimer::StopTimer(bool clear) {
  if (clear) enabled_ = false;
  TSimpleTimerHandler* handler = SimpleTimerHandler();
  if (!KillTimer(handler->WindowHandle(), timerId_)) return false;
  if (handler->runningCount_ > 0) --handler->runningCount_;
  return true;
}
