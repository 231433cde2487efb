#pragma once
// The hidden utility window that the simple timers and the tray icons each
// share: an invisible top-level tool window without parent.
#include "classlib/message_window.h"

class THiddenWindow : public TMessageWindow {
public:
  // Errors the method raises go to the application's exception handler.
  explicit THiddenWindow(TWindowMethod method);
};
