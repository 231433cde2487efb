#pragma once
// The mixing renderer's one input pin. It has no reference count of its
// own: AddRef and Release go to the filter, which owns it.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <mutex>

#include "platform/mixing_renderer/video_format.h"

namespace platform {

class MixingRenderer;

class MixingRendererPin final : public IPin, public IMemInputPin {
public:
  // Interface map: IUnknown (as IPin), IPin, IMemInputPin.
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
  // Streaming thread: EndOfStream, BeginFlush, EndFlush, NewSegment.
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  // Streaming thread: Receive, ReceiveMultiple, ReceiveCanBlock.
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  STDMETHODIMP ReceiveCanBlock() override;

  explicit MixingRendererPin(MixingRenderer& filter) : filter_(filter) {}

  bool IsConnected() const;
  // The filter stopped: the allocator's waiting GetBuffer calls give up.
  void Decommit();

private:
  MixingRenderer& filter_;
  mutable std::mutex mutex_;
  Microsoft::WRL::ComPtr<IPin> connected_;
  OwnedMediaType type_;
  Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
};

}  // namespace platform
