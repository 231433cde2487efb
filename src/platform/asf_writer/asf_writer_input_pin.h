#pragma once
// An input pin of the built-in ASF writer filter: video (uncompressed
// RGB24, RGB32, YUY2, I420 or Motion JPEG, encoded to H.264) or PCM audio.
// Its reference count is the filter's, so a pin lives as long as its filter.
#include <windows.h>
#include <dshow.h>

#include <wrl/client.h>

#include <mutex>
#include <string>

#include "platform/dshow/media_type.h"
#include "platform/asf_writer/asf_writing_session.h"

namespace platform {

class AsfWriterFilter;

enum class AsfPinKind { Video, Audio };

// Whether a pin of this kind takes the type, and how the session writes it.
bool AcceptsAsfInput(AsfPinKind kind, const AM_MEDIA_TYPE& type, bool dontCompress);
bool DescribeAsfInput(AsfPinKind kind, const AM_MEDIA_TYPE& type, bool dontCompress,
                      uint32_t videoBitRate, AsfInput* input);

class AsfWriterInputPin final : public IPin, public IMemInputPin {
public:
  AsfWriterInputPin(AsfWriterFilter& filter, AsfPinKind kind, size_t index);

  AsfPinKind Kind() const { return kind_; }
  size_t Index() const { return index_; }
  bool IsConnected() const;
  MediaTypeCopy ConnectionType() const;
  bool AtEndOfStream() const;
  void ResetEndOfStream();

  // IUnknown (counted on the filter)
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receive, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  // Thread: a streaming thread (EndOfStream, flushing, NewSegment).
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;
  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  // Thread: a streaming thread.
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count,
                                            long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

private:
  std::wstring Name() const;

  AsfWriterFilter& filter_;
  const AsfPinKind kind_;
  const size_t index_;
  mutable std::mutex lock_;
  Microsoft::WRL::ComPtr<IPin> connected_;
  MediaTypeCopy type_;
  Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
  bool flushing_ = false;
  bool endOfStream_ = false;
};

}  // namespace platform
