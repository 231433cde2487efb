#pragma once
// The hidden utility window that the simple timers and the tray icons each
// share: an invisible top-level tool window without parent whose messages
// go to an object's window procedure.
#include <windows.h>

#include <functional>

#include "classlib/control.h"

using TWindowMethod = std::function<void(TMessage& message)>;

class THiddenWindow {
public:
  // The method sets the message result; errors it raises go to the
  // application's exception handler.
  explicit THiddenWindow(TWindowMethod method);
  ~THiddenWindow();
  THiddenWindow(const THiddenWindow&) = delete;
  THiddenWindow& operator=(const THiddenWindow&) = delete;

  HWND Handle() const { return handle_; }

private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  TWindowMethod method_;
  HWND handle_ = nullptr;
};
