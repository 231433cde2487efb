#pragma once
// IVideoWindow of the mixing renderer: caption, styles, owner, position,
// visibility and message drain of its own window. A part of the filter:
// AddRef and Release go to the filter. Called on the window's thread.
#include <windows.h>
#include <dshow.h>

namespace platform {

class MixingRenderer;
class RendererWindow;

class RendererVideoWindow final : public IVideoWindow {
public:
  // Interface map: IUnknown, IDispatch and IVideoWindow answered by the filter.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch: no type information, as automation is not offered.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                      VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

  STDMETHODIMP put_Caption(BSTR caption) override;
  STDMETHODIMP get_Caption(BSTR* caption) override;
  STDMETHODIMP put_WindowStyle(long style) override;
  STDMETHODIMP get_WindowStyle(long* style) override;
  STDMETHODIMP put_WindowStyleEx(long style) override;
  STDMETHODIMP get_WindowStyleEx(long* style) override;
  STDMETHODIMP put_AutoShow(long autoShow) override;
  STDMETHODIMP get_AutoShow(long* autoShow) override;
  STDMETHODIMP put_WindowState(long state) override;
  STDMETHODIMP get_WindowState(long* state) override;
  STDMETHODIMP put_BackgroundPalette(long palette) override;
  STDMETHODIMP get_BackgroundPalette(long* palette) override;
  STDMETHODIMP put_Visible(long visible) override;
  STDMETHODIMP get_Visible(long* visible) override;
  STDMETHODIMP put_Left(long left) override;
  STDMETHODIMP get_Left(long* left) override;
  STDMETHODIMP put_Width(long width) override;
  STDMETHODIMP get_Width(long* width) override;
  STDMETHODIMP put_Top(long top) override;
  STDMETHODIMP get_Top(long* top) override;
  STDMETHODIMP put_Height(long height) override;
  STDMETHODIMP get_Height(long* height) override;
  STDMETHODIMP put_Owner(OAHWND owner) override;
  STDMETHODIMP get_Owner(OAHWND* owner) override;
  STDMETHODIMP put_MessageDrain(OAHWND drain) override;
  STDMETHODIMP get_MessageDrain(OAHWND* drain) override;
  STDMETHODIMP get_BorderColor(long* colour) override;
  STDMETHODIMP put_BorderColor(long colour) override;
  // Full-screen mode is left to the caller (it stretches the window itself).
  STDMETHODIMP get_FullScreenMode(long* mode) override;
  STDMETHODIMP put_FullScreenMode(long mode) override;
  STDMETHODIMP SetWindowForeground(long focus) override;
  STDMETHODIMP NotifyOwnerMessage(OAHWND window, long message, LONG_PTR wParam, LONG_PTR lParam) override;
  STDMETHODIMP SetWindowPosition(long left, long top, long width, long height) override;
  STDMETHODIMP GetWindowPosition(long* left, long* top, long* width, long* height) override;
  STDMETHODIMP GetMinIdealImageSize(long* width, long* height) override;
  STDMETHODIMP GetMaxIdealImageSize(long* width, long* height) override;
  STDMETHODIMP GetRestorePosition(long* left, long* top, long* width, long* height) override;
  STDMETHODIMP HideCursor(long hide) override;
  STDMETHODIMP IsCursorHidden(long* hidden) override;

  explicit RendererVideoWindow(MixingRenderer& filter) : filter_(filter) {}

private:
  // The window's rectangle in its parent's client coordinates (screen when top-level).
  static RECT PlacedRect(HWND window);
  HRESULT NativeSize(long* width, long* height) const;
  // A yes/no setting kept by the window, as OATRUE/OAFALSE.
  HRESULT PutFlag(long value, void (RendererWindow::*set)(bool));
  HRESULT GetFlag(long* value, bool (RendererWindow::*get)() const) const;

  MixingRenderer& filter_;
  HWND owner_ = nullptr;
  long backgroundPalette_ = OAFALSE;
};

}  // namespace platform
