#pragma once
// The writer-advanced object of the built-in ASF writer filter: it keeps
// the list of sinks (network sinks) that receive the header and every data
// packet the filter writes.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dshow/com_object.h"
#include "platform/wm_interfaces.h"

namespace dshow {
template <>
struct InterfaceAlso<IWMWriterAdvanced2> {
  static bool Answers(REFIID iid) { return iid == __uuidof(IWMWriterAdvanced); }
};
}  // namespace dshow

namespace platform {

// An INSSBuffer over its own bytes.
class MemoryNssBuffer final : public dshow::ComObject<MemoryNssBuffer, INSSBuffer> {
public:
  MemoryNssBuffer(const uint8_t* data, size_t size)
      : bytes_(data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>(size)),
        length_(static_cast<DWORD>(size)) {}
  // A buffer holding a copy of `size` bytes (zeros without `data`).
  static dshow::ComPtr<INSSBuffer> Create(const uint8_t* data, size_t size);

  // INSSBuffer
  STDMETHODIMP GetLength(DWORD* length) override;
  STDMETHODIMP SetLength(DWORD length) override;
  STDMETHODIMP GetMaxLength(DWORD* length) override;
  STDMETHODIMP GetBuffer(BYTE** buffer) override;
  STDMETHODIMP GetBufferAndLength(BYTE** buffer, DWORD* length) override;

private:
  std::vector<uint8_t> bytes_;
  DWORD length_;
};

// The sinks of one filter. Sinks added while writing get the header first.
class AsfSinkList {
public:
  // Thread: user-interface thread.
  HRESULT Add(IWMWriterSink* sink);
  HRESULT Remove(IWMWriterSink* sink);
  DWORD Count() const;
  HRESULT Get(DWORD index, IWMWriterSink** sink) const;

  // Thread: the encoder thread.
  void BeginWriting(const std::vector<uint8_t>& header);
  void Deliver(const std::vector<uint8_t>& packet);
  void EndWriting();

private:
  std::vector<dshow::ComPtr<IWMWriterSink>> Snapshot() const;
  mutable std::mutex lock_;
  std::vector<dshow::ComPtr<IWMWriterSink>> sinks_;
  bool writing_ = false;
  std::vector<uint8_t> header_;
};

// IWMWriterAdvanced2 as the filter's service: only the sink list is live;
// the writer's own sample path and input settings are not offered.
class AsfWriterAdvanced final : public dshow::ComObject<AsfWriterAdvanced, IWMWriterAdvanced2> {
public:
  explicit AsfWriterAdvanced(std::shared_ptr<AsfSinkList> sinks) : sinks_(std::move(sinks)) {}

  // IWMWriterAdvanced
  STDMETHODIMP GetSinkCount(DWORD* count) override;
  STDMETHODIMP GetSink(DWORD index, IWMWriterSink** sink) override;
  STDMETHODIMP AddSink(IWMWriterSink* sink) override;
  STDMETHODIMP RemoveSink(IWMWriterSink* sink) override;
  STDMETHODIMP WriteStreamSample(WORD stream, QWORD sampleTime, DWORD sendTime,
                                              QWORD duration, DWORD flags,
                                              INSSBuffer* sample) override;
  STDMETHODIMP SetLiveSource(BOOL live) override;
  STDMETHODIMP IsRealTime(BOOL* realTime) override;
  STDMETHODIMP GetWriterTime(QWORD* time) override;
  STDMETHODIMP GetStatistics(WORD stream, WM_WRITER_STATISTICS* stats) override;
  STDMETHODIMP SetSyncTolerance(DWORD window) override;
  STDMETHODIMP GetSyncTolerance(DWORD* window) override;
  // IWMWriterAdvanced2
  STDMETHODIMP GetInputSetting(DWORD input, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                            BYTE* value, WORD* length) override;
  STDMETHODIMP SetInputSetting(DWORD input, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                            const BYTE* value, WORD length) override;

private:
  std::shared_ptr<AsfSinkList> sinks_;
  BOOL live_ = TRUE;
  DWORD syncTolerance_ = 3000;
};

}  // namespace platform
