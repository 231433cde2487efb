#pragma once
// A window of our own that carries messages to an object's method: the
// timer's ticks, the graph's event notices, the application's taskbar
// window and the tray's window. Message-only unless told otherwise.
#include <windows.h>

#include <functional>

#include "classlib/control.h"

using TWindowMethod = std::function<void(TMessage& message)>;

struct TMessageWindowStyle {
  DWORD style = 0;
  DWORD exStyle = 0;
  // HWND_MESSAGE: no desktop presence; nullptr: a top-level window.
  HWND parent = HWND_MESSAGE;
  POINT position{};
  HCURSOR cursor = nullptr;
};

class TMessageWindow {
public:
  // Registers the window class on first use. The method sets the message
  // result (Default gives the platform's); what it raises goes to the
  // application's exception handler with `sender` (none: the application).
  TMessageWindow(const wchar_t* className, TWindowMethod method, TComponent* sender = nullptr,
                 const TMessageWindowStyle& style = {});
  // The window goes while the method is still whole: it may see its last
  // messages.
  ~TMessageWindow();
  TMessageWindow(const TMessageWindow&) = delete;
  TMessageWindow& operator=(const TMessageWindow&) = delete;

  HWND Handle() const { return handle_; }
  // The platform's own handling of a message.
  LRESULT Default(const TMessage& message) const;
  // Destroys the window at once; the method sees none of its last messages.
  void Destroy();

private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  TWindowMethod method_;
  TComponent* sender_;
  HWND handle_ = nullptr;
};
