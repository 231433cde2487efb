#include "platform/mixing_renderer/mixing_renderer.h"

#include <evcode.h>
#include <uuids.h>

#include <chrono>
#include <cwchar>
#include <new>

#include "platform/dshow/pin_enumerator.h"
#include "platform/mixing_renderer/renderer_window.h"

namespace platform {

using Microsoft::WRL::ComPtr;

namespace {
constexpr wchar_t kPinName[] = L"VMR Input0";
// The render-device event's first parameter: drawing goes through system memory.
constexpr LONG_PTR kRenderDeviceSystemMemory = 0x04;
// A frame later than this past its end is not worth drawing.
constexpr REFERENCE_TIME kLateTolerance = 30 * 10000;
constexpr DWORD kMaxStreams = 16;

std::chrono::steady_clock::duration FromReferenceTime(REFERENCE_TIME time) {
  return std::chrono::microseconds(time / 10);
}
}  // namespace

HRESULT CreateMixingRenderer(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<IBaseFilter> filter;
  // Adopts the new object's first reference (MinGW's ComPtr::Attach would add one).
  *filter.GetAddressOf() = new (std::nothrow) MixingRenderer();
  if (!filter) return E_OUTOFMEMORY;
  return filter.CopyTo(iid, object);
}

MixingRenderer::MixingRenderer()
    : presenter_(std::make_shared<VideoPresenter>()),
      pin_(*this),
      videoWindow_(*this),
      windowless_(*this),
      window_(RendererWindow::Create(presenter_)) {}

MixingRenderer::~MixingRenderer() {
  if (window_) window_->Close();
}

STDMETHODIMP MixingRenderer::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IPersist) || iid == __uuidof(IMediaFilter) ||
      iid == __uuidof(IBaseFilter))
    *object = static_cast<IBaseFilter*>(this);
  else if (iid == __uuidof(IAMFilterMiscFlags))
    *object = static_cast<IAMFilterMiscFlags*>(this);
  else if (iid == IID_IQualProp)
    *object = static_cast<IQualProp*>(this);
  else if (iid == __uuidof(IVMRFilterConfig9))
    *object = static_cast<IVMRFilterConfig9*>(this);
  else if (iid == __uuidof(IVMRAspectRatioControl9))
    *object = static_cast<IVMRAspectRatioControl9*>(this);
  else if (iid == __uuidof(IVMRMixerBitmap9))
    *object = static_cast<IVMRMixerBitmap9*>(this);
  else if (iid == IID_IVideoWindow || iid == __uuidof(IDispatch))
    *object = static_cast<IVideoWindow*>(&videoWindow_);
  else if (iid == __uuidof(IVMRWindowlessControl9))
    *object = static_cast<IVMRWindowlessControl9*>(&windowless_);
  else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) MixingRenderer::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MixingRenderer::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP MixingRenderer::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_VideoMixingRenderer9;
  return S_OK;
}

STDMETHODIMP MixingRenderer::Stop() {
  {
    std::lock_guard lock(mutex_);
    state_ = State_Stopped;
    ++epoch_;
    endOfStream_ = false;
    completeSent_ = false;
    changed_.notify_all();
  }
  pin_.Decommit();
  return S_OK;
}

STDMETHODIMP MixingRenderer::Pause() {
  const bool connected = pin_.IsConnected();
  bool announce = false, starting = false;
  {
    std::lock_guard lock(mutex_);
    if (state_ == State_Stopped) {
      starting = true;
      endOfStream_ = false;
      completeSent_ = false;
      prerolled_ = false;
      announce = connected && !deviceAnnounced_;
      deviceAnnounced_ = deviceAnnounced_ || announce;
      drawn_ = 0;
      dropped_ = 0;
      firstDrawn_ = 0;
    } else if (state_ == State_Running) {
      prerolled_ = true;  // the picture of the running stream stays up
    }
    state_ = State_Paused;
    changed_.notify_all();
  }
  const std::shared_ptr<RendererWindow> window = Window();
  if (starting && connected && window && window->AutoShow()) window->ShowWithoutActivating();
  if (announce) Notify(EC_VMR_RENDERDEVICE_SET, kRenderDeviceSystemMemory, 0);
  return S_OK;
}

