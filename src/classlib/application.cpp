#include "classlib/application.h"

#include <algorithm>

#include "classlib/exceptions.h"
#include "classlib/form.h"
#include "classlib/sysutils.h"

TApplication* Application = nullptr;

namespace {
const wchar_t kApplicationClass[] = L"CammonApplication";
}

TApplication::TApplication() : TComponent(nullptr) {
  Application = this;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), kApplicationClass, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kApplicationClass;
    if (!RegisterClassExW(&wc)) RaiseLastOSError(L"RegisterClassEx");
  }
  // Zero-sized at the screen centre: it is there for the taskbar button.
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
  handle_ = CreateWindowExW(0, kApplicationClass, L"",
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            x, y, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!handle_) RaiseLastOSError(L"CreateWindowEx");
}

TApplication::~TApplication() {
  DestroyComponents();
  if (handle_) {
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
  if (Application == this) Application = nullptr;
}

void TApplication::SetTitle(std::wstring title) {
  title_ = std::move(title);
  SetWindowTextW(handle_, title_.c_str());
}

void TApplication::SetIcon(HICON icon) {
  icon_ = icon;
  SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void TApplication::HookMainWindow(const void* key, TWindowHook hook) {
  UnhookMainWindow(key);
  hooks_.emplace_back(key, std::move(hook));
}

void TApplication::UnhookMainWindow(const void* key) {
  std::erase_if(hooks_, [key](const auto& entry) { return entry.first == key; });
}

LRESULT CALLBACK TApplication::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<TApplication*>(create->lpCreateParams)->handle_ = hwnd;
  }
  auto* app = reinterpret_cast<TApplication*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!app) return DefWindowProcW(hwnd, msg, wParam, lParam);
  TMessage message{msg, wParam, lParam, 0};
  try {
    app->WndProc(message);
  } catch (...) {
    app->HandleException(app);
  }
  return message.Result;
}

void TApplication::WndProc(TMessage& m) {
  // The newest hook sees the message first.
  const auto hooks = hooks_;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
    if (it->second(m)) return;
  switch (m.Msg) {
    case WM_SYSCOMMAND:
      switch (m.WParam & 0xFFF0) {
        case SC_MINIMIZE: Minimize(); return;
        case SC_RESTORE: Restore(); return;
      }
      break;
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return;
    case WM_ACTIVATE:
      // Activation of the application window passes to the main form.
      if (LOWORD(m.WParam) != WA_INACTIVE && mainForm_ && mainForm_->HandleAllocated() &&
          IsWindowVisible(mainForm_->Handle()) && IsWindowEnabled(mainForm_->Handle()) &&
          !IsIconic(handle_))
        SetFocus(mainForm_->Handle());
      break;
    case WM_QUERYENDSESSION:
      m.Result = mainForm_ ? mainForm_->CloseQuery() : TRUE;
      return;
  }
  m.Result = DefWindowProcW(handle_, m.Msg, m.WParam, m.LParam);
}

void TApplication::Run() {
  if (mainForm_ && showMainForm_) mainForm_->Show();
  while (!terminated_) HandleMessage();
}

bool TApplication::HandleMessage() {
  MSG msg;
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    terminated_ = true;
    return false;
  }
  DispatchOne(msg);
  return !terminated_;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      return;
    }
    DispatchOne(msg);
  }
}

void TApplication::DispatchOne(MSG& msg) {
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::Minimize() {
  if (IsIconic(handle_)) return;
  SetActiveWindow(handle_);
  ShowWindow(handle_, SW_MINIMIZE);
  // The forms it owns go with it (Wine leaves them on screen otherwise).
  ShowOwnedPopups(handle_, FALSE);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (!IsIconic(handle_)) return;
  SetActiveWindow(handle_);
  ShowWindow(handle_, SW_RESTORE);
  ShowOwnedPopups(handle_, TRUE);
  if (mainForm_ && mainForm_->HandleAllocated() && mainForm_->Visible())
    SetActiveWindow(mainForm_->Handle());
  if (OnRestore) OnRestore(this);
}

std::wstring ErrorBoxText(const std::wstring& message) {
  if (!message.empty() && message.back() > L'.') return message + L".";
  return message;
}

std::wstring CurrentExceptionMessage() {
  try {
    throw;
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return Utf8ToWide(e.what());
  } catch (...) {
    return L"Unknown error";
  }
}

void TApplication::HandleException(TComponent* sender) {
  const std::wstring message = CurrentExceptionMessage();
  if (OnException) {
    OnException(sender, message);
    return;
  }
  ShowException(message);
}

void TApplication::ShowException(const std::wstring& message) {
  ShowMessageBox(ErrorBoxText(message), title_, MB_OK | MB_ICONERROR);
}

HWND TApplication::PopupOwner() const {
  if (!modalForms_.empty() && modalForms_.back()->HandleAllocated())
    return modalForms_.back()->Handle();
  if (mainForm_ && mainForm_->HandleAllocated() && mainForm_->Visible()) return mainForm_->Handle();
  return handle_;
}

int TApplication::ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  const std::wstring& title = caption.empty() ? title_ : caption;
  if (MessageBoxFunction) return MessageBoxFunction(PopupOwner(), text, title, flags);
  return ::MessageBoxW(PopupOwner(), text.c_str(), title.c_str(), flags);
}
