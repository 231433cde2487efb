#pragma once
// The program's own stand-in for the WM ASF Writer filter: a renderer that
// encodes camera video to H.264 (PCM audio passes through) and
// writes an ASF file, feeding the same packets to the sinks added through
// its IWMWriterAdvanced2 service. Used where CLSID_WMAsfWriter is missing.
#include <windows.h>
#include <dshow.h>

#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/asf_writer/asf_system_profile.h"
#include "platform/asf_writer/asf_writing_session.h"
#include "platform/wm_interfaces.h"

namespace platform {

class AsfSinkList;
class AsfWriterInputPin;

// The factory the platform table uses.
HRESULT CreateAsfWriterFilter(REFIID iid, void** object);

class AsfWriterFilter final : public IBaseFilter,
                              public IConfigAsfWriter2,
                              public IFileSinkFilter2,
                              public IServiceProvider,
                              public IAMFilterMiscFlags {
  // Interfaces: IUnknown, IPersist, IMediaFilter, IBaseFilter, IConfigAsfWriter,
  // IConfigAsfWriter2, IFileSinkFilter, IFileSinkFilter2, IServiceProvider,
  // IAMFilterMiscFlags.
public:
  AsfWriterFilter();
  ~AsfWriterFilter();

  // Counters of the current or last recording (for tests and diagnostics).
  AsfWritingSession::Counters LastCounters() const;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;
  // IConfigAsfWriter
  HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD id) override;
  HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD* id) override;
  HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID profile) override;
  HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* profile) override;
  HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile* profile) override;
  HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile** profile) override;
  HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL index) override;
  HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL* index) override;
  // IConfigAsfWriter2
  HRESULT STDMETHODCALLTYPE StreamNumFromPin(IPin* pin, WORD* stream) override;
  HRESULT STDMETHODCALLTYPE SetParam(DWORD param, DWORD value, DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetParam(DWORD param, DWORD* value, DWORD* reserved) override;
  HRESULT STDMETHODCALLTYPE ResetMultiPassState() override;
  // IFileSinkFilter / IFileSinkFilter2
  HRESULT STDMETHODCALLTYPE SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE SetMode(DWORD flags) override;
  HRESULT STDMETHODCALLTYPE GetMode(DWORD* flags) override;
  // IServiceProvider
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override;
  // IAMFilterMiscFlags
  ULONG STDMETHODCALLTYPE GetMiscFlags() override;

private:
  friend class AsfWriterInputPin;

  // Thread: streaming threads, through the pins.
  HRESULT DeliverSample(size_t input, IMediaSample* sample);
  void PinEndOfStream();
  bool Stopped() const;
  bool DontCompress() const { return dontCompress_; }

  HRESULT StartWriting();
  void FinishWriting();
  void RaiseEvent(long code, LONG_PTR param);
  std::vector<Microsoft::WRL::ComPtr<IPin>> PinList() const;

  std::atomic<ULONG> refs_{1};
  // Guards the state, the session pointer and the graph's event sink
  // between the user-interface thread and the streaming threads.
  mutable std::mutex stateLock_;
  FILTER_STATE state_ = State_Stopped;
  std::unique_ptr<AsfWritingSession> session_;
  AsfWritingSession::Counters lastCounters_;
  // The graph owns the filter; holding references back to it would make
  // a cycle, so these two are plain pointers valid while joined.
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* events_ = nullptr;
  std::wstring name_;
  Microsoft::WRL::ComPtr<IReferenceClock> clock_;

  const AsfSystemProfile* profile_;
  std::vector<std::unique_ptr<AsfWriterInputPin>> pins_;
  std::vector<std::unique_ptr<AsfWriterInputPin>> retiredPins_;  // may still be referenced
  std::wstring fileName_;
  DWORD fileMode_ = AM_FILE_OVERWRITE;
  bool index_ = true;
  bool multiPass_ = false;
  bool dontCompress_ = false;
  std::shared_ptr<AsfSinkList> sinks_;
};

}  // namespace platform
