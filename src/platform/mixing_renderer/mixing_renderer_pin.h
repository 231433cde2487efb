#pragma once
// The mixing renderer's one input pin: it takes the uncompressed video
// formats the presenter draws and hands every sample to the filter.
#include <windows.h>
#include <dshow.h>

#include "platform/dshow/input_pin_base.h"
#include "platform/mixing_renderer/video_format.h"

namespace platform {

class MixingRenderer;

class MixingRendererPin final : public dshow::InputPinBase {
public:
  explicit MixingRendererPin(MixingRenderer& filter);

  // IPin. Thread: a streaming thread.
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  // IMemInputPin
  STDMETHODIMP ReceiveCanBlock() override;

  // The filter stopped: the allocator's waiting GetBuffer calls give up.
  void Decommit();

private:
  bool Accepts(const AM_MEDIA_TYPE& type) const override;
  HRESULT OnReceive(IMediaSample* sample) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  void OnDisconnected() override;

  MixingRenderer& filter_;
};

}  // namespace platform
