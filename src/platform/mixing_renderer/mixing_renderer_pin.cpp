#include "platform/mixing_renderer/mixing_renderer_pin.h"

#include "platform/mixing_renderer/mixing_renderer.h"

namespace platform {

MixingRendererPin::MixingRendererPin(MixingRenderer& filter)
    : InputPinBase(filter, L"VMR Input0"), filter_(filter) {}

bool MixingRendererPin::Accepts(const AM_MEDIA_TYPE& type) const { return VideoFormatOf(type).has_value(); }

void MixingRendererPin::OnConnected(const AM_MEDIA_TYPE& type) { filter_.OnConnected(*VideoFormatOf(type)); }

void MixingRendererPin::OnDisconnected() { filter_.OnDisconnected(); }

HRESULT MixingRendererPin::OnReceive(IMediaSample* sample) { return filter_.Receive(sample); }

STDMETHODIMP MixingRendererPin::EndOfStream() { return filter_.EndOfStream(); }
STDMETHODIMP MixingRendererPin::BeginFlush() { return filter_.BeginFlush(); }
STDMETHODIMP MixingRendererPin::EndFlush() { return filter_.EndFlush(); }

STDMETHODIMP MixingRendererPin::ReceiveCanBlock() { return S_OK; }

void MixingRendererPin::Decommit() {
  if (const dshow::ComPtr<IMemAllocator> allocator = Allocator())
    (void)allocator->Decommit();  // an allocator never committed may refuse
}

}  // namespace platform
