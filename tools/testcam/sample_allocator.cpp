#include "sample_allocator.h"

#include <wrl/client.h>

#include <algorithm>
#include <cstdint>

using dshow::ComPtr;

namespace testcam {

SampleAllocator::SampleAllocator() = default;
SampleAllocator::~SampleAllocator() = default;

STDMETHODIMP SampleAllocator::SetProperties(ALLOCATOR_PROPERTIES* request,
                                            ALLOCATOR_PROPERTIES* actual) {
  if (!request || !actual) return E_POINTER;
  if (request->cBuffers <= 0 || request->cbBuffer <= 0 || request->cbPrefix < 0)
    return E_INVALIDARG;
  const LONG align = std::max<LONG>(request->cbAlign, 1);
  if ((align & (align - 1)) != 0) return VFW_E_BADALIGN;
  std::lock_guard lock(lock_);
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (free_.size() != samples_.size()) return VFW_E_BUFFERS_OUTSTANDING;
  samples_.clear();
  free_.clear();
  memory_.clear();
  properties_ = *request;
  properties_.cbAlign = align;
  *actual = properties_;
  return S_OK;
}

STDMETHODIMP SampleAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
  if (!properties) return E_POINTER;
  std::lock_guard lock(lock_);
  *properties = properties_;
  return S_OK;
}

STDMETHODIMP SampleAllocator::Commit() {
  std::lock_guard lock(lock_);
  if (properties_.cBuffers <= 0) return VFW_E_SIZENOTSET;
  if (samples_.empty()) {
    const LONG align = properties_.cbAlign;
    const size_t slot = (properties_.cbPrefix + properties_.cbBuffer + align - 1) / align * align;
    memory_.assign(slot * properties_.cBuffers + align, 0);
    const auto base = reinterpret_cast<uintptr_t>(memory_.data());
    BYTE* first = memory_.data() + ((align - base % align) % align);
    for (LONG i = 0; i < properties_.cBuffers; ++i) {
      BYTE* buffer = first + slot * i + properties_.cbPrefix;
      samples_.push_back(std::make_unique<MediaSample>(*this, buffer, properties_.cbBuffer));
      free_.push_back(samples_.back().get());
    }
  }
  committed_ = true;
  return S_OK;
}

STDMETHODIMP SampleAllocator::Decommit() {
  {
    std::lock_guard lock(lock_);
    committed_ = false;
  }
  returned_.notify_all();
  return S_OK;
}

STDMETHODIMP SampleAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*,
                                        DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  std::unique_lock lock(lock_);
  if (flags & AM_GBF_NOWAIT) {
    if (committed_ && free_.empty()) return VFW_E_TIMEOUT;
  } else {
    returned_.wait(lock, [this] { return !committed_ || !free_.empty(); });
  }
  if (!committed_) return VFW_E_NOT_COMMITTED;
  MediaSample* taken = free_.back();
  free_.pop_back();
  taken->holder = this;
  ComPtr<IMediaSample> handed(taken);
  *sample = handed.Detach();
  return S_OK;
}

STDMETHODIMP SampleAllocator::ReleaseBuffer(IMediaSample* sample) {
  // Dropped last: the returning sample may hold the pool's final reference.
  ComPtr<IMemAllocator> keepAlive;
  {
    std::lock_guard lock(lock_);
    auto found = std::find_if(samples_.begin(), samples_.end(),
                              [sample](const auto& own) { return own.get() == sample; });
    if (found == samples_.end()) return E_INVALIDARG;
    MediaSample* returning = found->get();
    returning->Reset();
    keepAlive.Swap(returning->holder);
    free_.push_back(returning);
  }
  returned_.notify_all();
  return S_OK;
}

}  // namespace testcam