STDMETHODIMP MixingRenderer::Run(REFERENCE_TIME start) {
  if (IsStopped()) {
    const HRESULT paused = Pause();
    if (FAILED(paused)) return paused;
  }
  bool complete = false;
  {
    std::lock_guard lock(mutex_);
    state_ = State_Running;
    start_ = start;
    complete = endOfStream_ && !completeSent_;
    completeSent_ = completeSent_ || complete;
    changed_.notify_all();
  }
  if (complete) Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetState(DWORD milliseconds, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  const bool connected = pin_.IsConnected();
  std::unique_lock lock(mutex_);
  // Paused without a picture yet: the transition completes with the first frame.
  const auto cued = [&] { return state_ != State_Paused || prerolled_ || endOfStream_ || !connected; };
  if (!cued() && milliseconds)
    changed_.wait_for(lock, std::chrono::milliseconds(milliseconds == INFINITE ? 0x7FFFFFFF : milliseconds), cued);
  *state = state_;
  return cued() ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

STDMETHODIMP MixingRenderer::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard lock(mutex_);
  *clock = nullptr;
  return clock_ ? clock_.CopyTo(clock) : S_OK;
}

STDMETHODIMP MixingRenderer::EnumPins(IEnumPins** pins) {
  return PinEnumerator::Create({ComPtr<IPin>(&pin_)}, pins);
}

STDMETHODIMP MixingRenderer::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  if (std::wcscmp(id, kPinName) != 0) return VFW_E_NOT_FOUND;
  return ComPtr<IPin>(&pin_).CopyTo(pin);
}

STDMETHODIMP MixingRenderer::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard lock(mutex_);
  wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  // The caller gets its own reference to the graph, as the interface requires.
  ComPtr<IFilterGraph> graph(graph_);
  info->pGraph = graph.Detach();
  return S_OK;
}

STDMETHODIMP MixingRenderer::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  ComPtr<IMediaEventSink> events;
  if (graph) (void)graph->QueryInterface(IID_PPV_ARGS(&events));  // a graph without events gets none
  std::lock_guard lock(mutex_);
  graph_ = graph;
  events_ = events.Get();
  name_ = name ? name : L"";
  return S_OK;
}

STDMETHODIMP MixingRenderer::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP_(ULONG) MixingRenderer::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

STDMETHODIMP MixingRenderer::get_FramesDroppedInRenderer(int* frames) {
  if (!frames) return E_POINTER;
  *frames = dropped_;
  return S_OK;
}

STDMETHODIMP MixingRenderer::get_FramesDrawn(int* frames) {
  if (!frames) return E_POINTER;
  *frames = drawn_;
  return S_OK;
}

STDMETHODIMP MixingRenderer::get_AvgFrameRate(int* rate) {
  if (!rate) return E_POINTER;
  const REFERENCE_TIME span = lastDrawn_ - firstDrawn_;
  const int frames = drawn_;
  // Frames per second times 100, over the time between the first and last drawn frame.
  *rate = span > 0 && frames > 1 ? static_cast<int>((frames - 1) * 100LL * 10000000 / span) : 0;
  return S_OK;
}

STDMETHODIMP MixingRenderer::get_Jitter(int*) { return E_NOTIMPL; }
STDMETHODIMP MixingRenderer::get_AvgSyncOffset(int*) { return E_NOTIMPL; }
STDMETHODIMP MixingRenderer::get_DevSyncOffset(int*) { return E_NOTIMPL; }

STDMETHODIMP MixingRenderer::SetImageCompositor(IVMRImageCompositor9*) { return E_NOTIMPL; }

