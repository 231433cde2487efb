#include "classlib/application.h"

#include <algorithm>

#include "classlib/exceptions.h"
#include "classlib/form.h"
#include "classlib/sysutils.h"

TApplication* Application = nullptr;

namespace {
// Zero-sized at the screen centre: it is there for the taskbar button.
TMessageWindowStyle ApplicationWindowStyle() {
  return {.style = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
          .parent = nullptr,
          .position = {GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2},
          .cursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW))};
}
}  // namespace

TApplication::TApplication()
    : TComponent(nullptr),
      window_(L"CammonApplication", [this](TMessage& message) { WndProc(message); }, this,
              ApplicationWindowStyle()) {
  Application = this;
}

TApplication::~TApplication() {
  DestroyComponents();
  window_.Destroy();
  if (Application == this) Application = nullptr;
}

void TApplication::SetTitle(std::wstring title) {
  title_ = std::move(title);
  SetWindowTextW(window_.Handle(), title_.c_str());
}

void TApplication::SetIcon(HICON icon) {
  icon_ = icon;
  SendMessageW(window_.Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window_.Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void TApplication::HookMainWindow(const void* key, TWindowHook hook) {
  UnhookMainWindow(key);
  hooks_.emplace_back(key, std::move(hook));
}

void TApplication::UnhookMainWindow(const void* key) {
  std::erase_if(hooks_, [key](const auto& entry) { return entry.first == key; });
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
          !IsIconic(window_.Handle()))
        SetFocus(mainForm_->Handle());
      break;
    case WM_QUERYENDSESSION:
      m.Result = mainForm_ ? mainForm_->CloseQuery() : TRUE;
      return;
  }
  m.Result = DefWindowProcW(window_.Handle(), m.Msg, m.WParam, m.LParam);
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
  if (IsIconic(window_.Handle())) return;
  SetActiveWindow(window_.Handle());
  ShowWindow(window_.Handle(), SW_MINIMIZE);
  // The forms it owns go with it (Wine leaves them on screen otherwise).
  ShowOwnedPopups(window_.Handle(), FALSE);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (!IsIconic(window_.Handle())) return;
  SetActiveWindow(window_.Handle());
  ShowWindow(window_.Handle(), SW_RESTORE);
  ShowOwnedPopups(window_.Handle(), TRUE);
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
  return window_.Handle();
}

int TApplication::ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  const std::wstring& title = caption.empty() ? title_ : caption;
  if (MessageBoxFunction) return MessageBoxFunction(PopupOwner(), text, title, flags);
  return ::MessageBoxW(PopupOwner(), text.c_str(), title.c_str(), flags);
}
