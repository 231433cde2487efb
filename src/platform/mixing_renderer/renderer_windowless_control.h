#pragma once
// IVMRWindowlessControl9 of the mixing renderer: in windowless mode it
// draws into the application's clipping window at the video position. A
// part of the filter: AddRef and Release go to the filter.
#include <windows.h>
#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>

namespace platform {

class MixingRenderer;

class RendererWindowlessControl final : public IVMRWindowlessControl9 {
public:
  // Interface map: IUnknown and IVMRWindowlessControl9 answered by the filter.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetNativeVideoSize(LONG* width, LONG* height, LONG* aspectWidth, LONG* aspectHeight) override;
  STDMETHODIMP GetMinIdealVideoSize(LONG* width, LONG* height) override;
  STDMETHODIMP GetMaxIdealVideoSize(LONG* width, LONG* height) override;
  STDMETHODIMP SetVideoPosition(const RECT* source, const RECT* destination) override;
  STDMETHODIMP GetVideoPosition(RECT* source, RECT* destination) override;
  STDMETHODIMP GetAspectRatioMode(DWORD* mode) override;
  STDMETHODIMP SetAspectRatioMode(DWORD mode) override;
  STDMETHODIMP SetVideoClippingWindow(HWND window) override;
  STDMETHODIMP RepaintVideo(HWND window, HDC dc) override;
  STDMETHODIMP DisplayModeChanged() override;
  // The current picture, overlay included, as a packed DIB in task memory.
  STDMETHODIMP GetCurrentImage(BYTE** dib) override;
  STDMETHODIMP SetBorderColor(COLORREF colour) override;
  STDMETHODIMP GetBorderColor(COLORREF* colour) override;

  explicit RendererWindowlessControl(MixingRenderer& filter) : filter_(filter) {}

private:
  bool Windowless() const;

  MixingRenderer& filter_;
};

}  // namespace platform
