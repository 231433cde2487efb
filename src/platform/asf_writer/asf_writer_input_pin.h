#pragma once
// An input pin of the built-in ASF writer filter: video (uncompressed
// RGB24, RGB32, YUY2, I420 or Motion JPEG, encoded to H.264) or PCM audio.
// Its reference count is the filter's, so a pin lives as long as its filter.
#include <windows.h>
#include <dshow.h>

#include <vector>

#include "platform/asf_writer/asf_writing_session.h"
#include "platform/dshow/input_pin_base.h"
#include "platform/dshow/media_type.h"

namespace platform {

class AsfWriterFilter;

enum class AsfPinKind { Video, Audio };

// Whether a pin of this kind takes the type, and how the session writes it.
bool AcceptsAsfInput(AsfPinKind kind, const AM_MEDIA_TYPE& type, bool dontCompress);
bool DescribeAsfInput(AsfPinKind kind, const AM_MEDIA_TYPE& type, bool dontCompress,
                      uint32_t videoBitRate, AsfInput* input);

class AsfWriterInputPin final : public dshow::InputPinBase {
public:
  AsfWriterInputPin(AsfWriterFilter& filter, AsfPinKind kind, size_t index);

  AsfPinKind Kind() const { return kind_; }
  size_t Index() const { return index_; }
  bool AtEndOfStream() const;
  void ResetEndOfStream();

  // IPin. Thread: a streaming thread.
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  // IMemInputPin
  STDMETHODIMP ReceiveCanBlock() override;

private:
  bool Accepts(const AM_MEDIA_TYPE& type) const override;
  std::vector<dshow::MediaType> OfferedTypes() const override;
  HRESULT OnReceive(IMediaSample* sample) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;

  AsfWriterFilter& filter_;
  const AsfPinKind kind_;
  const size_t index_;
  // Under lock_.
  bool flushing_ = false;
  bool endOfStream_ = false;
};

}  // namespace platform
