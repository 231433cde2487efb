#pragma once
// The program's own stand-in for the WM ASF Writer filter: a renderer that
// encodes camera video to H.264 (PCM audio passes through) and
// writes an ASF file, feeding the same packets to the sinks added through
// its IWMWriterAdvanced2 service. Used where CLSID_WMAsfWriter is missing.
#include <windows.h>
#include <dshow.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/asf_writer/asf_system_profile.h"
#include "platform/asf_writer/asf_writing_session.h"
#include "platform/dshow/com_object.h"
#include "platform/dshow/filter_base.h"
#include "platform/wm_interfaces.h"

namespace dshow {
template <>
struct InterfaceAlso<IConfigAsfWriter2> {
  static bool Answers(REFIID iid) { return iid == __uuidof(IConfigAsfWriter); }
};
}  // namespace dshow

namespace platform {

class AsfSinkList;
class AsfWriterInputPin;

// The factory the platform table uses.
HRESULT CreateAsfWriterFilter(REFIID iid, void** object);

// Interface map: IConfigAsfWriter and IFileSinkFilter are answered through
// their second versions.
class AsfWriterFilter final
    : public dshow::ComObject<AsfWriterFilter, dshow::FilterBase, IConfigAsfWriter2,
                              IFileSinkFilter2, IServiceProvider, IAMFilterMiscFlags,
                              IAsfWriterSegments> {
public:
  AsfWriterFilter();
  ~AsfWriterFilter();

  // Counters of the current or last recording (for tests and diagnostics).
  AsfWritingSession::Counters LastCounters() const;

  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  // IBaseFilter: leaving the graph closes the recording.
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  // IConfigAsfWriter
  STDMETHODIMP ConfigureFilterUsingProfileId(DWORD id) override;
  STDMETHODIMP GetCurrentProfileId(DWORD* id) override;
  STDMETHODIMP ConfigureFilterUsingProfileGuid(REFGUID profile) override;
  STDMETHODIMP GetCurrentProfileGuid(GUID* profile) override;
  STDMETHODIMP ConfigureFilterUsingProfile(IWMProfile* profile) override;
  STDMETHODIMP GetCurrentProfile(IWMProfile** profile) override;
  STDMETHODIMP SetIndexMode(BOOL index) override;
  STDMETHODIMP GetIndexMode(BOOL* index) override;
  // IConfigAsfWriter2
  STDMETHODIMP StreamNumFromPin(IPin* pin, WORD* stream) override;
  STDMETHODIMP SetParam(DWORD param, DWORD value, DWORD reserved) override;
  STDMETHODIMP GetParam(DWORD param, DWORD* value, DWORD* reserved) override;
  STDMETHODIMP ResetMultiPassState() override;
  // IFileSinkFilter / IFileSinkFilter2
  STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override;
  STDMETHODIMP SetMode(DWORD flags) override;
  STDMETHODIMP GetMode(DWORD* flags) override;
  // IServiceProvider
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;
  // IAMFilterMiscFlags
  STDMETHODIMP_(ULONG) GetMiscFlags() override;
  // IAsfWriterSegments
  STDMETHODIMP SwitchFile(LPCWSTR name) override;
  STDMETHODIMP GetDroppedFrames(ULONGLONG* count) override;

private:
  friend class AsfWriterInputPin;

  // Thread: streaming threads, through the pins.
  HRESULT DeliverSample(size_t input, IMediaSample* sample);
  void PinEndOfStream();
  bool DontCompress() const { return dontCompress_; }

  HRESULT StartWriting();
  void FinishWriting();
  std::vector<dshow::ComPtr<IPin>> Pins() override;
  // The pins under stateLock_: streaming threads walk them while the
  // user-interface thread may change the profile.
  std::vector<AsfWriterInputPin*> InputPins() const;

  // Under stateLock_, with the base's state.
  std::unique_ptr<AsfWritingSession> session_;
  AsfWritingSession::Counters lastCounters_;
  std::vector<std::unique_ptr<AsfWriterInputPin>> pins_;
  std::vector<std::unique_ptr<AsfWriterInputPin>> retiredPins_;  // may still be referenced

  const AsfSystemProfile* profile_;
  std::wstring fileName_;
  DWORD fileMode_ = AM_FILE_OVERWRITE;
  bool index_ = true;
  bool multiPass_ = false;
  bool dontCompress_ = false;
  std::shared_ptr<AsfSinkList> sinks_;
};

}  // namespace platform
