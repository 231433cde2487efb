#include "platform/asf_writer/asf_writer_advanced.h"

#include <algorithm>

#include "platform/media_platform.h"
using dshow::ComPtr;

namespace platform {

// ---------------------------------------------------------------------------
// MemoryNssBuffer

ComPtr<INSSBuffer> MemoryNssBuffer::Create(const uint8_t* data, size_t size) {
  return Make(data, size);
}

STDMETHODIMP MemoryNssBuffer::GetLength(DWORD* length) {
  if (!length) return E_POINTER;
  *length = length_;
  return S_OK;
}

STDMETHODIMP MemoryNssBuffer::SetLength(DWORD length) {
  if (length > bytes_.size()) return E_INVALIDARG;
  length_ = length;
  return S_OK;
}

STDMETHODIMP MemoryNssBuffer::GetMaxLength(DWORD* length) {
  if (!length) return E_POINTER;
  *length = static_cast<DWORD>(bytes_.size());
  return S_OK;
}

STDMETHODIMP MemoryNssBuffer::GetBuffer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = bytes_.data();
  return S_OK;
}

STDMETHODIMP MemoryNssBuffer::GetBufferAndLength(BYTE** buffer, DWORD* length) {
  if (!buffer || !length) return E_POINTER;
  *buffer = bytes_.data();
  *length = length_;
  return S_OK;
}

// ---------------------------------------------------------------------------
// AsfSinkList

HRESULT AsfSinkList::Add(IWMWriterSink* sink) {
  if (!sink) return E_POINTER;
  ComPtr<IWMWriterSink> added(sink);
  std::vector<uint8_t> header;
  {
    std::lock_guard lock(lock_);
    if (std::find(sinks_.begin(), sinks_.end(), added) != sinks_.end()) return E_INVALIDARG;
    sinks_.push_back(added);
    if (writing_) header = header_;
  }
  if (!header.empty()) {
    ComPtr<INSSBuffer> buffer = MemoryNssBuffer::Create(header.data(), header.size());
    (void)added->OnHeader(buffer.Get());  // a sink that fails simply serves nothing
  }
  return S_OK;
}

HRESULT AsfSinkList::Remove(IWMWriterSink* sink) {
  std::lock_guard lock(lock_);
  const auto at = std::find(sinks_.begin(), sinks_.end(), ComPtr<IWMWriterSink>(sink));
  if (at == sinks_.end()) return E_INVALIDARG;
  sinks_.erase(at);
  return S_OK;
}

DWORD AsfSinkList::Count() const {
  std::lock_guard lock(lock_);
  return static_cast<DWORD>(sinks_.size());
}

HRESULT AsfSinkList::Get(DWORD index, IWMWriterSink** sink) const {
  if (!sink) return E_POINTER;
  std::lock_guard lock(lock_);
  if (index >= sinks_.size()) return E_INVALIDARG;
  ComPtr<IWMWriterSink> copy = sinks_[index];
  *sink = copy.Detach();
  return S_OK;
}

std::vector<ComPtr<IWMWriterSink>> AsfSinkList::Snapshot() const {
  std::lock_guard lock(lock_);
  return sinks_;
}

// Sinks are called outside the lock so a slow sink never holds up Add or
// Remove on the user-interface thread.
void AsfSinkList::BeginWriting(const std::vector<uint8_t>& header) {
  {
    std::lock_guard lock(lock_);
    writing_ = true;
    header_ = header;
  }
  ComPtr<INSSBuffer> buffer = MemoryNssBuffer::Create(header.data(), header.size());
  for (const auto& sink : Snapshot()) (void)sink->OnHeader(buffer.Get());  // failures are the sink's own
}

void AsfSinkList::Deliver(const std::vector<uint8_t>& packet) {
  const auto sinks = Snapshot();
  if (sinks.empty()) return;
  ComPtr<INSSBuffer> buffer = MemoryNssBuffer::Create(packet.data(), packet.size());
  for (const auto& sink : sinks) (void)sink->OnDataUnit(buffer.Get());  // failures are the sink's own
}

void AsfSinkList::EndWriting() {
  {
    std::lock_guard lock(lock_);
    writing_ = false;
    header_.clear();
  }
  for (const auto& sink : Snapshot()) (void)sink->OnEndWriting();  // nothing to do on failure
}

// ---------------------------------------------------------------------------
// AsfWriterAdvanced

STDMETHODIMP AsfWriterAdvanced::GetSinkCount(DWORD* count) {
  if (!count) return E_POINTER;
  *count = sinks_->Count();
  return S_OK;
}

STDMETHODIMP AsfWriterAdvanced::GetSink(DWORD index, IWMWriterSink** sink) { return sinks_->Get(index, sink); }
STDMETHODIMP AsfWriterAdvanced::AddSink(IWMWriterSink* sink) { return sinks_->Add(sink); }
STDMETHODIMP AsfWriterAdvanced::RemoveSink(IWMWriterSink* sink) { return sinks_->Remove(sink); }

// Samples reach this writer only through the filter's input pins.
STDMETHODIMP AsfWriterAdvanced::WriteStreamSample(WORD, QWORD, DWORD, QWORD, DWORD, INSSBuffer*) {
  return E_NOTIMPL;
}

STDMETHODIMP AsfWriterAdvanced::SetLiveSource(BOOL live) {
  live_ = live;
  return S_OK;
}

STDMETHODIMP AsfWriterAdvanced::IsRealTime(BOOL* realTime) {
  if (!realTime) return E_POINTER;
  *realTime = live_;
  return S_OK;
}

STDMETHODIMP AsfWriterAdvanced::GetWriterTime(QWORD*) { return E_NOTIMPL; }
STDMETHODIMP AsfWriterAdvanced::GetStatistics(WORD, WM_WRITER_STATISTICS*) { return E_NOTIMPL; }

STDMETHODIMP AsfWriterAdvanced::SetSyncTolerance(DWORD window) {
  syncTolerance_ = window;
  return S_OK;
}

STDMETHODIMP AsfWriterAdvanced::GetSyncTolerance(DWORD* window) {
  if (!window) return E_POINTER;
  *window = syncTolerance_;
  return S_OK;
}

STDMETHODIMP AsfWriterAdvanced::GetInputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE*, BYTE*, WORD*) {
  return E_NOTIMPL;
}

STDMETHODIMP AsfWriterAdvanced::SetInputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE*, WORD) {
  return E_NOTIMPL;
}

}  // namespace platform
