#include "tray/hidden_window.h"

#include "classlib/application.h"
#include "classlib/exceptions.h"

namespace {
const wchar_t kHiddenWindowClass[] = L"CammonHiddenWindow";
}

THiddenWindow::THiddenWindow(TWindowMethod method) : method_(std::move(method)) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), kHiddenWindowClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHiddenWindowClass;
    if (!RegisterClassExW(&wc)) RaiseLastOSError(L"RegisterClassEx");
  }
  // Top-level rather than message-only: the shell's popup menus need a
  // window that can be brought to the foreground.
  handle_ = CreateWindowExW(WS_EX_TOOLWINDOW, kHiddenWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                            nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!handle_) RaiseLastOSError(L"CreateWindowEx");
}

THiddenWindow::~THiddenWindow() {
  // The window goes while the method is still whole: it may see its last
  // messages.
  DestroyWindow(handle_);
}

LRESULT CALLBACK THiddenWindow::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<THiddenWindow*>(create->lpCreateParams)->handle_ = hwnd;
  }
  auto* self = reinterpret_cast<THiddenWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->method_) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  TMessage message{msg, wParam, lParam, 0};
  // A copy: the method may destroy this window and its object.
  const TWindowMethod method = self->method_;
  try {
    method(message);
  } catch (...) {
    if (Application) Application->HandleException(Application);
  }
  return message.Result;
}
