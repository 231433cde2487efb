#pragma once
// A fixed pool of buffers for the camera's output pins. GetBuffer waits for
// a free buffer; Decommit wakes every waiter so a stopping stream never
// hangs in it.
#include <windows.h>
#include <dshow.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dshow/com_object.h"
#include "media_sample.h"

namespace testcam {

class SampleAllocator final : public dshow::ComObject<SampleAllocator, IMemAllocator> {
public:
  SampleAllocator();
  ~SampleAllocator();

  STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* properties) override;
  STDMETHODIMP Commit() override;
  STDMETHODIMP Decommit() override;
  // Any thread; blocks until a buffer is free or the pool is decommitted.
  STDMETHODIMP GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                         DWORD flags) override;
  STDMETHODIMP ReleaseBuffer(IMediaSample* sample) override;

private:
  std::mutex lock_;
  std::condition_variable returned_;
  ALLOCATOR_PROPERTIES properties_{};
  bool committed_ = false;
  std::vector<BYTE> memory_;
  std::vector<std::unique_ptr<MediaSample>> samples_;
  std::vector<MediaSample*> free_;
};

}  // namespace testcam
