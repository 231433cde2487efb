#include "classlib/skin_painter.h"

namespace {
TSkinPainter* activeSkin = nullptr;

BOOL CALLBACK RepaintWindow(HWND hwnd, LPARAM) {
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return TRUE;
}
}  // namespace

TSkinPainter* ActiveSkin() { return activeSkin; }

void SetActiveSkin(TSkinPainter* painter) {
  if (painter == activeSkin) return;
  activeSkin = painter;
  EnumThreadWindows(GetCurrentThreadId(), RepaintWindow, 0);
}
