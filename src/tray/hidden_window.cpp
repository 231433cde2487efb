#include "tray/hidden_window.h"

// Top-level rather than message-only: the shell's popup menus need a
// window that can be brought to the foreground.
THiddenWindow::THiddenWindow(TWindowMethod method)
    : TMessageWindow(L"CammonHiddenWindow", std::move(method), nullptr,
                     {.style = WS_POPUP, .exStyle = WS_EX_TOOLWINDOW, .parent = nullptr}) {}
