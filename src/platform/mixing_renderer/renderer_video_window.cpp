#include "platform/mixing_renderer/renderer_video_window.h"

#include "platform/mixing_renderer/mixing_renderer.h"
#include "platform/mixing_renderer/renderer_window.h"

namespace platform {

namespace {
// Styles a video window may not take.
constexpr long kRefusedStyles = WS_DISABLED | WS_HSCROLL | WS_VSCROLL | WS_MAXIMIZE | WS_MINIMIZE;
constexpr UINT kPlaceFlags = SWP_NOZORDER | SWP_NOACTIVATE;

bool IsBoolean(long value) { return value == OATRUE || value == OAFALSE; }
}  // namespace

// Every method needs the window, which exists in windowed mode only.
#define REQUIRE_WINDOW(name)                                              \
  const std::shared_ptr<RendererWindow> renderer = filter_.Window();     \
  const HWND name = renderer ? renderer->Handle() : nullptr;             \
  if (!name) return VFW_E_WRONG_STATE

STDMETHODIMP RendererVideoWindow::QueryInterface(REFIID iid, void** object) {
  return filter_.QueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) RendererVideoWindow::AddRef() { return filter_.AddRef(); }
STDMETHODIMP_(ULONG) RendererVideoWindow::Release() { return filter_.Release(); }

STDMETHODIMP RendererVideoWindow::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
STDMETHODIMP RendererVideoWindow::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP RendererVideoWindow::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP RendererVideoWindow::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

STDMETHODIMP RendererVideoWindow::put_Caption(BSTR caption) {
  REQUIRE_WINDOW(window);
  return SetWindowTextW(window, caption ? caption : L"") ? S_OK : E_FAIL;
}

STDMETHODIMP RendererVideoWindow::get_Caption(BSTR* caption) {
  if (!caption) return E_POINTER;
  REQUIRE_WINDOW(window);
  const int length = GetWindowTextLengthW(window);
  *caption = SysAllocStringLen(nullptr, length);
  if (!*caption) return E_OUTOFMEMORY;
  GetWindowTextW(window, *caption, length + 1);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_WindowStyle(long style) {
  if (style & kRefusedStyles) return E_INVALIDARG;
  REQUIRE_WINDOW(window);
  // Visibility stays with put_Visible; the style word does not switch it.
  const LONG_PTR visible = GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE;
  SetWindowLongPtrW(window, GWL_STYLE, (static_cast<LONG_PTR>(style) & ~LONG_PTR{WS_VISIBLE}) | visible);
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | kPlaceFlags);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_WindowStyle(long* style) {
  if (!style) return E_POINTER;
  REQUIRE_WINDOW(window);
  *style = static_cast<long>(GetWindowLongPtrW(window, GWL_STYLE));
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_WindowStyleEx(long style) {
  REQUIRE_WINDOW(window);
  SetWindowLongPtrW(window, GWL_EXSTYLE, static_cast<LONG_PTR>(static_cast<unsigned long>(style)));
  // The top-most bit only takes effect through the Z order.
  const HWND order = (style & WS_EX_TOPMOST) ? HWND_TOPMOST : HWND_NOTOPMOST;
  SetWindowPos(window, order, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_WindowStyleEx(long* style) {
  if (!style) return E_POINTER;
  REQUIRE_WINDOW(window);
  *style = static_cast<long>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  return S_OK;
}

HRESULT RendererVideoWindow::PutFlag(long value, void (RendererWindow::*set)(bool)) {
  if (!IsBoolean(value)) return E_INVALIDARG;
  REQUIRE_WINDOW(window);
  ((*renderer).*set)(value == OATRUE);
  return S_OK;
}

HRESULT RendererVideoWindow::GetFlag(long* value, bool (RendererWindow::*get)() const) const {
  if (!value) return E_POINTER;
  REQUIRE_WINDOW(window);
  *value = ((*renderer).*get)() ? OATRUE : OAFALSE;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_AutoShow(long autoShow) {
  return PutFlag(autoShow, &RendererWindow::SetAutoShow);
}

STDMETHODIMP RendererVideoWindow::get_AutoShow(long* autoShow) {
  return GetFlag(autoShow, &RendererWindow::AutoShow);
}

STDMETHODIMP RendererVideoWindow::put_WindowState(long state) {
  REQUIRE_WINDOW(window);
  ShowWindow(window, state);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_WindowState(long* state) {
  if (!state) return E_POINTER;
  REQUIRE_WINDOW(window);
  const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  *state = !(style & WS_VISIBLE) ? SW_HIDE : IsIconic(window) ? SW_MINIMIZE : IsZoomed(window) ? SW_MAXIMIZE : SW_SHOW;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_BackgroundPalette(long palette) {
  if (!IsBoolean(palette)) return E_INVALIDARG;
  REQUIRE_WINDOW(window);
  backgroundPalette_ = palette;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_BackgroundPalette(long* palette) {
  if (!palette) return E_POINTER;
  REQUIRE_WINDOW(window);
  *palette = backgroundPalette_;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_Visible(long visible) {
  if (!IsBoolean(visible)) return E_INVALIDARG;
  REQUIRE_WINDOW(window);
  ShowWindow(window, visible == OATRUE ? SW_SHOWNA : SW_HIDE);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_Visible(long* visible) {
  if (!visible) return E_POINTER;
  REQUIRE_WINDOW(window);
  *visible = (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) ? OATRUE : OAFALSE;
  return S_OK;
}

RECT RendererVideoWindow::PlacedRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  if (HWND parent = GetAncestor(window, GA_PARENT); parent && parent != GetDesktopWindow())
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

STDMETHODIMP RendererVideoWindow::put_Left(long left) {
  REQUIRE_WINDOW(window);
  const RECT r = PlacedRect(window);
  return SetWindowPosition(left, r.top, r.right - r.left, r.bottom - r.top);
}

STDMETHODIMP RendererVideoWindow::get_Left(long* left) {
  if (!left) return E_POINTER;
  REQUIRE_WINDOW(window);
  *left = PlacedRect(window).left;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_Width(long width) {
  REQUIRE_WINDOW(window);
  const RECT r = PlacedRect(window);
  return SetWindowPosition(r.left, r.top, width, r.bottom - r.top);
}

STDMETHODIMP RendererVideoWindow::get_Width(long* width) {
  if (!width) return E_POINTER;
  REQUIRE_WINDOW(window);
  const RECT r = PlacedRect(window);
  *width = r.right - r.left;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_Top(long top) {
  REQUIRE_WINDOW(window);
  const RECT r = PlacedRect(window);
  return SetWindowPosition(r.left, top, r.right - r.left, r.bottom - r.top);
}

STDMETHODIMP RendererVideoWindow::get_Top(long* top) {
  if (!top) return E_POINTER;
  REQUIRE_WINDOW(window);
  *top = PlacedRect(window).top;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_Height(long height) {
  REQUIRE_WINDOW(window);
  const RECT r = PlacedRect(window);
  return SetWindowPosition(r.left, r.top, r.right - r.left, height);
}

STDMETHODIMP RendererVideoWindow::get_Height(long* height) {
  if (!height) return E_POINTER;
  REQUIRE_WINDOW(window);
  const RECT r = PlacedRect(window);
  *height = r.bottom - r.top;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_Owner(OAHWND owner) {
  const HWND ownerWindow = reinterpret_cast<HWND>(owner);
  if (ownerWindow && !IsWindow(ownerWindow)) return E_INVALIDARG;
  REQUIRE_WINDOW(window);
  renderer->SetParentWindow(ownerWindow);
  owner_ = ownerWindow;
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | kPlaceFlags);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_Owner(OAHWND* owner) {
  if (!owner) return E_POINTER;
  REQUIRE_WINDOW(window);
  *owner = reinterpret_cast<OAHWND>(owner_);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_MessageDrain(OAHWND drain) {
  REQUIRE_WINDOW(window);
  renderer->SetDrain(reinterpret_cast<HWND>(drain));
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_MessageDrain(OAHWND* drain) {
  if (!drain) return E_POINTER;
  REQUIRE_WINDOW(window);
  *drain = reinterpret_cast<OAHWND>(renderer->Drain());
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_BorderColor(long* colour) {
  if (!colour) return E_POINTER;
  *colour = static_cast<long>(filter_.Presenter().BorderColor());
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_BorderColor(long colour) {
  filter_.Presenter().SetBorderColor(static_cast<COLORREF>(colour));
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::get_FullScreenMode(long* mode) {
  if (!mode) return E_POINTER;
  *mode = OAFALSE;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::put_FullScreenMode(long) { return E_NOTIMPL; }

STDMETHODIMP RendererVideoWindow::SetWindowForeground(long focus) {
  if (!IsBoolean(focus)) return E_INVALIDARG;
  REQUIRE_WINDOW(window);
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | (focus == OATRUE ? 0 : SWP_NOACTIVATE));
  if (focus == OATRUE) SetForegroundWindow(window);
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::NotifyOwnerMessage(OAHWND, long message, LONG_PTR, LONG_PTR) {
  REQUIRE_WINDOW(window);
  switch (message) {
    case WM_DISPLAYCHANGE:
    case WM_PALETTECHANGED:
    case WM_QUERYNEWPALETTE:
    case WM_SYSCOLORCHANGE:
    case WM_DEVMODECHANGE:
      InvalidateRect(window, nullptr, FALSE);
      break;
  }
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::SetWindowPosition(long left, long top, long width, long height) {
  if (width < 0 || height < 0) return E_INVALIDARG;
  REQUIRE_WINDOW(window);
  return SetWindowPos(window, nullptr, left, top, width, height, kPlaceFlags) ? S_OK : E_FAIL;
}

STDMETHODIMP RendererVideoWindow::GetWindowPosition(long* left, long* top, long* width, long* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  REQUIRE_WINDOW(window);
  const RECT r = PlacedRect(window);
  *left = r.left;
  *top = r.top;
  *width = r.right - r.left;
  *height = r.bottom - r.top;
  return S_OK;
}

HRESULT RendererVideoWindow::NativeSize(long* width, long* height) const {
  if (!width || !height) return E_POINTER;
  const std::optional<VideoFormat> format = filter_.Presenter().Format();
  if (!format) return VFW_E_NOT_CONNECTED;
  *width = format->width;
  *height = format->height;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::GetMinIdealImageSize(long* width, long* height) {
  return NativeSize(width, height);
}

STDMETHODIMP RendererVideoWindow::GetMaxIdealImageSize(long* width, long* height) {
  return NativeSize(width, height);
}

STDMETHODIMP RendererVideoWindow::GetRestorePosition(long* left, long* top, long* width, long* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  REQUIRE_WINDOW(window);
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (!GetWindowPlacement(window, &placement)) return E_FAIL;
  const RECT& r = placement.rcNormalPosition;
  *left = r.left;
  *top = r.top;
  *width = r.right - r.left;
  *height = r.bottom - r.top;
  return S_OK;
}

STDMETHODIMP RendererVideoWindow::HideCursor(long hide) {
  return PutFlag(hide, &RendererWindow::SetCursorHidden);
}

STDMETHODIMP RendererVideoWindow::IsCursorHidden(long* hidden) {
  return GetFlag(hidden, &RendererWindow::CursorHidden);
}

}  // namespace platform
