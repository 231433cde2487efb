#pragma once
// The program's own video mixing renderer, used in place of the platform's
// VMR-9 under Wine: Wine 8's VMR-9 draws nothing once its window is made a
// child of a control, and its IVMRMixerBitmap9 methods return E_NOTIMPL.
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
#include <string>

#include "platform/mixing_renderer/mixing_renderer_pin.h"
#include "platform/mixing_renderer/renderer_video_window.h"
#include "platform/mixing_renderer/renderer_windowless_control.h"
#include "platform/mixing_renderer/video_presenter.h"

namespace platform {

class RendererWindow;

// Creates the renderer on the calling thread, which owns its window.
HRESULT CreateMixingRenderer(REFIID iid, void** object);

class MixingRenderer final : public IBaseFilter,
                             public IAMFilterMiscFlags,
                             public IQualProp,
                             public IVMRFilterConfig9,
                             public IVMRAspectRatioControl9,
                             public IVMRMixerBitmap9 {
public:
  // Interface map:
  //   IUnknown, IPersist, IMediaFilter, IBaseFilter     this
  //   IAMFilterMiscFlags, IQualProp                      this
  //   IVMRFilterConfig9, IVMRAspectRatioControl9         this
  //   IVMRMixerBitmap9                                   this
  //   IVideoWindow                                       videoWindow_
  //   IVMRWindowlessControl9                             windowless_
  // The input pin (IPin, IMemInputPin) is reached through EnumPins/FindPin.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPersist, IMediaFilter, IBaseFilter
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD milliseconds, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

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
  bool IsStopped() const;
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

private:
  friend HRESULT CreateMixingRenderer(REFIID iid, void** object);
  MixingRenderer();
  ~MixingRenderer();
  // Draws the sample into the current target; false when it does not fit the format.
  bool Draw(IMediaSample* sample);
  void Notify(long code, LONG_PTR first, LONG_PTR second);

  std::atomic<ULONG> references_{1};
  std::shared_ptr<VideoPresenter> presenter_;
  MixingRendererPin pin_;
  RendererVideoWindow videoWindow_;
  RendererWindowlessControl windowless_;
  std::atomic<HWND> clippingWindow_{nullptr};

  // Guards everything below; the streaming thread waits on `changed_`.
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  FILTER_STATE state_ = State_Stopped;
  REFERENCE_TIME start_ = 0;
  // Bumped by stop and flush so a waiting Receive knows its frame is stale.
  std::uint64_t epoch_ = 0;
  bool flushing_ = false;
  bool endOfStream_ = false;
  bool completeSent_ = false;
  bool prerolled_ = false;
  bool deviceAnnounced_ = false;
  Microsoft::WRL::ComPtr<IReferenceClock> clock_;
  // Not counted: the graph owns its filters, a reference back would keep it alive.
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* events_ = nullptr;
  std::wstring name_;
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
