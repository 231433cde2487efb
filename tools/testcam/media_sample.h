#pragma once
// One buffer of the camera's allocator, handed downstream as IMediaSample.
#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <memory>

#include "platform/dshow/com_object.h"
#include "video_format.h"

namespace testcam {

class SampleAllocator;

class MediaSample final : public IMediaSample {
  // IUnknown, IMediaSample
public:
  MediaSample(SampleAllocator& allocator, BYTE* buffer, LONG size);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  // The last release returns the buffer to its allocator.
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetPointer(BYTE** buffer) override;
  STDMETHODIMP_(long) GetSize() override;
  STDMETHODIMP GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  STDMETHODIMP SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  STDMETHODIMP IsSyncPoint() override;
  STDMETHODIMP SetSyncPoint(BOOL syncPoint) override;
  STDMETHODIMP IsPreroll() override;
  STDMETHODIMP SetPreroll(BOOL preroll) override;
  STDMETHODIMP_(long) GetActualDataLength() override;
  STDMETHODIMP SetActualDataLength(long length) override;
  STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** type) override;
  STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP IsDiscontinuity() override;
  STDMETHODIMP SetDiscontinuity(BOOL discontinuity) override;
  STDMETHODIMP GetMediaTime(LONGLONG* start, LONGLONG* end) override;
  STDMETHODIMP SetMediaTime(LONGLONG* start, LONGLONG* end) override;

  // Allocator side: called with the allocator's lock held.
  void Reset();
  // Keeps the allocator alive while the sample is out.
  dshow::ComPtr<IMemAllocator> holder;

private:
  std::atomic<ULONG> references_{0};
  SampleAllocator& allocator_;
  BYTE* const buffer_;
  const LONG size_;
  LONG length_ = 0;
  REFERENCE_TIME start_ = 0, end_ = 0;
  bool timeValid_ = false, endValid_ = false;
  LONGLONG mediaStart_ = 0, mediaEnd_ = 0;
  bool mediaTimeValid_ = false;
  bool syncPoint_ = false, preroll_ = false, discontinuity_ = false;
  std::unique_ptr<dshow::MediaType> type_;
};

}  // namespace testcam
