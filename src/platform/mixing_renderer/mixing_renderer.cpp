#include "platform/mixing_renderer/mixing_renderer.h"

#include <evcode.h>
#include <uuids.h>

#include <chrono>

#include "platform/media_platform.h"
#include "platform/mixing_renderer/renderer_window.h"

namespace platform {

using dshow::ComPtr;

namespace {
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
  return MixingRenderer::CreateInstance(iid, object, CLSID_VideoMixingRenderer9);
}

HRESULT CreateVideoRenderer(REFIID iid, void** object) {
  return MixingRenderer::CreateInstance(iid, object, CLSID_VideoRenderer);
}

MixingRenderer::MixingRenderer(REFCLSID clsid)
    : ComObject(clsid),
      presenter_(std::make_shared<VideoPresenter>()),
      pin_(*this),
      videoWindow_(*this),
      windowless_(*this),
      window_(RendererWindow::Create(presenter_)) {}

MixingRenderer::~MixingRenderer() {
  if (window_) window_->Close();
}

HRESULT MixingRenderer::QueryOther(REFIID iid, void** object) {
  if (iid == __uuidof(IVideoWindow) || iid == __uuidof(IDispatch))
    *object = static_cast<IVideoWindow*>(&videoWindow_);
  else if (iid == __uuidof(IVMRWindowlessControl9))
    *object = static_cast<IVMRWindowlessControl9*>(&windowless_);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP MixingRenderer::Stop() {
  {
    std::lock_guard lock(stateLock_);
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
    std::lock_guard lock(stateLock_);
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
  if (announce) NotifyEvent(EC_VMR_RENDERDEVICE_SET, kRenderDeviceSystemMemory, 0);
  return S_OK;
}

STDMETHODIMP MixingRenderer::Run(REFERENCE_TIME start) {
  if (IsStopped()) {
    const HRESULT paused = Pause();
    if (FAILED(paused)) return paused;
  }
  bool complete = false;
  {
    std::lock_guard lock(stateLock_);
    state_ = State_Running;
    start_ = start;
    complete = endOfStream_ && !completeSent_;
    completeSent_ = completeSent_ || complete;
    changed_.notify_all();
  }
  if (complete) NotifyEvent(EC_COMPLETE, S_OK, EventSender());
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetState(DWORD milliseconds, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  const bool connected = pin_.IsConnected();
  std::unique_lock lock(stateLock_);
  // Paused without a picture yet: the transition completes with the first frame.
  const auto cued = [&] { return state_ != State_Paused || prerolled_ || endOfStream_ || !connected; };
  if (!cued() && milliseconds)
    changed_.wait_for(lock, std::chrono::milliseconds(milliseconds == INFINITE ? 0x7FFFFFFF : milliseconds), cued);
  *state = state_;
  return cued() ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

std::vector<ComPtr<IPin>> MixingRenderer::Pins() {
  return {ComPtr<IPin>(&pin_)};
}

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
  std::lock_guard lock(stateLock_);
  streams_ = streams;
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetNumberOfStreams(DWORD* streams) {
  if (!streams) return E_POINTER;
  std::lock_guard lock(stateLock_);
  *streams = streams_;
  return streams_ ? S_OK : VFW_E_VMR_NOT_IN_MIXER_MODE;
}

STDMETHODIMP MixingRenderer::SetRenderingPrefs(DWORD preferences) {
  {
    std::lock_guard lock(stateLock_);
    renderingPrefs_ = preferences;
  }
  presenter_->SetDrawBorder(!(preferences & RenderPrefs9_DoNotRenderBorder));
  return S_OK;
}

STDMETHODIMP MixingRenderer::GetRenderingPrefs(DWORD* preferences) {
  if (!preferences) return E_POINTER;
  std::lock_guard lock(stateLock_);
  *preferences = renderingPrefs_;
  return S_OK;
}

STDMETHODIMP MixingRenderer::SetRenderingMode(DWORD mode) {
  if (mode == VMR9Mode_Renderless) return E_NOTIMPL;  // no surface allocator is offered
  if (mode != VMR9Mode_Windowed && mode != VMR9Mode_Windowless) return E_INVALIDARG;
  if (pin_.IsConnected()) return VFW_E_WRONG_STATE;
  std::shared_ptr<RendererWindow> closing;
  {
    std::lock_guard lock(stateLock_);
    renderingMode_ = mode;
    if (mode == VMR9Mode_Windowless) closing = std::move(window_);
  }
  if (closing) closing->Close();
  if (mode == VMR9Mode_Windowed && !Window()) {
    std::shared_ptr<RendererWindow> window = RendererWindow::Create(presenter_);
    if (!window) return E_FAIL;
    std::lock_guard lock(stateLock_);
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

void MixingRenderer::OnConnected(const VideoFormat& format) {
  presenter_->SetFormat(format);
  std::lock_guard lock(stateLock_);
  deviceAnnounced_ = false;
}

void MixingRenderer::OnDisconnected() {
  presenter_->ClearFormat();
  std::lock_guard lock(stateLock_);
  deviceAnnounced_ = false;
}

HRESULT MixingRenderer::Receive(IMediaSample* sample) {
  std::unique_lock lock(stateLock_);
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
    std::lock_guard lock(stateLock_);
    if (flushing_) return S_FALSE;
    if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
    endOfStream_ = true;
    complete = state_ == State_Running && !completeSent_;
    completeSent_ = completeSent_ || complete;
    changed_.notify_all();
  }
  if (complete) NotifyEvent(EC_COMPLETE, S_OK, EventSender());
  return S_OK;
}

HRESULT MixingRenderer::BeginFlush() {
  std::lock_guard lock(stateLock_);
  flushing_ = true;
  ++epoch_;
  changed_.notify_all();
  return S_OK;
}

HRESULT MixingRenderer::EndFlush() {
  std::lock_guard lock(stateLock_);
  flushing_ = false;
  endOfStream_ = false;
  completeSent_ = false;
  prerolled_ = false;
  return S_OK;
}

std::shared_ptr<RendererWindow> MixingRenderer::Window() const {
  std::lock_guard lock(stateLock_);
  return window_;
}

DWORD MixingRenderer::RenderingMode() const {
  std::lock_guard lock(stateLock_);
  return renderingMode_;
}

REFERENCE_TIME MixingRenderer::StreamStart() const {
  std::lock_guard lock(stateLock_);
  return start_;
}

}  // namespace platform
