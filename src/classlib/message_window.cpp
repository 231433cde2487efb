#include "classlib/message_window.h"

#include "classlib/application.h"
#include "classlib/exceptions.h"

namespace {
void RegisterWindowClass(const wchar_t* className, WNDPROC procedure, HCURSOR cursor) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), className, &wc)) return;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = cursor;
  wc.lpszClassName = className;
  if (!RegisterClassExW(&wc)) RaiseLastOSError(L"RegisterClassEx");
}
}  // namespace

TMessageWindow::TMessageWindow(const wchar_t* className, TWindowMethod method, TComponent* sender,
                               const TMessageWindowStyle& style)
    : method_(std::move(method)), sender_(sender) {
  RegisterWindowClass(className, StaticWndProc, style.cursor);
  handle_ = CreateWindowExW(style.exStyle, className, L"", style.style, style.position.x,
                            style.position.y, 0, 0, style.parent, nullptr,
                            GetModuleHandleW(nullptr), this);
  if (!handle_) RaiseLastOSError(L"CreateWindowEx");
}

TMessageWindow::~TMessageWindow() {
  if (handle_) DestroyWindow(handle_);
}

LRESULT TMessageWindow::Default(const TMessage& message) const {
  return DefWindowProcW(handle_, message.Msg, message.WParam, message.LParam);
}

void TMessageWindow::Destroy() {
  if (!handle_) return;
  SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
  DestroyWindow(handle_);
  handle_ = nullptr;
}

LRESULT CALLBACK TMessageWindow::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<TMessageWindow*>(create->lpCreateParams)->handle_ = hwnd;
  }
  auto* self = reinterpret_cast<TMessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self || !self->method_) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  TMessage message{msg, wParam, lParam, 0};
  // Copies: the method may destroy this window and its object.
  const TWindowMethod method = self->method_;
  TComponent* const sender = self->sender_;
  try {
    method(message);
  } catch (...) {
    if (Application) Application->HandleException(sender ? sender : Application);
  }
  return message.Result;
}
