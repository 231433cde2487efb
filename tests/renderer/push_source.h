#pragma once
// A small live video source for the renderer's tests and benchmark: one
// output pin, frames of a fixed format pushed on its own thread at a fixed
// rate while running, stamped with stream time on the graph clock.
// Header-only so the benchmark can use it too.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/dshow/com_object.h"
#include "platform/dshow/filter_base.h"
#include "platform/dshow/media_type.h"
#include "platform/mixing_renderer/video_format.h"
#include "video_type.h"

namespace testing_source {

using Microsoft::WRL::ComPtr;

struct PushSourceOptions {
  GUID subtype = MEDIASUBTYPE_RGB24;
  int width = 64;
  int height = 48;
  int framesPerSecond = 30;
  // Solid frames of this colour (0x00BBGGRR); a moving pattern when empty.
  std::optional<COLORREF> colour;
};

inline PushSourceOptions Frames(const GUID& subtype, int width = 64, int height = 48, int framesPerSecond = 30,
                                std::optional<COLORREF> colour = std::nullopt) {
  PushSourceOptions options;
  options.subtype = subtype;
  options.width = width;
  options.height = height;
  options.framesPerSecond = framesPerSecond;
  options.colour = colour;
  return options;
}

class PushSource;

class PushSourcePin final : public IPin {
public:
  explicit PushSourcePin(PushSource& filter) : filter_(filter) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    return dshow::QueryInterfaceTable<IPin>(this, iid, object);
  }
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
  STDMETHODIMP Disconnect() override {
    std::lock_guard lock(lock_);
    if (!connected_) return S_FALSE;
    connected_.Reset();
    input_.Reset();
    allocator_.Reset();
    return S_OK;
  }
  STDMETHODIMP ConnectedTo(IPin** pin) override {
    std::lock_guard lock(lock_);
    *pin = nullptr;
    return connected_ ? connected_.CopyTo(pin) : VFW_E_NOT_CONNECTED;
  }
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override {
    *direction = PINDIR_OUTPUT;
    return S_OK;
  }
  STDMETHODIMP QueryId(LPWSTR* id) override { return dshow::CopyToComString(L"Out", id); }
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
  STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
  STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

  ComPtr<IMemAllocator> Allocator() {
    std::lock_guard lock(lock_);
    return allocator_;
  }
  ComPtr<IMemInputPin> Input() {
    std::lock_guard lock(lock_);
    return input_;
  }

private:
  PushSource& filter_;
  std::mutex lock_;
  ComPtr<IPin> connected_;
  ComPtr<IMemInputPin> input_;
  ComPtr<IMemAllocator> allocator_;
};

class PushSource final : public dshow::ComObject<PushSource, dshow::FilterBase> {
public:
  explicit PushSource(const PushSourceOptions& options) : ComObject(GUID_NULL), options_(options), pin_(*this) {}
  ~PushSource() { Stop(); }
  static ComPtr<PushSource> Create(const PushSourceOptions& options) { return Make(options); }

  STDMETHODIMP Stop() override {
    {
      std::lock_guard lock(stateLock_);
      state_ = State_Stopped;
      changed_.notify_all();
    }
    if (ComPtr<IMemAllocator> allocator = pin_.Allocator()) (void)allocator->Decommit();  // unblocks GetBuffer
    if (thread_.joinable()) thread_.join();
    return S_OK;
  }
  STDMETHODIMP Pause() override {
    std::lock_guard lock(stateLock_);
    if (state_ == State_Stopped) {
      if (ComPtr<IMemAllocator> allocator = pin_.Allocator()) {
        const HRESULT committed = allocator->Commit();
        if (FAILED(committed)) return committed;
      }
      if (thread_.joinable()) thread_.join();
      state_ = State_Paused;
      thread_ = std::thread([this] { Push(); });
    }
    state_ = State_Paused;
    changed_.notify_all();
    return S_OK;
  }
  STDMETHODIMP Run(REFERENCE_TIME start) override {
    if (state_ == State_Stopped) {
      const HRESULT paused = Pause();
      if (FAILED(paused)) return paused;
    }
    std::lock_guard lock(stateLock_);
    start_ = start;
    state_ = State_Running;
    changed_.notify_all();
    return S_OK;
  }
  STDMETHODIMP GetState(DWORD, FILTER_STATE* state) override {
    std::lock_guard lock(stateLock_);
    *state = state_;
    return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;  // live: nothing is delivered while paused
  }

  IPin* Output() { return &pin_; }
  const PushSourceOptions& Options() const { return options_; }
  // Frames handed to the downstream pin, and how many it accepted (S_OK).
  int Delivered() const { return delivered_; }
  int Accepted() const { return accepted_; }

  VideoType MediaType() const {
    return VideoType(options_.subtype, options_.width, options_.height, static_cast<WORD>(Bits()),
                     10000000LL / options_.framesPerSecond);
  }
  int Bits() const {
    if (IsEqualGUID(options_.subtype, MEDIASUBTYPE_YUY2)) return 16;
    return IsEqualGUID(options_.subtype, MEDIASUBTYPE_RGB32) ? 32 : 24;
  }
  int Stride() const { return (options_.width * Bits() + 31) / 32 * 4; }
  long FrameBytes() const { return static_cast<long>(Stride()) * options_.height; }

private:
  std::vector<ComPtr<IPin>> Pins() override { return {ComPtr<IPin>(&pin_)}; }

