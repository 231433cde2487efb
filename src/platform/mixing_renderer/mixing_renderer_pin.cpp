#include "platform/mixing_renderer/mixing_renderer_pin.h"

#include <cwchar>

#include "platform/dshow/empty_media_type_enumerator.h"
#include "platform/mixing_renderer/mixing_renderer.h"

namespace platform {

using Microsoft::WRL::ComPtr;

namespace {
constexpr wchar_t kPinName[] = L"VMR Input0";
}

STDMETHODIMP MixingRendererPin::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IPin)) {
    *object = static_cast<IPin*>(this);
  } else if (iid == __uuidof(IMemInputPin)) {
    *object = static_cast<IMemInputPin*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) MixingRendererPin::AddRef() { return filter_.AddRef(); }
STDMETHODIMP_(ULONG) MixingRendererPin::Release() { return filter_.Release(); }

STDMETHODIMP MixingRendererPin::Connect(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an input pin only receives connections
}

STDMETHODIMP MixingRendererPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!filter_.IsStopped()) return VFW_E_NOT_STOPPED;
  const std::optional<VideoFormat> format = VideoFormatOf(*type);
  if (!format) return VFW_E_TYPE_NOT_ACCEPTED;
  const HRESULT copied = type_.Assign(*type);
  if (FAILED(copied)) return copied;
  connected_ = connector;
  filter_.OnConnected(*format);
  return S_OK;
}

STDMETHODIMP MixingRendererPin::Disconnect() {
  std::lock_guard lock(mutex_);
  if (!connected_) return S_FALSE;
  if (!filter_.IsStopped()) return VFW_E_NOT_STOPPED;
  connected_.Reset();
  allocator_.Reset();
  filter_.OnDisconnected();
  return S_OK;
}

STDMETHODIMP MixingRendererPin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(mutex_);
  *pin = nullptr;
  if (!connected_) return VFW_E_NOT_CONNECTED;
  return connected_.CopyTo(pin);
}

STDMETHODIMP MixingRendererPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (!connected_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return type_.CopyTo(type);
}

STDMETHODIMP MixingRendererPin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  ComPtr<IBaseFilter> filter(&filter_);
  info->pFilter = filter.Detach();
  info->dir = PINDIR_INPUT;
  wcsncpy(info->achName, kPinName, MAX_PIN_NAME);
  info->achName[MAX_PIN_NAME - 1] = L'\0';
  return S_OK;
}

STDMETHODIMP MixingRendererPin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_INPUT;
  return S_OK;
}

STDMETHODIMP MixingRendererPin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof kPinName));
  if (!*id) return E_OUTOFMEMORY;
  std::wmemcpy(*id, kPinName, std::size(kPinName));
  return S_OK;
}

STDMETHODIMP MixingRendererPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return VideoFormatOf(*type) ? S_OK : S_FALSE;
}

STDMETHODIMP MixingRendererPin::EnumMediaTypes(IEnumMediaTypes** types) {
  return EmptyMediaTypeEnumerator::Create(types);
}

STDMETHODIMP MixingRendererPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP MixingRendererPin::EndOfStream() { return filter_.EndOfStream(); }
STDMETHODIMP MixingRendererPin::BeginFlush() { return filter_.BeginFlush(); }
STDMETHODIMP MixingRendererPin::EndFlush() { return filter_.EndFlush(); }
STDMETHODIMP MixingRendererPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP MixingRendererPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  *allocator = nullptr;
  std::lock_guard lock(mutex_);
  if (!allocator_) {
    const HRESULT created = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_PPV_ARGS(&allocator_));
    if (FAILED(created)) return VFW_E_NO_ALLOCATOR;
  }
  return allocator_.CopyTo(allocator);
}

STDMETHODIMP MixingRendererPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  if (!allocator) return E_POINTER;
  std::lock_guard lock(mutex_);
  allocator_ = allocator;
  return S_OK;
}

STDMETHODIMP MixingRendererPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

STDMETHODIMP MixingRendererPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  return filter_.Receive(sample);
}

STDMETHODIMP MixingRendererPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  HRESULT result = S_OK;
  while (*processed < count && result == S_OK) {
    result = Receive(samples[*processed]);
    if (result == S_OK) ++*processed;
  }
  return result;
}

STDMETHODIMP MixingRendererPin::ReceiveCanBlock() { return S_OK; }

bool MixingRendererPin::IsConnected() const {
  std::lock_guard lock(mutex_);
  return connected_ != nullptr;
}

void MixingRendererPin::Decommit() {
  ComPtr<IMemAllocator> allocator;
  {
    std::lock_guard lock(mutex_);
    allocator = allocator_;
  }
  if (allocator) (void)allocator->Decommit();  // an allocator never committed may refuse
}

}  // namespace platform
