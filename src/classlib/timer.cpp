#include "classlib/timer.h"

#include "classlib/application.h"
#include "classlib/exceptions.h"

namespace {
const wchar_t kTimerClass[] = L"CammonTimer";
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), kTimerClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kTimerClass;
    RegisterClassExW(&wc);
  }
  window_ = CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  if (!window_) RaiseLastOSError(L"CreateWindowEx");
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TTimer::~TTimer() {
  KillTimer(window_, 1);
  DestroyWindow(window_);
}

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
  KillTimer(window_, 1);
  if (Loading()) return;
  // Runs whether or not OnTimer is set yet: the handler may be assigned
  // after Enabled and Interval, and is looked up at every tick.
  if (enabled_ && interval_ != 0) SetTimer(window_, 1, interval_, nullptr);
}

LRESULT CALLBACK TTimer::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_TIMER) return DefWindowProcW(hwnd, msg, wParam, lParam);
  auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (timer && timer->OnTimer) {
    try {
      timer->OnTimer(timer);
    } catch (...) {
      if (Application) Application->HandleException(timer);
    }
  }
  return 0;
}
