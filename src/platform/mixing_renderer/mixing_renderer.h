#pragma once
// The program's own video mixing renderer, used in place of the platform's
// VMR-9 (and of the classic video renderer) under Wine: Wine 8's VMR-9 draws
// nothing once its window is made a child of a control, and its
// IVMRMixerBitmap9 methods return E_NOTIMPL.
// It behaves as the video window and the overlay rely on: windowed and
// windowless modes, IVideoWindow, the VMR-9 configuration interfaces and an
// alpha bitmap blended over every frame, drawn with GDI.
#include <windows.h>
#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>
#include <wrl/client.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dshow/com_object.h"
#include "platform/dshow/filter_base.h"
#include "platform/mixing_renderer/mixing_renderer_pin.h"
#include "platform/mixing_renderer/renderer_video_window.h"
#include "platform/mixing_renderer/renderer_windowless_control.h"
#include "platform/mixing_renderer/video_presenter.h"

// MinGW declares IQualProp without binding its IID to the type.
__CRT_UUID_DECL(IQualProp, 0x1bd0ecb0, 0xf8e2, 0x11ce, 0xaa, 0xc6, 0x00, 0x20, 0xaf, 0x0b, 0x99, 0xa3)

namespace platform {

class RendererWindow;

// Create the renderer on the calling thread, which owns its window. Under
// Wine it stands in for the VMR-9 and for the classic video renderer, whose
// own window Wine makes top-level and unowned, with a taskbar button.
HRESULT CreateMixingRenderer(REFIID iid, void** object);
HRESULT CreateVideoRenderer(REFIID iid, void** object);

class MixingRenderer final
    : public dshow::ComObject<MixingRenderer, dshow::FilterBase, IAMFilterMiscFlags, IQualProp,
                              IVMRFilterConfig9, IVMRAspectRatioControl9, IVMRMixerBitmap9> {
public:
  // IVideoWindow and IVMRWindowlessControl9 are parts of their own; the
  // input pin (IPin, IMemInputPin) is reached through EnumPins/FindPin.
  HRESULT QueryOther(REFIID iid, void** object);

  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  // Paused without a picture yet, the transition completes with the first frame.
  STDMETHODIMP GetState(DWORD milliseconds, FILTER_STATE* state) override;

  // IAMFilterMiscFlags
  STDMETHODIMP_(ULONG) GetMiscFlags() override;

  // IQualProp: frames drawn and dropped since the last stop.
  STDMETHODIMP get_FramesDroppedInRenderer(int* frames) override;
  STDMETHODIMP get_FramesDrawn(int* frames) override;
  STDMETHODIMP get_AvgFrameRate(int* rate) override;
  STDMETHODIMP get_Jitter(int* jitter) override;
  STDMETHODIMP get_AvgSyncOffset(int* offset) override;
  STDMETHODIMP get_DevSyncOffset(int* deviation) override;

  // IVMRFilterConfig9
  STDMETHODIMP SetImageCompositor(IVMRImageCompositor9* compositor) override;
  STDMETHODIMP SetNumberOfStreams(DWORD streams) override;
  STDMETHODIMP GetNumberOfStreams(DWORD* streams) override;
  STDMETHODIMP SetRenderingPrefs(DWORD preferences) override;
  STDMETHODIMP GetRenderingPrefs(DWORD* preferences) override;
  STDMETHODIMP SetRenderingMode(DWORD mode) override;
  STDMETHODIMP GetRenderingMode(DWORD* mode) override;

  // IVMRAspectRatioControl9 (shared with the windowless control)
  STDMETHODIMP GetAspectRatioMode(DWORD* mode) override;
  STDMETHODIMP SetAspectRatioMode(DWORD mode) override;

  // IVMRMixerBitmap9
  STDMETHODIMP SetAlphaBitmap(const VMR9AlphaBitmap* bitmap) override;
  STDMETHODIMP UpdateAlphaBitmapParameters(const VMR9AlphaBitmap* bitmap) override;
  STDMETHODIMP GetAlphaBitmapParameters(VMR9AlphaBitmap* bitmap) override;

  // For the pin. Receive, EndOfStream and the flush calls come on the
  // streaming thread.
  void OnConnected(const VideoFormat& format);
  void OnDisconnected();
  HRESULT Receive(IMediaSample* sample);
  HRESULT EndOfStream();
  HRESULT BeginFlush();
  HRESULT EndFlush();

  // For the window control parts.
  std::shared_ptr<RendererWindow> Window() const;
  VideoPresenter& Presenter() { return *presenter_; }
  DWORD RenderingMode() const;
  // The reference time the graph last ran from: a sample stamped t is due at
  // StreamStart() + t on the graph's clock.
  REFERENCE_TIME StreamStart() const;
  void SetClippingWindow(HWND window) { clippingWindow_ = window; }

  // `clsid`: the class it stands in for, as GetClassID reports it.
  explicit MixingRenderer(REFCLSID clsid);
  ~MixingRenderer();

private:
  // Draws the sample into the current target; false when it does not fit the format.
  bool Draw(IMediaSample* sample);
  std::vector<dshow::ComPtr<IPin>> Pins() override;

  std::shared_ptr<VideoPresenter> presenter_;
  MixingRendererPin pin_;
  RendererVideoWindow videoWindow_;
  RendererWindowlessControl windowless_;
  std::atomic<HWND> clippingWindow_{nullptr};

  // Everything below is under stateLock_; the streaming thread waits on `changed_`.
  std::condition_variable changed_;
  REFERENCE_TIME start_ = 0;
  // Bumped by stop and flush so a waiting Receive knows its frame is stale.
  std::uint64_t epoch_ = 0;
  bool flushing_ = false;
  bool endOfStream_ = false;
  bool completeSent_ = false;
  bool prerolled_ = false;
  bool deviceAnnounced_ = false;
  DWORD renderingMode_ = VMR9Mode_Windowed;
  DWORD streams_ = 0;  // 0: not in mixing mode yet
  DWORD renderingPrefs_ = 0;
  std::shared_ptr<RendererWindow> window_;

  std::atomic<int> drawn_{0};
  std::atomic<int> dropped_{0};
  std::atomic<REFERENCE_TIME> firstDrawn_{0};
  std::atomic<REFERENCE_TIME> lastDrawn_{0};
};

}  // namespace platform
