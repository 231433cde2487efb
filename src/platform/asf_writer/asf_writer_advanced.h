#pragma once
// The writer-advanced object of the built-in ASF writer filter: it keeps
// the list of sinks (network sinks) that receive the header and every data
// packet the filter writes.
#include <windows.h>

#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/wm_interfaces.h"

namespace platform {

// An INSSBuffer over its own bytes.
class MemoryNssBuffer final : public INSSBuffer {
public:
  static Microsoft::WRL::ComPtr<INSSBuffer> Create(const uint8_t* data, size_t size);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // INSSBuffer
  HRESULT STDMETHODCALLTYPE GetLength(DWORD* length) override;
  HRESULT STDMETHODCALLTYPE SetLength(DWORD length) override;
  HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD* length) override;
  HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** buffer) override;
  HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE** buffer, DWORD* length) override;

private:
  explicit MemoryNssBuffer(size_t size) : bytes_(size), length_(static_cast<DWORD>(size)) {}
  std::atomic<ULONG> refs_{1};
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
  std::vector<Microsoft::WRL::ComPtr<IWMWriterSink>> Snapshot() const;
  mutable std::mutex lock_;
  std::vector<Microsoft::WRL::ComPtr<IWMWriterSink>> sinks_;
  bool writing_ = false;
  std::vector<uint8_t> header_;
};

// IWMWriterAdvanced2 as the filter's service: only the sink list is live;
// the writer's own sample path and input settings are not offered.
class AsfWriterAdvanced final : public IWMWriterAdvanced2 {
public:
  static Microsoft::WRL::ComPtr<IWMWriterAdvanced2> Create(std::shared_ptr<AsfSinkList> sinks);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IWMWriterAdvanced
  HRESULT STDMETHODCALLTYPE GetSinkCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetSink(DWORD index, IWMWriterSink** sink) override;
  HRESULT STDMETHODCALLTYPE AddSink(IWMWriterSink* sink) override;
  HRESULT STDMETHODCALLTYPE RemoveSink(IWMWriterSink* sink) override;
  HRESULT STDMETHODCALLTYPE WriteStreamSample(WORD stream, QWORD sampleTime, DWORD sendTime,
                                              QWORD duration, DWORD flags,
                                              INSSBuffer* sample) override;
  HRESULT STDMETHODCALLTYPE SetLiveSource(BOOL live) override;
  HRESULT STDMETHODCALLTYPE IsRealTime(BOOL* realTime) override;
  HRESULT STDMETHODCALLTYPE GetWriterTime(QWORD* time) override;
  HRESULT STDMETHODCALLTYPE GetStatistics(WORD stream, WM_WRITER_STATISTICS* stats) override;
  HRESULT STDMETHODCALLTYPE SetSyncTolerance(DWORD window) override;
  HRESULT STDMETHODCALLTYPE GetSyncTolerance(DWORD* window) override;
  // IWMWriterAdvanced2
  HRESULT STDMETHODCALLTYPE GetInputSetting(DWORD input, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                            BYTE* value, WORD* length) override;
  HRESULT STDMETHODCALLTYPE SetInputSetting(DWORD input, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                            const BYTE* value, WORD length) override;

private:
  explicit AsfWriterAdvanced(std::shared_ptr<AsfSinkList> sinks) : sinks_(std::move(sinks)) {}
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<AsfSinkList> sinks_;
  BOOL live_ = TRUE;
  DWORD syncTolerance_ = 3000;
};

}  // namespace platform
