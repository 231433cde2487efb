#include "platform/mixing_renderer/renderer_window.h"

#include <utility>

#include "classlib/gdi.h"

namespace platform {

namespace {
constexpr wchar_t kClassName[] = L"VideoRenderer";
constexpr wchar_t kDefaultCaption[] = L"ActiveMovie Window";
// Asks the owning thread to destroy the window (DestroyWindow works only there).
constexpr UINT kDestroyMessage = WM_APP + 0x100;

bool IsInput(UINT message) {
  return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_KEYFIRST && message <= WM_KEYLAST);
}

void RegisterWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    // Double clicks must arrive as such to be forwarded to the drain.
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
  }();
  (void)registered;  // a failure shows as CreateWindowExW failing
}
}  // namespace

RendererWindow::RendererWindow(std::shared_ptr<VideoPresenter> presenter)
    : presenter_(std::move(presenter)) {}

RendererWindow::~RendererWindow() = default;

std::shared_ptr<RendererWindow> RendererWindow::Create(std::shared_ptr<VideoPresenter> presenter) {
  RegisterWindowClass(&WindowProcedure);
  std::shared_ptr<RendererWindow> window(new RendererWindow(std::move(presenter)));
  // Never shown, so it has no taskbar button either.
  const HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, L"Static", nullptr, WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!owner) return nullptr;
  const HWND handle = CreateWindowExW(0, kClassName, kDefaultCaption,
                                     WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                     CW_USEDEFAULT, CW_USEDEFAULT, 320, 240, owner, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
  if (!handle) {
    DestroyWindow(owner);
    return nullptr;
  }
  window->owner_ = owner;
  window->handle_ = handle;
  window->thread_ = GetCurrentThreadId();
  // The window keeps its object alive until WM_NCDESTROY, whoever lets go first.
  SetWindowLongPtrW(handle, GWLP_USERDATA,
                    reinterpret_cast<LONG_PTR>(new std::shared_ptr<RendererWindow>(window)));
  return window;
}

void RendererWindow::Close() {
  const HWND handle = handle_;
  if (!handle) return;
  if (GetCurrentThreadId() == thread_)
    DestroyWindow(handle);
  else
    PostMessageW(handle, kDestroyMessage, 0, 0);
}

void RendererWindow::SetParentWindow(HWND parent) {
  const HWND handle = handle_;
  if (!handle) return;
  // The style changes before the new parent so the window is never a
  // top-level window inside another.
  const LONG_PTR style = GetWindowLongPtrW(handle, GWL_STYLE);
  if (parent) {
    SetWindowLongPtrW(handle, GWL_STYLE, (style | WS_CHILD) & ~LONG_PTR{WS_POPUP});
    SetParent(handle, parent);
  } else {
    SetParent(handle, nullptr);
    SetWindowLongPtrW(handle, GWL_STYLE, GetWindowLongPtrW(handle, GWL_STYLE) & ~LONG_PTR{WS_CHILD});
    // A top-level window's "parent" slot is its owner.
    SetWindowLongPtrW(handle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner_));
  }
}

void RendererWindow::ShowWithoutActivating() {
  const HWND handle = handle_;
  if (!handle) return;
  if (GetCurrentThreadId() == thread_)
    ShowWindow(handle, SW_SHOWNA);
  else
    ShowWindowAsync(handle, SW_SHOWNA);
}

LRESULT CALLBACK RendererWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  auto* self = reinterpret_cast<std::shared_ptr<RendererWindow>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    const std::shared_ptr<RendererWindow> keep = std::move(*self);
    delete self;
    keep->handle_ = nullptr;
    DestroyWindow(std::exchange(keep->owner_, nullptr));
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return (*self)->HandleMessage(message, wParam, lParam);
}

LRESULT RendererWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND handle = handle_;
  if (IsInput(message)) {
    // Posted, never sent: the drain's thread may be busy with the graph.
    if (HWND drain = drain_) {
      PostMessageW(drain, message, wParam, lParam);
      return 0;
    }
    return DefWindowProcW(handle, message, wParam, lParam);
  }
  switch (message) {
    case kDestroyMessage:
      DestroyWindow(handle);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the picture covers the whole client area
    case WM_PAINT: {
      const TPaintDC paint(handle);
      if (paint.Get()) {
        RECT client;
        GetClientRect(handle, &client);
        presenter_->Paint(paint.Get(), client);
      }
      return 0;
    }
    case WM_SIZE:
      InvalidateRect(handle, nullptr, FALSE);
      break;
    case WM_SETCURSOR:
      if (cursorHidden_ && LOWORD(lParam) == HTCLIENT) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_CLOSE:
      // Closing the video window only hides it; the renderer owns it.
      ShowWindow(handle, SW_HIDE);
      return 0;
  }
  return DefWindowProcW(handle, message, wParam, lParam);
}

}  // namespace platform
