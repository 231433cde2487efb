#include "camera_pin.h"

#include <algorithm>
#include <cstring>

#include "camera_filter.h"
#include "platform/dshow/filter_base.h"
#include "platform/dshow/media_type_enumerator.h"
#include "sample_allocator.h"
#include "test_pattern.h"
#include "testcam_ids.h"

using dshow::ComPtr;

namespace testcam {

namespace {
bool Matches(const GUID& wanted, const GUID& offered) {
  return IsEqualGUID(wanted, GUID_NULL) || IsEqualGUID(wanted, offered);
}

// A partly specified type (GUID_NULL fields) matches any of ours it does not rule out.
bool PartlyMatches(const AM_MEDIA_TYPE& wanted, const AM_MEDIA_TYPE& offered) {
  return Matches(wanted.majortype, offered.majortype) && Matches(wanted.subtype, offered.subtype) &&
         Matches(wanted.formattype, offered.formattype);
}

const GUID& OtherSubtype(const GUID& subtype) {
  return IsEqualGUID(subtype, MEDIASUBTYPE_RGB24) ? MEDIASUBTYPE_YUY2 : MEDIASUBTYPE_RGB24;
}

constexpr long kBuffers = 3;
}  // namespace

CameraPin::CameraPin(CameraFilter& filter, const GUID& category, const wchar_t* name)
    : filter_(filter),
      category_(category),
      name_(name),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  chosen_.width = kDefaultWidth;
  chosen_.height = kDefaultHeight;
  chosen_.frameDuration = 10000000 / kDefaultFrameRate;
}

CameraPin::~CameraPin() {
  StopStreaming();
  CloseHandle(stop_);
  CloseHandle(wake_);
}

STDMETHODIMP CameraPin::QueryInterface(REFIID iid, void** object) {
  return dshow::QueryInterfaceTable<IPin, IKsPropertySet, IAMStreamConfig>(this, iid, object);
}

STDMETHODIMP_(ULONG) CameraPin::AddRef() { return filter_.AddRef(); }
STDMETHODIMP_(ULONG) CameraPin::Release() { return filter_.Release(); }

std::vector<dshow::MediaType> CameraPin::OfferedTypes() {
  VideoFormat first;
  {
    std::lock_guard lock(filter_.StateLock());
    first = chosen_;
  }
  VideoFormat second = first;
  second.subtype = OtherSubtype(first.subtype);
  std::vector<dshow::MediaType> types{MakeVideoType(first)};
  if (second.width % 2 == 0) types.push_back(MakeVideoType(second));
  return types;
}

STDMETHODIMP CameraPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  std::lock_guard change(filter_.ChangeLock());
  {
    std::lock_guard lock(filter_.StateLock());
    if (peer_) return VFW_E_ALREADY_CONNECTED;
  }
  if (!filter_.IsStopped()) return VFW_E_NOT_STOPPED;

  if (type && ParseVideoType(*type, nullptr)) return TryConnection(receivePin, dshow::MediaType(*type));
  for (const dshow::MediaType& offered : OfferedTypes()) {
    if (type && !PartlyMatches(*type, offered.Get())) continue;
    if (TryConnection(receivePin, offered) == S_OK) return S_OK;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CameraPin::TryConnection(IPin* receivePin, const dshow::MediaType& type) {
  VideoFormat format;
  if (!ParseVideoType(type.Get(), &format)) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = receivePin->ReceiveConnection(this, &type.Get());
  if (FAILED(hr)) return hr;
  ComPtr<IMemInputPin> input;
  ComPtr<IMemAllocator> allocator;
  hr = receivePin->QueryInterface(IID_PPV_ARGS(&input));
  if (SUCCEEDED(hr)) hr = DecideAllocator(input.Get(), format, &allocator);
  if (FAILED(hr)) {
    (void)receivePin->Disconnect();  // undoing our own half-made connection
    return hr;
  }
  std::lock_guard lock(filter_.StateLock());
  peer_ = receivePin;
  input_ = input;
  allocator_ = allocator;
  type_ = type;
  connected_ = format;
  return S_OK;
}

HRESULT CameraPin::DecideAllocator(IMemInputPin* input, const VideoFormat& format,
                                   ComPtr<IMemAllocator>* chosen) {
  ALLOCATOR_PROPERTIES wanted{};
  (void)input->GetAllocatorRequirements(&wanted);  // optional for the input pin
  wanted.cBuffers = std::max(wanted.cBuffers, kBuffers);
  wanted.cbBuffer = std::max(wanted.cbBuffer, format.ImageSize());
  wanted.cbAlign = std::max(wanted.cbAlign, 1L);

  // Our own pool first; an input pin that insists on its own gets that.
  ComPtr<IMemAllocator> own = SampleAllocator::Make();
  ALLOCATOR_PROPERTIES actual{};
  if (SUCCEEDED(own->SetProperties(&wanted, &actual)) &&
      SUCCEEDED(input->NotifyAllocator(own.Get(), FALSE))) {
    *chosen = own;
    return S_OK;
  }
  ComPtr<IMemAllocator> theirs;
  HRESULT hr = input->GetAllocator(&theirs);
  if (FAILED(hr)) return hr;
  hr = theirs->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cbBuffer < format.ImageSize()) return VFW_E_SIZENOTSET;
  hr = input->NotifyAllocator(theirs.Get(), FALSE);
  if (FAILED(hr)) return hr;
  *chosen = theirs;
  return S_OK;
}

