#include "media_sample.h"

#include "sample_allocator.h"

namespace testcam {

MediaSample::MediaSample(SampleAllocator& allocator, BYTE* buffer, LONG size)
    : allocator_(allocator), buffer_(buffer), size_(size) {}

STDMETHODIMP MediaSample::QueryInterface(REFIID iid, void** object) {
  return dshow::QueryInterfaceTable<IMediaSample>(this, iid, object);
}

STDMETHODIMP_(ULONG) MediaSample::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MediaSample::Release() {
  const ULONG left = --references_;
  // The allocator may be destroyed inside ReleaseBuffer (and this with it).
  if (left == 0) (void)allocator_.ReleaseBuffer(this);  // our own pool: cannot fail
  return left;
}

void MediaSample::Reset() {
  length_ = 0;
  timeValid_ = endValid_ = mediaTimeValid_ = false;
  syncPoint_ = preroll_ = discontinuity_ = false;
  type_.reset();
}

STDMETHODIMP MediaSample::GetPointer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = buffer_;
  return S_OK;
}

STDMETHODIMP_(long) MediaSample::GetSize() { return size_; }

STDMETHODIMP MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (!start || !end) return E_POINTER;
  if (!timeValid_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  if (endValid_) {
    *end = end_;
    return S_OK;
  }
  *end = start_ + 1;
  return VFW_S_NO_STOP_TIME;
}

STDMETHODIMP MediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  timeValid_ = start != nullptr;
  endValid_ = start && end;
  if (start) start_ = *start;
  if (end) end_ = *end;
  return S_OK;
}

STDMETHODIMP MediaSample::IsSyncPoint() { return syncPoint_ ? S_OK : S_FALSE; }
STDMETHODIMP MediaSample::SetSyncPoint(BOOL syncPoint) {
  syncPoint_ = syncPoint != FALSE;
  return S_OK;
}
STDMETHODIMP MediaSample::IsPreroll() { return preroll_ ? S_OK : S_FALSE; }
STDMETHODIMP MediaSample::SetPreroll(BOOL preroll) {
  preroll_ = preroll != FALSE;
  return S_OK;
}
STDMETHODIMP_(long) MediaSample::GetActualDataLength() { return length_; }
STDMETHODIMP MediaSample::SetActualDataLength(long length) {
  if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
  length_ = length;
  return S_OK;
}

STDMETHODIMP MediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  *type = nullptr;
  if (!type_) return S_FALSE;
  *type = type_->CreateCopy();
  return *type ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
  if (type)
    type_ = std::make_unique<dshow::MediaType>(*type);
  else
    type_.reset();
  return S_OK;
}

STDMETHODIMP MediaSample::IsDiscontinuity() { return discontinuity_ ? S_OK : S_FALSE; }
STDMETHODIMP MediaSample::SetDiscontinuity(BOOL discontinuity) {
  discontinuity_ = discontinuity != FALSE;
  return S_OK;
}

STDMETHODIMP MediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
  if (!start || !end) return E_POINTER;
  if (!mediaTimeValid_) return VFW_E_MEDIA_TIME_NOT_SET;
  *start = mediaStart_;
  *end = mediaEnd_;
  return S_OK;
}

STDMETHODIMP MediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
  mediaTimeValid_ = start && end;
  if (mediaTimeValid_) {
    mediaStart_ = *start;
    mediaEnd_ = *end;
  }
  return S_OK;
}

}  // namespace testcam