STDMETHODIMP MixingRenderer::SetNumberOfStreams(DWORD streams) {
  if (streams < 1 || streams > kMaxStreams) return E_INVALIDARG;
  if (pin_.IsConnected()) return VFW_E_WRONG_STATE;
  std::lock_guard lock(mutex_);
  streams_ = streams;
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetNumberOfStreams(DWORD* streams) {
  if (!streams) return E_POINTER;
  std::lock_guard lock(mutex_);
  *streams = streams_;
  return streams_ ? S_OK : VFW_E_VMR_NOT_IN_MIXER_MODE;
}

STDMETHODIMP MixingRenderer::SetRenderingPrefs(DWORD preferences) {
  {
    std::lock_guard lock(mutex_);
    renderingPrefs_ = preferences;
  }
  presenter_->SetDrawBorder(!(preferences & RenderPrefs9_DoNotRenderBorder));
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetRenderingPrefs(DWORD* preferences) {
  if (!preferences) return E_POINTER;
  std::lock_guard lock(mutex_);
  *preferences = renderingPrefs_;
  return S_OK;
}

STDMETHODIMP MixingRenderer::SetRenderingMode(DWORD mode) {
  if (mode == VMR9Mode_Renderless) return E_NOTIMPL;  // no surface allocator is offered
  if (mode != VMR9Mode_Windowed && mode != VMR9Mode_Windowless) return E_INVALIDARG;
  if (pin_.IsConnected()) return VFW_E_WRONG_STATE;
  std::shared_ptr<RendererWindow> closing;
  {
    std::lock_guard lock(mutex_);
    renderingMode_ = mode;
    if (mode == VMR9Mode_Windowless) closing = std::move(window_);
  }
  if (closing) closing->Close();
  if (mode == VMR9Mode_Windowed && !Window()) {
    std::shared_ptr<RendererWindow> window = RendererWindow::Create(presenter_);
    if (!window) return E_FAIL;
    std::lock_guard lock(mutex_);
    window_ = std::move(window);
  }
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetRenderingMode(DWORD* mode) {
  if (!mode) return E_POINTER;
  *mode = RenderingMode();
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetAspectRatioMode(DWORD* mode) {
  if (!mode) return E_POINTER;
  *mode = presenter_->AspectRatioMode();
  return S_OK;
}

STDMETHODIMP MixingRenderer::SetAspectRatioMode(DWORD mode) {
  if (mode != VMR9ARMode_None && mode != VMR9ARMode_LetterBox) return E_INVALIDARG;
  presenter_->SetAspectRatioMode(mode);
  return S_OK;
}

STDMETHODIMP MixingRenderer::SetAlphaBitmap(const VMR9AlphaBitmap* bitmap) {
  if (!bitmap) return E_POINTER;
  return presenter_->Overlay().SetAlphaBitmap(*bitmap);
}

STDMETHODIMP MixingRenderer::UpdateAlphaBitmapParameters(const VMR9AlphaBitmap* bitmap) {
  if (!bitmap) return E_POINTER;
  return presenter_->Overlay().UpdateAlphaBitmapParameters(*bitmap);
}

STDMETHODIMP MixingRenderer::GetAlphaBitmapParameters(VMR9AlphaBitmap* bitmap) {
  return presenter_->Overlay().GetAlphaBitmapParameters(bitmap);
}

bool MixingRenderer::IsStopped() const {
  std::lock_guard lock(mutex_);
  return state_ == State_Stopped;
}

void MixingRenderer::OnConnected(const VideoFormat& format) {
  presenter_->SetFormat(format);
  std::lock_guard lock(mutex_);
  deviceAnnounced_ = false;
}

void MixingRenderer::OnDisconnected() {
  presenter_->ClearFormat();
  std::lock_guard lock(mutex_);
  deviceAnnounced_ = false;
}

HRESULT MixingRenderer::Receive(IMediaSample* sample) {
  std::unique_lock lock(mutex_);
  if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
  if (flushing_) return S_FALSE;
  if (endOfStream_) return VFW_E_SAMPLE_REJECTED_EOS;
  const std::uint64_t epoch = epoch_;

  if (state_ == State_Paused) {
    // Show the first frame, then hold the stream until run, stop or flush.
    lock.unlock();
    const bool drawn = Draw(sample);
    lock.lock();
    if (!drawn) return E_INVALIDARG;
    prerolled_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return state_ != State_Paused || epoch_ != epoch || flushing_; });
    return S_OK;
  }

  REFERENCE_TIME begin = 0, end = 0;
  const HRESULT timed = sample->GetTime(&begin, &end);
  if (SUCCEEDED(timed) && clock_) {
    const std::optional<VideoFormat> format = presenter_->Format();
    if (timed != S_OK || end <= begin) end = begin + (format ? format->frameDuration : 0);
    REFERENCE_TIME now = 0;
    if (SUCCEEDED(clock_->GetTime(&now))) {
      const REFERENCE_TIME due = start_ + begin;
      if (due > now) {
        const auto deadline = std::chrono::steady_clock::now() + FromReferenceTime(due - now);
        const bool interrupted = changed_.wait_until(lock, deadline, [&] {
          return state_ != State_Running || epoch_ != epoch || flushing_;
        });
        if (interrupted) return S_OK;  // stopped, paused or flushed: the frame is not shown
      } else if (now > start_ + end + kLateTolerance) {
        ++dropped_;
        return S_OK;
      }
    }
  }
  lock.unlock();
  if (!Draw(sample)) return E_INVALIDARG;
  return S_OK;
}

bool MixingRenderer::Draw(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return false;
  const long length = sample->GetActualDataLength();
  HWND target = nullptr;
  if (RenderingMode() == VMR9Mode_Windowless) {
    target = clippingWindow_;
  } else if (const std::shared_ptr<RendererWindow> window = Window()) {
    target = window->Handle();
  }
  if (!presenter_->Present(data, length > 0 ? static_cast<std::size_t>(length) : 0, target)) {
    ++dropped_;
    return false;
  }
  const REFERENCE_TIME now =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count() * 10;
  if (drawn_++ == 0) firstDrawn_ = now;
  lastDrawn_ = now;
  return true;
}

HRESULT MixingRenderer::EndOfStream() {
  bool complete = false;
  {
    std::lock_guard lock(mutex_);
    if (flushing_) return S_FALSE;
    if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
    endOfStream_ = true;
    complete = state_ == State_Running && !completeSent_;
    completeSent_ = completeSent_ || complete;
    changed_.notify_all();
  }
  if (complete) Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
  return S_OK;
}

HRESULT MixingRenderer::BeginFlush() {
  std::lock_guard lock(mutex_);
  flushing_ = true;
  ++epoch_;
  changed_.notify_all();
  return S_OK;
}

HRESULT MixingRenderer::EndFlush() {
  std::lock_guard lock(mutex_);
  flushing_ = false;
  endOfStream_ = false;
  completeSent_ = false;
  prerolled_ = false;
  return S_OK;
}

std::shared_ptr<RendererWindow> MixingRenderer::Window() const {
  std::lock_guard lock(mutex_);
  return window_;
}

DWORD MixingRenderer::RenderingMode() const {
  std::lock_guard lock(mutex_);
  return renderingMode_;
}

REFERENCE_TIME MixingRenderer::StreamStart() const {
  std::lock_guard lock(mutex_);
  return start_;
}

void MixingRenderer::Notify(long code, LONG_PTR first, LONG_PTR second) {
  IMediaEventSink* events = nullptr;
  {
    std::lock_guard lock(mutex_);
    events = events_;
  }
  // Called without our lock: the graph may call back into the filter.
  if (events) (void)events->Notify(code, first, second);  // nobody to tell if the graph refuses
}

}  // namespace platform
