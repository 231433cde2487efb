#pragma once
// What every input pin of ours shares: IPin and IMemInputPin for a pin that
// receives connections and samples. A concrete pin says which types it
// accepts and what it does with a sample; end of stream and flushing are
// its own. The pin has no reference count: AddRef and Release go to the
// filter, which owns it.
#include <windows.h>
#include <dshow.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/com_object.h"
#include "platform/dshow/filter_base.h"
#include "platform/dshow/media_type.h"

namespace dshow {

class InputPinBase : public IPin, public IMemInputPin {
public:
  InputPinBase(FilterBase& filter, std::wstring name) : filter_(filter), name_(std::move(name)) {}
  InputPinBase(const InputPinBase&) = delete;
  InputPinBase& operator=(const InputPinBase&) = delete;

  // IUnknown: IPin, IMemInputPin.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin
  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
  // Thread: a streaming thread.
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  // Thread: a streaming thread.
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;

  bool IsConnected() const;
  MediaType ConnectionType() const;

protected:
  ~InputPinBase() = default;

  // Whether the pin takes `type`; the connection and QueryAccept ask it.
  virtual bool Accepts(const AM_MEDIA_TYPE& type) const = 0;
  // The types the pin proposes; none leaves the choice upstream.
  virtual std::vector<MediaType> OfferedTypes() const { return {}; }
  // Thread: a streaming thread. A sample of the connected type.
  virtual HRESULT OnReceive(IMediaSample* sample) = 0;
  // Called under lock_ once a connection is made or broken.
  virtual void OnConnected(const AM_MEDIA_TYPE&) {}
  virtual void OnDisconnected() {}
  ComPtr<IMemAllocator> Allocator() const;

  // Guards the connection and whatever the concrete pin adds.
  mutable std::mutex lock_;

private:
  FilterBase& filter_;
  const std::wstring name_;
  ComPtr<IPin> connected_;
  MediaType type_;
  ComPtr<IMemAllocator> allocator_;
};

}  // namespace dshow
