#pragma once
// The application object: title, main form, the hidden application window
// that carries the taskbar button (top-level forms are owned by it), the
// hook list for that window's messages, the message loop and the exception
// handler with the standard error box.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "classlib/component.h"
#include "classlib/control.h"
#include "classlib/message_window.h"

class TForm;

// A hook sees every message of the application window first; returning
// true means it has handled the message (Result is returned).
using TWindowHook = std::function<bool(TMessage& message)>;
using TExceptionEvent = std::function<void(TComponent* sender, const std::wstring& message)>;
using TMessageBoxFunction =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)>;

class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;

  HWND Handle() const { return window_.Handle(); }
  const std::wstring& Title() const { return title_; }
  void SetTitle(std::wstring title);
  HICON Icon() const { return icon_; }
  void SetIcon(HICON icon);

  TForm* MainForm() const { return mainForm_; }
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool value) { showMainForm_ = value; }
  bool Terminated() const { return terminated_; }

  // Creates a form owned by the application; the first one becomes the
  // main form. `reference` is set before the creation handler runs.
  template <class T>
  void CreateForm(T*& reference) {
    T* form = new T(this);
    reference = form;
    form->AfterConstruction();
    if (!mainForm_) SetMainForm(form);
  }
  void SetMainForm(TForm* form) { mainForm_ = form; }

  // Installs a hook under a key (its owner); a second hook with the same key
  // replaces the first.
  void HookMainWindow(const void* key, TWindowHook hook);
  void UnhookMainWindow(const void* key);

  void Run();
  // Handles every waiting message, then returns.
  void ProcessMessages();
  // Handles one message, waiting for it; false once the loop should end.
  bool HandleMessage();
  void Terminate();
  void Minimize();
  void Restore();

  // Called inside a catch block: runs OnException, or shows the standard
  // error box for the exception being handled.
  void HandleException(TComponent* sender);
  void ShowException(const std::wstring& message);
  // A message box captioned with the title unless `caption` is given.
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, UINT flags);
  // The window that owns popup menus and message boxes.
  HWND PopupOwner() const;

  TExceptionEvent OnException;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  // Replaced by tests to answer message boxes without a desktop.
  TMessageBoxFunction MessageBoxFunction;

  // Modal loops register here so a nested loop knows who is modal.
  void PushModal(TForm* form) { modalForms_.push_back(form); }
  void PopModal() { modalForms_.pop_back(); }

private:
  void WndProc(TMessage& message);
  void DispatchOne(MSG& msg);

  std::wstring title_;
  HICON icon_ = nullptr;
  TForm* mainForm_ = nullptr;
  bool showMainForm_ = true;
  bool terminated_ = false;
  std::vector<std::pair<const void*, TWindowHook>> hooks_;
  std::vector<TForm*> modalForms_;
  // Last: its method uses everything above.
  TMessageWindow window_;
};

// The text the standard error box shows for an error message: "." appended
// when the last character sorts above ".".
std::wstring ErrorBoxText(const std::wstring& message);
// The message of the exception being handled (call inside a catch block).
std::wstring CurrentExceptionMessage();

extern TApplication* Application;
