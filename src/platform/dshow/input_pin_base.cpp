#include "platform/dshow/input_pin_base.h"

#include "platform/dshow/media_type_enumerator.h"

namespace dshow {

STDMETHODIMP InputPinBase::QueryInterface(REFIID iid, void** object) {
  return QueryInterfaceTable<IPin, IMemInputPin>(this, iid, object);
}

STDMETHODIMP_(ULONG) InputPinBase::AddRef() { return filter_.AddRef(); }
STDMETHODIMP_(ULONG) InputPinBase::Release() { return filter_.Release(); }

STDMETHODIMP InputPinBase::Connect(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an input pin only receives connections
}

STDMETHODIMP InputPinBase::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  if (!filter_.IsStopped()) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(lock_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  PIN_DIRECTION direction;
  if (FAILED(connector->QueryDirection(&direction)) || direction != PINDIR_OUTPUT)
    return VFW_E_INVALID_DIRECTION;
  if (!Accepts(*type)) return VFW_E_TYPE_NOT_ACCEPTED;
  type_ = MediaType(*type);
  connected_ = connector;
  OnConnected(type_.Get());
  return S_OK;
}

STDMETHODIMP InputPinBase::Disconnect() {
  if (!filter_.IsStopped()) return VFW_E_NOT_STOPPED;
  std::lock_guard lock(lock_);
  if (!connected_) return S_FALSE;
  connected_.Reset();
  allocator_.Reset();
  type_ = MediaType();
  OnDisconnected();
  return S_OK;
}

STDMETHODIMP InputPinBase::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(lock_);
  *pin = ComPtr<IPin>(connected_).Detach();
  return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP InputPinBase::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(lock_);
  if (!connected_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return type_.CopyTo(type);
}

STDMETHODIMP InputPinBase::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = ComPtr<IBaseFilter>(&filter_).Detach();
  info->dir = PINDIR_INPUT;
  lstrcpynW(info->achName, name_.c_str(), MAX_PIN_NAME);
  return S_OK;
}

STDMETHODIMP InputPinBase::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_INPUT;
  return S_OK;
}

STDMETHODIMP InputPinBase::QueryId(LPWSTR* id) { return CopyToComString(name_, id); }

STDMETHODIMP InputPinBase::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return Accepts(*type) ? S_OK : S_FALSE;
}

STDMETHODIMP InputPinBase::EnumMediaTypes(IEnumMediaTypes** types) {
  return MediaTypeEnumerator::Create(OfferedTypes(), types);
}

STDMETHODIMP InputPinBase::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP InputPinBase::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

STDMETHODIMP InputPinBase::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  *allocator = nullptr;
  std::lock_guard lock(lock_);
  if (!allocator_) {
    const HRESULT created = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_PPV_ARGS(&allocator_));
    if (FAILED(created)) return VFW_E_NO_ALLOCATOR;
  }
  return allocator_.CopyTo(allocator);
}

STDMETHODIMP InputPinBase::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  if (!allocator) return E_POINTER;
  std::lock_guard lock(lock_);
  allocator_ = allocator;
  return S_OK;
}

STDMETHODIMP InputPinBase::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

STDMETHODIMP InputPinBase::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  return OnReceive(sample);
}

STDMETHODIMP InputPinBase::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  HRESULT result = S_OK;
  while (*processed < count && result == S_OK) {
    result = Receive(samples[*processed]);
    if (result == S_OK) ++*processed;
  }
  return result;
}

bool InputPinBase::IsConnected() const {
  std::lock_guard lock(lock_);
  return connected_ != nullptr;
}

MediaType InputPinBase::ConnectionType() const {
  std::lock_guard lock(lock_);
  return type_;
}

ComPtr<IMemAllocator> InputPinBase::Allocator() const {
  std::lock_guard lock(lock_);
  return allocator_;
}

}  // namespace dshow
