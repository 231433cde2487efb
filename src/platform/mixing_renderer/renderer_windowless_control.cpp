#include "platform/mixing_renderer/renderer_windowless_control.h"

#include <cstring>

#include "platform/mixing_renderer/mixing_renderer.h"

namespace platform {

STDMETHODIMP RendererWindowlessControl::QueryInterface(REFIID iid, void** object) {
  return filter_.QueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) RendererWindowlessControl::AddRef() { return filter_.AddRef(); }
STDMETHODIMP_(ULONG) RendererWindowlessControl::Release() { return filter_.Release(); }

bool RendererWindowlessControl::Windowless() const {
  return filter_.RenderingMode() == VMR9Mode_Windowless;
}

STDMETHODIMP RendererWindowlessControl::GetNativeVideoSize(LONG* width, LONG* height, LONG* aspectWidth,
                                                          LONG* aspectHeight) {
  if (!width && !height && !aspectWidth && !aspectHeight) return E_POINTER;
  const std::optional<VideoFormat> format = filter_.Presenter().Format();
  if (!format) return VFW_E_NOT_CONNECTED;
  // Square pixels: the aspect ratio is the picture's own.
  if (width) *width = format->width;
  if (height) *height = format->height;
  if (aspectWidth) *aspectWidth = format->width;
  if (aspectHeight) *aspectHeight = format->height;
  return S_OK;
}

STDMETHODIMP RendererWindowlessControl::GetMinIdealVideoSize(LONG* width, LONG* height) {
  if (!width || !height) return E_POINTER;
  return GetNativeVideoSize(width, height, nullptr, nullptr);
}

STDMETHODIMP RendererWindowlessControl::GetMaxIdealVideoSize(LONG* width, LONG* height) {
  if (!width || !height) return E_POINTER;
  return GetNativeVideoSize(width, height, nullptr, nullptr);
}

STDMETHODIMP RendererWindowlessControl::SetVideoPosition(const RECT* source, const RECT* destination) {
  if (!source && !destination) return E_POINTER;
  if (!Windowless()) return VFW_E_WRONG_STATE;
  RECT currentSource, currentDestination;
  filter_.Presenter().VideoPosition(currentSource, currentDestination);
  filter_.Presenter().SetVideoPosition(source ? *source : currentSource,
                                       destination ? *destination : currentDestination);
  return S_OK;
}

STDMETHODIMP RendererWindowlessControl::GetVideoPosition(RECT* source, RECT* destination) {
  if (!source && !destination) return E_POINTER;
  if (!Windowless()) return VFW_E_WRONG_STATE;
  RECT currentSource, currentDestination;
  filter_.Presenter().VideoPosition(currentSource, currentDestination);
  if (source) *source = currentSource;
  if (destination) *destination = currentDestination;
  return S_OK;
}

STDMETHODIMP RendererWindowlessControl::GetAspectRatioMode(DWORD* mode) {
  return filter_.GetAspectRatioMode(mode);
}

STDMETHODIMP RendererWindowlessControl::SetAspectRatioMode(DWORD mode) {
  return filter_.SetAspectRatioMode(mode);
}

STDMETHODIMP RendererWindowlessControl::SetVideoClippingWindow(HWND window) {
  if (!Windowless()) return VFW_E_WRONG_STATE;
  if (!IsWindow(window)) return E_INVALIDARG;
  filter_.SetClippingWindow(window);
  return S_OK;
}

STDMETHODIMP RendererWindowlessControl::RepaintVideo(HWND window, HDC dc) {
  if (!dc) return E_POINTER;
  if (!Windowless()) return VFW_E_WRONG_STATE;
  RECT client{};
  if (window) GetClientRect(window, &client);
  filter_.Presenter().Paint(dc, client);
  return S_OK;
}

STDMETHODIMP RendererWindowlessControl::DisplayModeChanged() {
  return Windowless() ? S_OK : VFW_E_WRONG_STATE;  // GDI drawing needs no new surface
}

STDMETHODIMP RendererWindowlessControl::GetCurrentImage(BYTE** dib) {
  if (!dib) return E_POINTER;
  *dib = nullptr;
  const std::vector<BYTE> image = filter_.Presenter().CurrentImage();
  if (image.empty()) return E_FAIL;
  *dib = static_cast<BYTE*>(CoTaskMemAlloc(image.size()));
  if (!*dib) return E_OUTOFMEMORY;
  std::memcpy(*dib, image.data(), image.size());
  return S_OK;
}

STDMETHODIMP RendererWindowlessControl::SetBorderColor(COLORREF colour) {
  filter_.Presenter().SetBorderColor(colour);
  return S_OK;
}

STDMETHODIMP RendererWindowlessControl::GetBorderColor(COLORREF* colour) {
  if (!colour) return E_POINTER;
  *colour = filter_.Presenter().BorderColor();
  return S_OK;
}

}  // namespace platform