STDMETHODIMP CameraPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an output pin connects, it is not connected to
}

STDMETHODIMP CameraPin::Disconnect() {
  std::lock_guard change(filter_.ChangeLock());
  if (!filter_.IsStopped()) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(filter_.StateLock());
  if (!peer_) return S_FALSE;
  peer_.Reset();
  input_.Reset();
  allocator_.Reset();
  type_ = dshow::MediaType();
  return S_OK;
}

STDMETHODIMP CameraPin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(filter_.StateLock());
  ComPtr<IPin> peer = peer_;
  *pin = peer.Detach();
  return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CameraPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(filter_.StateLock());
  if (!peer_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return type_.CopyTo(type);
}

STDMETHODIMP CameraPin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  ComPtr<IBaseFilter> owner(&filter_);
  info->pFilter = owner.Detach();
  info->dir = PINDIR_OUTPUT;
  lstrcpynW(info->achName, name_.c_str(), MAX_PIN_NAME);
  return S_OK;
}

STDMETHODIMP CameraPin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP CameraPin::QueryId(LPWSTR* id) {
  return dshow::CopyToComString(name_, id);
}

STDMETHODIMP CameraPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return ParseVideoType(*type, nullptr) ? S_OK : S_FALSE;
}

STDMETHODIMP CameraPin::EnumMediaTypes(IEnumMediaTypes** types) {
  return dshow::MediaTypeEnumerator::Create(OfferedTypes(), types);
}

STDMETHODIMP CameraPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP CameraPin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP CameraPin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP CameraPin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP CameraPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP CameraPin::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
  return E_PROP_ID_UNSUPPORTED;
}

STDMETHODIMP CameraPin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                            DWORD* returned) {
  if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (returned) *returned = sizeof(GUID);
  if (!data) return returned ? S_OK : E_POINTER;
  if (dataSize < sizeof(GUID)) return E_UNEXPECTED;
  *static_cast<GUID*>(data) = category_;
  return S_OK;
}

STDMETHODIMP CameraPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

STDMETHODIMP CameraPin::SetFormat(AM_MEDIA_TYPE* type) {
  std::lock_guard change(filter_.ChangeLock());
  VideoFormat format;
  if (type && !ParseVideoType(*type, &format)) return VFW_E_INVALIDMEDIATYPE;
  std::lock_guard lock(filter_.StateLock());
  if (peer_) return type && format == connected_ ? S_OK : VFW_E_ALREADY_CONNECTED;
  if (type) {
    chosen_ = format;
    chosenByCaller_ = true;
  } else {
    chosenByCaller_ = false;  // back to the device's defaults at the next load
  }
  return S_OK;
}