  static BYTE Luma(int r, int g, int b) { return static_cast<BYTE>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }
  static BYTE ChromaU(int r, int g, int b) { return static_cast<BYTE>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128); }
  static BYTE ChromaV(int r, int g, int b) { return static_cast<BYTE>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128); }

  // Rows are written bottom-up for RGB, top-down for YUY2, as the formats lay them out.
  void Draw(BYTE* data, int frame) const {
    const bool yuy2 = IsEqualGUID(options_.subtype, MEDIASUBTYPE_YUY2);
    const int bytes = IsEqualGUID(options_.subtype, MEDIASUBTYPE_RGB32) ? 4 : 3;
    for (int y = 0; y < options_.height; ++y) {
      BYTE* row = data + static_cast<std::size_t>(yuy2 ? y : options_.height - 1 - y) * Stride();
      for (int x = 0; x < options_.width; ++x) {
        COLORREF c;
        if (options_.colour) {
          c = *options_.colour;
        } else {
          // A diagonal colour ramp with a white bar sweeping across.
          const bool bar = ((x + frame * 4) % options_.width) < options_.width / 10;
          c = bar ? RGB(255, 255, 255) : RGB((x * 255) / options_.width, (y * 255) / options_.height, (frame * 8) & 255);
        }
        const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        if (yuy2) {
          row[x * 2] = Luma(r, g, b);
          row[x * 2 + 1] = (x % 2 == 0) ? ChromaU(r, g, b) : ChromaV(r, g, b);
        } else {
          row[x * bytes] = static_cast<BYTE>(b);
          row[x * bytes + 1] = static_cast<BYTE>(g);
          row[x * bytes + 2] = static_cast<BYTE>(r);
          if (bytes == 4) row[x * bytes + 3] = 0;
        }
      }
    }
  }

  void Push() {
    const auto period = std::chrono::nanoseconds(1000000000LL / options_.framesPerSecond);
    auto next = std::chrono::steady_clock::now();
    for (int frame = 0;; ++frame) {
      ComPtr<IReferenceClock> clock;
      REFERENCE_TIME start = 0;
      {
        std::unique_lock lock(stateLock_);
        changed_.wait(lock, [&] { return state_ != State_Paused; });
        if (state_ == State_Stopped) return;
        if (changed_.wait_until(lock, next, [&] { return state_ == State_Stopped; })) return;
        clock = clock_;
        start = start_;
      }
      next += period;
      ComPtr<IMemAllocator> allocator = pin_.Allocator();
      ComPtr<IMemInputPin> input = pin_.Input();
      ComPtr<IMediaSample> sample;
      if (!allocator || !input || FAILED(allocator->GetBuffer(&sample, nullptr, nullptr, 0))) continue;
      BYTE* data = nullptr;
      if (FAILED(sample->GetPointer(&data))) continue;
      Draw(data, frame);
      (void)sample->SetActualDataLength(FrameBytes());  // the allocator was sized for it
      REFERENCE_TIME now = 0;
      if (clock && SUCCEEDED(clock->GetTime(&now))) {
        REFERENCE_TIME begin = now - start, end = begin + 10000000LL / options_.framesPerSecond;
        (void)sample->SetTime(&begin, &end);  // untimed frames are shown at once
      }
      ++delivered_;
      if (input->Receive(sample.Get()) == S_OK) ++accepted_;
    }
  }

  PushSourceOptions options_;
  PushSourcePin pin_;
  std::condition_variable changed_;
  REFERENCE_TIME start_ = 0;
  std::thread thread_;
  std::atomic<int> delivered_{0};
  std::atomic<int> accepted_{0};
};

inline STDMETHODIMP_(ULONG) PushSourcePin::AddRef() { return filter_.AddRef(); }
inline STDMETHODIMP_(ULONG) PushSourcePin::Release() { return filter_.Release(); }

inline STDMETHODIMP PushSourcePin::QueryPinInfo(PIN_INFO* info) {
  info->dir = PINDIR_OUTPUT;
  lstrcpynW(info->achName, L"Out", MAX_PIN_NAME);
  ComPtr<IBaseFilter> filter(&filter_);
  info->pFilter = filter.Detach();
  return S_OK;
}

inline STDMETHODIMP PushSourcePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  return dshow::MediaType::Copy(filter_.MediaType().type, type);
}

inline STDMETHODIMP PushSourcePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE*) {
  if (!receivePin) return E_POINTER;
  VideoType type = filter_.MediaType();
  HRESULT hr = receivePin->ReceiveConnection(this, type.Get());
  if (FAILED(hr)) return hr;
  ComPtr<IMemInputPin> input;
  ComPtr<IMemAllocator> allocator;
  hr = receivePin->QueryInterface(IID_PPV_ARGS(&input));
  if (SUCCEEDED(hr) && FAILED(input->GetAllocator(&allocator)))
    hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&allocator));
  ALLOCATOR_PROPERTIES wanted{4, filter_.FrameBytes(), 1, 0}, actual{};
  if (SUCCEEDED(hr)) hr = allocator->SetProperties(&wanted, &actual);
  if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator.Get(), FALSE);
  if (FAILED(hr)) {
    (void)receivePin->Disconnect();  // undoing a half-made connection
    return hr;
  }
  std::lock_guard lock(lock_);
  connected_ = receivePin;
  input_ = input;
  allocator_ = allocator;
  return S_OK;
}

// Connects a source straight to a renderer's input pin, outside any graph.
inline HRESULT ConnectToRenderer(PushSource& source, IBaseFilter* renderer) {
  ComPtr<IPin> input;
  const HRESULT found = renderer->FindPin(L"VMR Input0", &input);
  if (FAILED(found)) return found;
  return source.Output()->Connect(input.Get(), nullptr);
}

}  // namespace testing_source