STDMETHODIMP CameraPin::GetFormat(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(filter_.StateLock());
  *type = peer_ ? type_.CreateCopy() : MakeVideoType(chosen_).CreateCopy();
  return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CameraPin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = 2;
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

STDMETHODIMP CameraPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (!type || !caps) return E_POINTER;
  if (index < 0 || index > 1) return S_FALSE;
  VideoFormat format;
  {
    std::lock_guard lock(filter_.StateLock());
    format = chosen_;
  }
  if (index == 1) format.subtype = OtherSubtype(format.subtype);
  format.width &= ~1;  // YUY2 needs an even width
  *type = MakeVideoType(format).CreateCopy();
  if (!*type) return E_OUTOFMEMORY;
  VIDEO_STREAM_CONFIG_CAPS config{};
  config.guid = FORMAT_VideoInfo;
  config.InputSize = {format.width, format.height};
  config.MinCroppingSize = config.MaxCroppingSize = config.InputSize;
  config.MinOutputSize = {kMinSize, kMinSize};
  config.MaxOutputSize = {kMaxSize, kMaxSize};
  config.OutputGranularityX = config.OutputGranularityY = 2;
  config.MinFrameInterval = kMinFrameDuration;
  config.MaxFrameInterval = kMaxFrameDuration;
  config.MinBitsPerSecond = static_cast<LONG>(
      std::min<LONGLONG>(LONGLONG{kMinSize} * kMinSize * 16, 0x7fffffff));
  config.MaxBitsPerSecond = 0x7fffffff;
  std::memcpy(caps, &config, sizeof(config));
  return S_OK;
}

void CameraPin::SetDefaultFormat(const VideoFormat& format) {
  std::lock_guard lock(filter_.StateLock());
  if (!chosenByCaller_) chosen_ = format;
}

VideoFormat CameraPin::CurrentFormat() {
  std::lock_guard lock(filter_.StateLock());
  return peer_ ? connected_ : chosen_;
}

HRESULT CameraPin::StartStreaming() {
  ComPtr<IMemInputPin> input;
  ComPtr<IMemAllocator> allocator;
  VideoFormat format;
  {
    std::lock_guard lock(filter_.StateLock());
    input = input_;
    allocator = allocator_;
    format = connected_;
  }
  if (!input || thread_.joinable()) return S_OK;
  const HRESULT hr = allocator->Commit();
  if (FAILED(hr)) return hr;
  ResetEvent(stop_);
  thread_ = std::thread(&CameraPin::Stream, this, input, allocator, format, filter_.DeviceName(),
                        filter_.DeviceScene());
  return S_OK;
}

void CameraPin::StopStreaming() {
  if (!thread_.joinable()) return;
  SetEvent(stop_);
  ComPtr<IMemAllocator> allocator;
  {
    std::lock_guard lock(filter_.StateLock());
    allocator = allocator_;
  }
  // Wakes a thread waiting for a buffer that downstream still holds.
  if (allocator) (void)allocator->Decommit();  // decommitting never fails in a way we could act on
  thread_.join();
}

void CameraPin::Wake() { SetEvent(wake_); }

void CameraPin::Stream(ComPtr<IMemInputPin> input, ComPtr<IMemAllocator> allocator,
                       VideoFormat format, std::wstring deviceName, Scene scene) {
  TestPattern pattern(deviceName, format, scene);
  const REFERENCE_TIME duration = format.frameDuration;
  const HANDLE events[] = {stop_, wake_};
  LONGLONG lastFrame = -1;
  bool first = true;
  for (;;) {
    if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) break;
    const CameraFilter::StreamTime time = filter_.Now();
    if (!time.running) {
      // A live source sends nothing while paused.
      WaitForMultipleObjects(2, events, FALSE, INFINITE);
      continue;
    }
    const LONGLONG frame = time.now >= 0 ? time.now / duration : -1;
    if (frame <= lastFrame) {
      const REFERENCE_TIME due = (lastFrame + 1) * duration;
      const DWORD wait = static_cast<DWORD>(std::max<REFERENCE_TIME>((due - time.now + 9999) / 10000, 1));
      WaitForMultipleObjects(2, events, FALSE, wait);
      continue;
    }
    lastFrame = frame;

    ComPtr<IMediaSample> sample;
    if (FAILED(allocator->GetBuffer(&sample, nullptr, nullptr, 0))) continue;  // decommitted: stopping
    BYTE* buffer = nullptr;
    if (FAILED(sample->GetPointer(&buffer)) || sample->GetSize() < format.ImageSize()) break;
    pattern.Render(frame, buffer);
    (void)sample->SetActualDataLength(format.ImageSize());  // fits: checked above
    // Stamped with the moment of capture on the graph's clock.
    REFERENCE_TIME start = time.now, end = time.now + duration;
    // Setters of a sample cannot fail for these values.
    (void)sample->SetTime(time.fromClock ? &start : nullptr, time.fromClock ? &end : nullptr);
    (void)sample->SetSyncPoint(TRUE);
    (void)sample->SetDiscontinuity(first);
    first = false;
    // A refusing or failing downstream does not end a live stream; the next
    // frame is offered as usual.
    (void)input->Receive(sample.Get());
  }
}

}  // namespace testcam
